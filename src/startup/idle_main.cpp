// The idle watcher's program: `larkspill --on-idle` becomes it, passing the saver's own path first.
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "scene/exit_status.h"
#include "startup/command_line.h"
#include "startup/on_idle.h"

int main(int argc, char** argv) {
  using namespace larkspill;
  std::setlocale(LC_ALL, "");
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: larkspill-on-idle SAVER --on-idle MINUTES [--autostart] | "
                 "--no-autostart (run as larkspill --on-idle)\n");
    return kExitUsage;
  }
  const StartupOptions options =
      ParseStartup(std::vector<std::string>(argv + 2, argv + argc), nullptr);
  if (!options.error.empty()) {
    std::fprintf(stderr, "larkspill: %s\n", options.error.c_str());
    return kExitUsage;
  }
  if (options.mode != Mode::OnIdle && options.mode != Mode::Autostart) {
    std::fprintf(stderr, "larkspill: the idle watcher takes --on-idle MINUTES or --no-autostart\n");
    return kExitUsage;
  }
  return RunOnIdle(options, argv[1]);
}

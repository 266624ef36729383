#include "startup/dispatch.h"

#include <cstdio>

#include "scene/exit_status.h"

namespace larkspill {

int Main(const StartupOptions& options, WindowSystem& windows, const ModeRunners& runners) {
  if (!options.error.empty()) {
    std::fprintf(stderr, "larkspill: %s\n", options.error.c_str());
    return kExitUsage;
  }
  if (options.mode == Mode::None) return kExitOk;
  if (options.mode == Mode::Help) {
    std::fputs(UsageText(), stdout);
    return kExitOk;
  }
  // The idle watcher stays out of the instance lock: the saver it starts must not count it.
  if (options.mode == Mode::OnIdle || options.mode == Mode::Autostart) {
    return runners.on_idle ? runners.on_idle() : kExitOk;
  }
  for (const std::string& warning : options.warnings) {
    std::fprintf(stderr, "larkspill: %s\n", warning.c_str());
  }

  bool display_properties = windows.FindWindowByTitle(kDisplayPropertiesTitle);
  bool other_instance = windows.PreviousInstanceRunning();
  if (options.mode == Mode::Saver && !display_properties && other_instance) return kExitOk;

  auto run = [](const std::function<int()>& runner) { return runner ? runner() : kExitOk; };
  switch (options.mode) {
    case Mode::Saver:
    case Mode::SaverNoCheck:
      return run(runners.saver);
    case Mode::Preview:
      return run(runners.preview);
    case Mode::Settings:
      return run(runners.settings);
    case Mode::Password:
      return run(runners.password);
    case Mode::Host:
      return run(runners.host);
    case Mode::Help:
    case Mode::None:
    case Mode::OnIdle:
    case Mode::Autostart:
      break;
  }
  return kExitOk;
}

}  // namespace larkspill

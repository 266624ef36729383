#include "startup/on_idle.h"

#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>

#include "os/paths.h"
#include "platform/system/idle_inhibitors.h"
#include "platform/system/mutter_idle_source.h"
#include "platform/wayland/wayland_idle_source.h"
#include "platform/x11/x11_idle_source.h"
#include "scene/exit_status.h"
#include "startup/autostart_entry.h"
#include "startup/idle_watch.h"

extern char** environ;

namespace larkspill {
namespace {

// The desktop's own idle time: GNOME's monitor where mutter runs, the compositor's on other
// Wayland desktops, the X server's elsewhere (under Xwayland it would see only X clients' input).
std::unique_ptr<IdleSource> OpenIdleSource(std::chrono::milliseconds stretch) {
  if (auto mutter = MutterIdleSource::Open()) return mutter;
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if (wayland != nullptr && wayland[0] != '\0') {
    if (auto compositor = WaylandIdleSource::Open(stretch)) return compositor;
  }
  return X11IdleSource::Open();
}

volatile std::sig_atomic_t g_end_signal = 0;
void OnEndSignal(int signal) {
  g_end_signal = signal;
}

// SIGTERM, SIGINT and SIGHUP end the watch; poll returns at once when one comes.
void InstallEndSignals() {
  struct sigaction action {};
  action.sa_handler = OnEndSignal;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
}

// The minutes as the user would write them: 5, 0.5, 0.05.
std::string MinutesText(double minutes) {
  std::ostringstream text;
  text.imbue(std::locale::classic());
  text << minutes;
  return text.str();
}

pid_t StartSaver(const std::string& program) {
  const char* argv[] = {program.c_str(), "/s", nullptr};
  pid_t pid = -1;
  if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, const_cast<char**>(argv), environ) !=
      0) {
    std::fprintf(stderr, "larkspill: cannot start the saver %s\n", program.c_str());
    return -1;
  }
  return pid;
}

}  // namespace

int RunOnIdle(const StartupOptions& options, const std::string& program) {
  using Entry = StartupOptions::AutostartEntry;
  InstallEndSignals();
  if (options.autostart != Entry::Keep) {
    const std::filesystem::path config = ConfigHome();
    if (config.empty()) {
      std::fprintf(stderr, "larkspill: no home folder to keep the autostart entry in\n");
      return kExitUsage;
    }
    const std::filesystem::path entry = AutostartEntryPath(config);
    std::string why;
    if (options.autostart == Entry::Remove) {
      if (!RemoveAutostartEntry(entry, &why)) {
        std::fprintf(stderr, "larkspill: %s\n", why.c_str());
        return kExitUsage;
      }
      std::printf("larkspill: no longer started at login (%s is gone)\n", entry.c_str());
      return kExitOk;
    }
    if (!WriteAutostartEntry(entry, AutostartEntryText(program, MinutesText(options.idle_minutes)),
                             &why)) {
      std::fprintf(stderr, "larkspill: %s\n", why.c_str());
      return kExitUsage;
    }
    std::printf("larkspill: started at every login by %s\n", entry.c_str());
    std::fflush(stdout);
  }

  const std::chrono::milliseconds stretch(std::llround(options.idle_minutes * 60000));
  std::unique_ptr<IdleSource> source = OpenIdleSource(stretch);
  if (!source) {
    std::fprintf(stderr,
                 "larkspill: --on-idle finds no idle time to watch: no GNOME idle monitor, no "
                 "Wayland idle protocol, no X display with the screen-saver extension\n");
    return kExitNoDisplay;
  }
  IdleInhibitors inhibitors;
  std::printf("larkspill: the saver starts after %s minutes without input, as %s counts it\n",
              MinutesText(options.idle_minutes).c_str(), source->Name());
  std::fflush(stdout);
  IdleWatch watch(stretch);
  pid_t saver = -1;
  while (g_end_signal == 0) {
    int status = 0;
    if (saver > 0 && ::waitpid(saver, &status, WNOHANG) == saver) saver = -1;
    source->Dispatch();
    inhibitors.Dispatch();
    if (source->Lost()) {
      std::fprintf(stderr, "larkspill: %s went away; the session is over\n", source->Name());
      return kExitDisplayLost;
    }
    IdleFacts facts;
    facts.idle = source->IdleTime();
    facts.saver_running = saver > 0;
    facts.inhibited = [&inhibitors] { return inhibitors.Inhibited(); };
    facts.locked = [&inhibitors] { return inhibitors.Locked(); };
    const IdleStep step = watch.Decide(facts);
    if (step.start_saver) saver = StartSaver(program);
    pollfd fds[] = {{source->Fd(), POLLIN, 0}, {inhibitors.Fd(), POLLIN, 0}};
    ::poll(fds, 2, static_cast<int>(step.wait.count()));
  }
  if (saver > 0) {
    ::kill(saver, SIGTERM);
    ::waitpid(saver, nullptr, 0);
  }
  return 128 + g_end_signal;
}

}  // namespace larkspill

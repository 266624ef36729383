#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "os/paths.h"
#include "platform/system/instance_lock.h"
#include "platform/x11/power_saving_record.h"
#include "platform/x11/preview_window.h"
#include "platform/x11/x11_errors.h"
#include "platform/x11/x11_host_window.h"
#include "platform/x11/x11_window_system.h"
#include "scene/exit_status.h"
#include "settings/ini_file_store.h"
#include "setup/dialog_module.h"
#include "startup/command_line.h"
#include "startup/dispatch.h"
#include "startup/saver_app.h"

#ifndef LARKSPILL_ASSET_DIR
#error "LARKSPILL_ASSET_DIR must name the asset folder"
#endif
#ifndef LARKSPILL_DIALOG_MODULE
#error "LARKSPILL_DIALOG_MODULE must name the settings dialog module"
#endif
#ifndef LARKSPILL_IDLE_WATCHER
#error "LARKSPILL_IDLE_WATCHER must name the idle watcher program"
#endif
#ifndef LARKSPILL_PAINTER
#error "LARKSPILL_PAINTER must name the asset generator that paints the pictures at a scale"
#endif

namespace {

// The program's run; every object of it is gone when it returns.
int Run(int argc, char** argv) {
  using namespace larkspill;
  // Before any X connection, so no X error or lost display ever ends the program through Xlib.
  InstallXErrorHandlers();
  std::setlocale(LC_ALL, "");
  UseOnlyAnExistingSessionBus();
  std::vector<std::string> args(argv + 1, argv + argc);
  StartupOptions options = ParseStartup(args, std::getenv("XSCREENSAVER_WINDOW"));

  std::string no_runtime_dir;
  const std::filesystem::path runtime_dir = RuntimeDir(&no_runtime_dir);
  if (!no_runtime_dir.empty()) {
    std::fprintf(stderr, "larkspill: %s%s\n", no_runtime_dir.c_str(),
                 runtime_dir.empty() ? "; a second saver or settings dialog is not kept out" : "");
  }
  InstanceLock lock(runtime_dir.empty() ? runtime_dir : runtime_dir / "larkspill.lock");
  X11WindowSystem windows(lock);
  InstallEndSignals();

  const SaverChoices choices{options.overrides, options.no_sound, options.show_fps};
  ModeRunners runners;
  runners.saver = [&] {
    return RunSaver(SaverTarget{}, choices, windows, LARKSPILL_ASSET_DIR, LARKSPILL_PAINTER,
                    runtime_dir);
  };
  runners.host = [&] {
    // -root without a window from the host: the root window itself.
    uint64_t host_window = options.host_window != 0 ? options.host_window : RootWindowId();
    if (host_window == 0) {
      std::fprintf(stderr, "larkspill: cannot open the X display %s to draw into\n",
                   std::getenv("DISPLAY") != nullptr ? std::getenv("DISPLAY") : "(DISPLAY unset)");
      return ReportNoDisplay();
    }
    return RunSaver(SaverTarget{host_window, true}, choices, windows, LARKSPILL_ASSET_DIR,
                    LARKSPILL_PAINTER, runtime_dir);
  };
  runners.preview = [&] {
    return RunPreview(options.preview_has_number, options.PreviewParent, LARKSPILL_ASSET_DIR,
                      PendingSignal);
  };
  runners.settings = [&] {
    // Every change is stored the moment it is made, so a signal may end the dialog outright.
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) std::signal(signal, SIG_DFL);
    // Qt aborts without a display it can reach: say so and end instead. With only a Wayland
    // display, Qt's own choice would still be X11; the Wayland platform is asked for where it is
    // installed.
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const bool chosen = platform != nullptr && *platform != '\0';
    if (!chosen && wayland != nullptr && *wayland != '\0' && RootWindowId() == 0) {
      if (::access(LARKSPILL_QT_PLATFORMS "/libqwayland-generic.so", R_OK) != 0) {
        std::fprintf(stderr,
                     "larkspill: the settings dialog needs an X display or Qt's Wayland platform "
                     "(the qt6-wayland package), and neither is there\n");
        return static_cast<int>(kExitNoDisplay);
      }
      setenv("QT_QPA_PLATFORM", "wayland", 1);
    }
    const bool on_x11 = chosen ? std::string_view(platform).starts_with("xcb")
                               : wayland == nullptr || *wayland == '\0';
    if (on_x11 && RootWindowId() == 0) {
      const char* display = std::getenv("DISPLAY");
      std::fprintf(stderr, "larkspill: the settings dialog needs an X display, and %s%s\n",
                   display != nullptr ? display : "DISPLAY is not set",
                   display != nullptr ? " cannot be opened" : "");
      return static_cast<int>(kExitNoDisplay);
    }
    if (on_x11) {
      // DPMS's time-outs that a killed saver left off come back as the user opens the dialog.
      XlibDpms dpms;
      PutBackPowerSavingLeftOff(PowerSavingRecordPath(runtime_dir), dpms);
    }
    void* module = dlopen(LARKSPILL_DIALOG_MODULE, RTLD_NOW | RTLD_LOCAL);
    auto run =
        module != nullptr
            ? reinterpret_cast<LarkspillRunSettingsDialog>(dlsym(module, kRunSettingsDialogSymbol))
            : nullptr;
    if (run == nullptr) {
      std::fprintf(stderr, "larkspill: cannot load the settings dialog %s: %s\n",
                   LARKSPILL_DIALOG_MODULE, dlerror());
      return static_cast<int>(kExitUsage);
    }
    return run(&argc, argv, DefaultSettingsPath().c_str(), LARKSPILL_ASSET_DIR,
               runtime_dir.c_str());
  };
  runners.password = [] {
    std::fprintf(stderr,
                 "larkspill: the screen lock uses your login password; change it with passwd\n");
    return static_cast<int>(kExitOk);
  };
  runners.on_idle = [&] {
    // The watcher is a small program of its own: this one, with SDL and the scene loaded, would
    // sit in the session's memory for hours. It is told where the saver is.
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    self[n > 0 ? n : 0] = '\0';
    std::vector<char*> watcher_args{const_cast<char*>("larkspill-on-idle"), self};
    for (int i = 1; i < argc; ++i) watcher_args.push_back(argv[i]);
    watcher_args.push_back(nullptr);
    ::execv(LARKSPILL_IDLE_WATCHER, watcher_args.data());
    std::fprintf(stderr, "larkspill: cannot run the idle watcher %s: %s\n", LARKSPILL_IDLE_WATCHER,
                 std::strerror(errno));
    return static_cast<int>(kExitUsage);
  };
  const int status = Main(options, windows, runners);
  ClosingDownWith(status);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const int status = Run(argc, argv);
  larkspill::EndBySignalIfAsked();
  return status;
}

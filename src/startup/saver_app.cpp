#include "startup/saver_app.h"

#include <SDL.h>
#include <X11/Xlib.h>
#include <X11/extensions/dpms.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "platform/sdl_display.h"
#include "platform/sdl_sound_device.h"
#include "platform/system_clock.h"
#include "scene/exit_status.h"
#include "scene/random.h"
#include "scene/saver_window.h"
#include "settings/ini_file_store.h"
#include "startup/end_deadline.h"
#include "startup/power_hook.h"

namespace larkspill {
namespace {

volatile std::sig_atomic_t g_signal = 0;

void OnEndSignal(int signal) {
  g_signal = signal;
  StartEndDeadline(signal);
}

// The saver's one message box; where no box can be shown the text still reaches the user.
void ShowMessageBox(const std::string& text, const std::string& title) {
  std::fprintf(stderr, "larkspill: %s: %s\n", title.c_str(), text.c_str());
  SDL_ShowSimpleMessageBox(0, title.c_str(), text.c_str(), nullptr);
}

int IgnoreXError(Display*, XErrorEvent*) {
  return 0;
}

// The sounds to silence if the X server goes away; Xlib gives no way back from that.
SoundDevice* g_sound_to_stop = nullptr;

[[noreturn]] int OnXConnectionLost(Display*) {
  if (g_sound_to_stop != nullptr) g_sound_to_stop->StopAllSounds();
  std::fprintf(stderr, "larkspill: the X display went away\n");
  std::_Exit(kExitDisplayLost);
}

// The monitor's power on X11: its state from DPMS, the desktop's time-outs through SDL's
// screen-saver switch (which suspends the X screen saver, and DPMS with it), and a DPMS
// power-on for a monitor that went dark all the same.
class SystemMonitorPower : public MonitorPower {
 public:
  explicit SystemMonitorPower(WindowSystem& windows) : windows_(windows) {}
  ~SystemMonitorPower() override {
    if (display_ != nullptr) XCloseDisplay(display_);
  }
  SystemMonitorPower(const SystemMonitorPower&) = delete;
  SystemMonitorPower& operator=(const SystemMonitorPower&) = delete;

  bool PoweredOff() override { return windows_.MonitorPoweredOff(); }
  void AllowPowerSaving(bool allow) override {
    if (allow) {
      SDL_EnableScreenSaver();
    } else {
      SDL_DisableScreenSaver();
    }
  }
  void ForceOn() override {
    if (display_ == nullptr) display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) return;
    int event_base = 0, error_base = 0;
    if (DPMSQueryExtension(display_, &event_base, &error_base) && DPMSCapable(display_)) {
      DPMSForceLevel(display_, DPMSModeOn);
    }
    XForceScreenSaver(display_, ScreenSaverReset);
    XFlush(display_);
  }

 private:
  WindowSystem& windows_;
  Display* display_ = nullptr;
};

// Whether the X window exists; nullopt without an X display to ask.
std::optional<bool> WindowExists(uint64_t id) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return std::nullopt;
  XSync(display, False);
  XErrorHandler previous = XSetErrorHandler(IgnoreXError);
  XWindowAttributes attributes{};
  const Status found = XGetWindowAttributes(display, static_cast<Window>(id), &attributes);
  XSync(display, False);
  XSetErrorHandler(previous);
  XCloseDisplay(display);
  return found != 0;
}

}  // namespace

int ReportNoDisplay() {
  ShowMessageBox(SaverWindow::kNoDisplayText, SaverWindow::kNoDisplayTitle);
  return kExitNoDisplay;
}

uint64_t RootWindowId() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return 0;
  const uint64_t root = DefaultRootWindow(display);
  XCloseDisplay(display);
  return root;
}

int PendingSignal() {
  return g_signal;
}

void InstallEndSignals() {
  PrepareEndDeadline();
  struct sigaction action {};
  action.sa_handler = OnEndSignal;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
}

int RunSaver(const SaverTarget& target, X11WindowSystem& windows, const std::string& asset_dir) {
  const bool hosted = target.embed_window != 0;
  // A host runs its own screen saver and power saving; ours must never hold them off.
  if (hosted) SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  if (hosted && WindowExists(target.embed_window) == false) {
    std::fprintf(stderr, "larkspill: the host's window %llu (0x%llx) does not exist\n",
                 static_cast<unsigned long long>(target.embed_window),
                 static_cast<unsigned long long>(target.embed_window));
    return kExitUsage;
  }

  IniFileStore store(DefaultSettingsPath());
  SystemClock clock;
  SeededRandom random;

  SdlDisplayOptions display_options;
  display_options.title = SaverWindow::kCaption;
  display_options.embed_window = target.embed_window;
  display_options.accept_input = !target.host_owns_input;
  display_options.video_driver = "x11";
  SdlDisplay display(clock, display_options);
  windows.SetCursorHandler([&display](bool visible) { display.SetCursorVisible(visible); });
  // The sound opens once the first frame is up: until then the screen has both processors.
  SdlSoundDevice sound(SdlSoundDevice::Opening::Later);

  int status = -1;
  std::string asset_path = asset_dir;
  if (asset_path.empty() || asset_path.back() != '/') asset_path += '/';
  SaverServices services{
      display, sound, store, windows, clock, random, asset_path, ShowMessageBox, [&status](int s) {
        if (status < 0) status = s;
      }};
  SaverWindow window(services);

  // In its own window the saver keeps or gives up the monitor as PwrSave says; under a host
  // the host decides. The desktop's own handling of a power-off that passes is to leave the
  // monitor dark, which it already is when we hear of it.
  std::optional<SystemMonitorPower> power;
  std::optional<PowerHook> hook;
  if (!hosted) {
    power.emplace(windows);
    hook.emplace(window, *power);
    hook->HookWindow([](uint32_t, uint32_t, int32_t) { return 0; });
  }

  // The desktop as it is before the display takes the screen; the window covers it.
  Rect target_rect = windows.DesktopRect();
  (void)target_rect;

  try {
    window.Form_Load();
  } catch (const AssetError& error) {
    std::fprintf(stderr, "larkspill: %s\n", error.what());
    sound.StopAllSounds();
    window.Form_Unload();
    return kExitAssetError;
  }
  if (status >= 0) return status;
  g_sound_to_stop = &sound;
  XSetIOErrorHandler(OnXConnectionLost);
  windows.SetScreenSaverRunning(true);
  bool first_frame_shown = false;

  while (status < 0) {
    if (int signal = PendingSignal(); signal != 0) {
      window.CloseDown();
      return 128 + signal;
    }
    display.PumpEvents(window);
    if (status >= 0) break;
    if (hook) hook->Poll(clock.TickCount());
    window.Timers().RunDue(clock.TickCount());
    if (status >= 0) break;
    window.OnFrame();
    if (!first_frame_shown) {
      first_frame_shown = true;
      sound.OpenNow();
      // The desktop hears the saver's wish about power saving once the first frame is up:
      // telling it takes a few milliseconds (over D-Bus on some desktops).
      if (hook) hook->Start();
    }
  }
  // A host ends the saver by destroying its window: that is a normal end, not a lost display.
  if (hosted && status == kExitDisplayLost && WindowExists(target.embed_window) == false) {
    status = kExitOk;
  }
  return status;
}

}  // namespace larkspill

#include "startup/saver_app.h"

#include <SDL.h>
#include <X11/Xlib.h>
#include <X11/extensions/dpms.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/instance_lock.h"
#include "platform/login_session_watch.h"
#include "platform/sdl_display.h"
#include "platform/sdl_sound_device.h"
#include "platform/soundscape_lock.h"
#include "platform/system_clock.h"
#include "platform/wayland/wayland_screens.h"
#include "platform/x11_errors.h"
#include "scene/exit_status.h"
#include "scene/random.h"
#include "scene/saver_window.h"
#include "settings/ini_file_store.h"
#include "startup/end_deadline.h"
#include "startup/fps_overlay.h"
#include "startup/overridden_store.h"
#include "startup/power_hook.h"

namespace larkspill {
namespace {

volatile std::sig_atomic_t g_signal = 0;

// The first of the end signals decides how the program ends; a second one changes nothing.
void OnEndSignal(int signal) {
  if (g_signal != 0) return;
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

// The monitor's power on X11, through DPMS. Keeping it on switches DPMS's own time-outs off for
// the run and puts them back at the end; the X screen saver's idle clock, which screen lockers
// wait on, is never held or reset.
class SystemMonitorPower : public MonitorPower {
 public:
  explicit SystemMonitorPower(WindowSystem& windows) : windows_(windows) {}
  ~SystemMonitorPower() override {
    if (display_ == nullptr) return;
    if (dpms_held_off_) DPMSEnable(display_);
    XCloseDisplay(display_);
  }
  SystemMonitorPower(const SystemMonitorPower&) = delete;
  SystemMonitorPower& operator=(const SystemMonitorPower&) = delete;

  bool PoweredOff() override { return windows_.MonitorPoweredOff(); }
  void AllowPowerSaving(bool allow) override {
    if (!Dpms()) return;
    CARD16 level = 0;
    BOOL enabled = False;
    if (!allow && !dpms_held_off_ && DPMSInfo(display_, &level, &enabled) && enabled) {
      DPMSDisable(display_);
      dpms_held_off_ = true;
    } else if (allow && dpms_held_off_) {
      DPMSEnable(display_);
      dpms_held_off_ = false;
    }
    XFlush(display_);
  }
  void ForceOn() override {
    if (!Dpms()) return;
    DPMSForceLevel(display_, DPMSModeOn);
    XFlush(display_);
  }

 private:
  // A connection to a display whose monitors take DPMS commands.
  bool Dpms() {
    if (display_ == nullptr && !tried_) {
      tried_ = true;
      display_ = XOpenDisplay(nullptr);
    }
    int event_base = 0, error_base = 0;
    return display_ != nullptr && DPMSQueryExtension(display_, &event_base, &error_base) &&
           DPMSCapable(display_);
  }

  WindowSystem& windows_;
  Display* display_ = nullptr;
  bool tried_ = false;
  bool dpms_held_off_ = false;
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

// Whether a host's window is a preview pane (a settings app's thumbnail) rather than a screen:
// less than half the area of the monitor it is on (the X screen where SDL knows no monitor
// there). A host's saver window covers its whole monitor; the preview panes of the hosts'
// settings programs are a quarter of it or less. Unknown, as for a window already gone, counts
// as a screen.
bool IsPreviewPane(uint64_t id) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return false;
  XSync(display, False);
  XErrorHandler previous = XSetErrorHandler(IgnoreXError);
  XWindowAttributes window{};
  XWindowAttributes root{};
  int x = 0, y = 0;
  Window child = 0;
  const bool known = XGetWindowAttributes(display, static_cast<Window>(id), &window) != 0 &&
                     XGetWindowAttributes(display, DefaultRootWindow(display), &root) != 0 &&
                     XTranslateCoordinates(display, static_cast<Window>(id),
                                           DefaultRootWindow(display), 0, 0, &x, &y, &child) != 0;
  XSync(display, False);
  XSetErrorHandler(previous);
  XCloseDisplay(display);
  if (!known) return false;
  SDL_Rect monitor{0, 0, root.width, root.height};
  const SDL_Point centre{x + window.width / 2, y + window.height / 2};
  for (int i = 0; i < SDL_GetNumVideoDisplays(); ++i) {
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(i, &bounds) == 0 && SDL_PointInRect(&centre, &bounds)) {
      monitor = bounds;
      break;
    }
  }
  return int64_t{window.width} * window.height * 2 < int64_t{monitor.w} * monitor.h;
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
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&action.sa_mask, signal);
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
}

void EndBySignalIfAsked() {
  const int signal = g_signal;
  if (signal == 0) return;
  std::fflush(nullptr);
  EndBySignal(signal);
}

void UseOnlyAnExistingSessionBus() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address != nullptr && address[0] != '\0') return;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string folder = runtime != nullptr && runtime[0] == '/'
                           ? std::string(runtime)
                           : "/run/user/" + std::to_string(::getuid());
  setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + folder + "/bus").c_str(), 1);
}

int RunSaver(const SaverTarget& target, const SaverChoices& choices, X11WindowSystem& windows,
             const std::string& asset_dir, const std::filesystem::path& runtime_dir) {
  const bool hosted = target.embed_window != 0;
  // A host runs its own screen saver and power saving; ours must never hold them off.
  if (hosted) SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  if (hosted && WindowExists(target.embed_window) == false) {
    std::fprintf(stderr, "larkspill: the host's window %llu (0x%llx) does not exist\n",
                 static_cast<unsigned long long>(target.embed_window),
                 static_cast<unsigned long long>(target.embed_window));
    return kExitUsage;
  }

  IniFileStore file_store(DefaultSettingsPath(), PendingSignal);
  OverriddenStore store(file_store, choices.overrides);
  SystemClock clock;
  SeededRandom random;

  SdlDisplayOptions display_options;
  display_options.title = SaverWindow::kCaption;
  display_options.embed_window = target.embed_window;
  display_options.accept_input = !target.host_owns_input;
  display_options.video_driver = "x11";
  SdlDisplay display(clock, display_options);
  // On a Wayland desktop whose compositor has the layer shell the saver is its own client there;
  // elsewhere (X11, GNOME's Wayland through Xwayland, any host's window) it is an X11 client.
  if (!hosted) {
    if (auto wayland = WaylandScreens::Connect()) display.UseWayland(std::move(wayland));
  }
  windows.SetCursorHandler([&display](bool visible) { display.SetCursorVisible(visible); });
  // Made before the sound device, so that the lock is let go only after the device has closed.
  SoundscapeLock soundscape(runtime_dir.empty() ? runtime_dir
                                                : runtime_dir / "larkspill-sound.lock");
  // The sound opens once the first frame is up: until then the screen has both processors.
  SdlSoundDevice sound(SdlSoundDevice::Opening::Later);
  // The X server may go away at any moment from here on; the sounds stop with it.
  SetXConnectionLostAction([&sound] { sound.StopAllSounds(); });
  struct ForgetLostAction {
    ~ForgetLostAction() { SetXConnectionLostAction(nullptr); }
  } forget_lost_action;
  FpsOverlay fps(display, clock);

  // Once the saver's status is known it is final: an X server that goes away while the display
  // closes changes neither it nor what was said.
  auto ending = [](int final_status) {
    ClosingDownWith(final_status);
    return final_status;
  };
  int status = -1;
  std::string asset_path = asset_dir;
  if (asset_path.empty() || asset_path.back() != '/') asset_path += '/';
  SpriteDisplay& shown = choices.show_fps ? static_cast<SpriteDisplay&>(fps) : display;
  SaverServices services{
      shown, sound, store, windows, clock, random, asset_path, ShowMessageBox, [&status](int s) {
        if (status < 0) status = s;
      }};
  SaverWindow window(services);

  // In its own window the saver keeps or gives up the monitor as PwrSave says; under a host
  // the host decides. The desktop's own handling of a power-off that passes is to leave the
  // monitor dark, which it already is when we hear of it.
  std::optional<SystemMonitorPower> power;
  std::optional<PowerHook> hook;
  // Under a host the host is the screen locker; in its own windows the saver hears the login
  // manager's lock and sleep announcements itself.
  std::optional<LoginSessionWatch> login;
  if (!hosted) {
    login.emplace();
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
    return ending(kExitAssetError);
  }
  if (status >= 0) return ending(status);
  windows.SetScreenSaverRunning(true);
  bool first_frame_shown = false;

  // Whether this saver may play at all (decided with the first frame up), and whether it is the
  // one that does.
  bool sound_wanted = false;
  bool sound_opened = false;
  uint32_t last_sound_try = clock.TickCount();
  auto open_sound_if_ours = [&] {
    if (!sound_wanted || sound_opened || !soundscape.TryTake()) return;
    sound_opened = true;
    sound.OpenNow();
  };

  while (status < 0) {
    if (int signal = PendingSignal(); signal != 0) {
      window.CloseDown();
      return ending(128 + signal);
    }
    display.PumpEvents(window);
    if (login && login->LockComing()) window.OnScreenTaken();
    if (status >= 0) break;
    if (hook) hook->Poll(clock.TickCount());
    window.Timers().RunDue(clock.TickCount());
    if (status >= 0) break;
    window.OnFrame();
    if (!first_frame_shown) {
      first_frame_shown = true;
      sound_wanted = !choices.no_sound && !(hosted && IsPreviewPane(target.embed_window));
      open_sound_if_ours();
      // The desktop hears the saver's wish about power saving once the first frame is up:
      // telling it takes a few milliseconds (over D-Bus on some desktops).
      if (hook) hook->Start();
    } else if (!sound_opened && sound_wanted && clock.TickCount() - last_sound_try >= 1000) {
      // Another saver plays the soundscape; once it has ended, this one takes it over.
      last_sound_try = clock.TickCount();
      open_sound_if_ours();
    }
  }
  // A host ends the saver by destroying its window: that is a normal end, not a lost display.
  if (hosted && status == kExitDisplayLost && WindowExists(target.embed_window) == false) {
    status = kExitOk;
  }
  if (status == kExitDisplayLost && display.OnWayland()) {
    std::fprintf(stderr, "larkspill: the Wayland display went away\n");
  } else if (status == kExitDisplayLost) {
    SayDisplayLost();
  }
  return ending(status);
}

}  // namespace larkspill

#include "startup/saver_app.h"

#include <SDL.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "os/paths.h"
#include "platform/display/screen_display.h"
#include "platform/sound/sdl_sound_device.h"
#include "platform/system/instance_lock.h"
#include "platform/system/login_session_watch.h"
#include "platform/system/painted_pictures.h"
#include "platform/system/soundscape_lock.h"
#include "platform/system/system_clock.h"
#include "platform/wayland/wayland_screens.h"
#include "platform/x11/x11_errors.h"
#include "platform/x11/x11_host_window.h"
#include "platform/x11/x11_monitor_power.h"
#include "platform/x11/x11_screens.h"
#include "scene/exit_status.h"
#include "scene/random.h"
#include "scene/saver_window.h"
#include "scene/tick_counts.h"
#include "settings/ini_file_store.h"
#include "settings/saver_settings.h"
#include "startup/end_deadline.h"
#include "startup/fps_overlay.h"
#include "startup/monitor_power_switch.h"
#include "startup/overridden_store.h"
#include "startup/power_watch.h"

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

}  // namespace

int ReportNoDisplay() {
  ShowMessageBox(SaverWindow::kNoDisplayText, SaverWindow::kNoDisplayTitle);
  return kExitNoDisplay;
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
  std::filesystem::path folder = SessionRuntimeDir();
  if (folder.empty()) folder = "/run/user/" + std::to_string(::getuid());
  setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + (folder / "bus").string()).c_str(), 1);
}

int RunSaver(const SaverTarget& target, const SaverChoices& choices, X11WindowSystem& windows,
             const std::string& asset_dir, const std::filesystem::path& painter,
             const std::filesystem::path& runtime_dir) {
  const bool hosted = target.embed_window != 0;
  // A host runs its own screen saver and power saving; ours must never hold them off.
  if (hosted) SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  const std::optional<HostWindow> host_window =
      hosted ? HostWindowState(target.embed_window) : std::nullopt;
  if (host_window == HostWindow::Missing || host_window == HostWindow::InputOnlyClass) {
    std::fprintf(stderr, "larkspill: the host's window %llu (0x%llx) %s\n",
                 static_cast<unsigned long long>(target.embed_window),
                 static_cast<unsigned long long>(target.embed_window),
                 host_window == HostWindow::Missing
                     ? "does not exist"
                     : "is an input-only window, which cannot be drawn into");
    return kExitUsage;
  }
  // A host ends the saver by destroying its window, at any moment, the start included: that is a
  // normal end, not a lost or missing display.
  auto host_ended = [&](int status) {
    return hosted && (status == kExitDisplayLost || status == kExitNoDisplay) &&
           HostWindowState(target.embed_window) == HostWindow::Missing;
  };
  // Under a host nobody is there to click a box away: its text goes to the log alone, and only
  // when the host's window is still there (else it would name the wrong cause).
  std::string unshown_box;
  auto message_box = [&](const std::string& text, const std::string& title) {
    if (!hosted) return ShowMessageBox(text, title);
    unshown_box = title + ": " + text;
  };

  IniFileStore file_store(DefaultSettingsPath(), PendingSignal);
  OverriddenStore store(file_store, choices.overrides);
  SystemClock clock;
  SeededRandom random;

  // Made before the display, which reads from it, so that it outlives it; a painting still
  // running when the saver ends is stopped and its folder removed.
  PaintedPictures painted(CacheHome(), painter);

  // Made before the sound device, so that the lock is let go only after the device has closed.
  SoundscapeLock soundscape(runtime_dir.empty() ? runtime_dir
                                                : runtime_dir / "larkspill-sound.lock");
  // The sound opens once the first frame is up: until then the screen has both processors. Made
  // before the display, so that at the end the screen is given back first: closing the device
  // waits for the buffer under way, and a sound server that stops answering would hold it.
  SdlSoundDevice sound(SdlSoundDevice::Opening::Later);

  // On a Wayland desktop whose compositor has the layer shell the saver is its own client there;
  // elsewhere (X11, GNOME's Wayland through Xwayland, any host's window) it is an X11 client.
  std::unique_ptr<Screens> screens;
  if (!hosted) screens = WaylandScreens::Connect();
  const bool on_wayland = screens != nullptr;
  if (!on_wayland) {
    screens = std::make_unique<X11Screens>(WindowOptions{.title = SaverWindow::kCaption,
                                                         .embed_window = target.embed_window,
                                                         .accept_input = !target.host_owns_input,
                                                         .video_driver = "x11"});
  }
  ScreenDisplay display(std::move(screens));
  display.UsePaintedPictures(&painted);
  {
    // One forest across the monitors, or each its own, as chosen (or as -span says for this run).
    SaverSettings chosen;
    const Key span[] = {Key::SpanMonitors};
    ReadSaverSettings(store, chosen, span);
    display.SpreadAcrossScreens(chosen.span_monitors);
  }
  windows.SetCursorHandler([&display](bool visible) { display.SetCursorVisible(visible); });
  // The X server may go away at any moment from here on; the sounds stop with it, and so does
  // its DPMS state, which a later start must then not put back.
  SetXConnectionLostAction([&sound] {
    sound.StopAllSounds();
    ForgetPowerSavingNoteOfALostServer();
  });
  struct ForgetLostAction {
    ~ForgetLostAction() { SetXConnectionLostAction(nullptr); }
  } forget_lost_action;
  FpsOverlay fps(clock);

  // Once the saver's status is known it is final: an X server that goes away while the display
  // closes changes neither it nor what was said.
  auto ending = [](int final_status) {
    ClosingDownWith(final_status);
    return final_status;
  };
  std::string asset_path = asset_dir;
  if (asset_path.empty() || asset_path.back() != '/') asset_path += '/';
  SaverServices services{display, sound, store, windows, clock, random, asset_path, message_box};
  if (choices.show_fps) services.add_to_frame = [&fps](SceneFrame& frame) { fps.AddTo(frame); };
  SaverWindow window(services);

  // In its own window the saver keeps or gives up the monitor as PwrSave says; under a host
  // the host decides. The desktop's own handling of a power-off that passes is to leave the
  // monitor dark, which it already is when we hear of it.
  std::optional<XlibDpms> dpms;
  std::optional<X11MonitorPower> power;
  // LARKSPILL_MONITOR_OFF_FILE names a file whose existence stands for every monitor being off,
  // for tests and benchmarks on X servers without power management.
  std::optional<MonitorPowerSwitch> power_switch;
  std::optional<PowerWatch> power_watch;
  // Under a host the host is the screen locker; in its own windows the saver hears the login
  // manager's lock and sleep announcements itself.
  std::optional<LoginSessionWatch> login;
  if (!hosted) {
    login.emplace();
    dpms.emplace();
    power.emplace(windows, *dpms, PowerSavingRecordPath(runtime_dir));
    const char* off_file = std::getenv("LARKSPILL_MONITOR_OFF_FILE");
    if (off_file != nullptr && *off_file != '\0') {
      power_watch.emplace(window, power_switch.emplace(*power, off_file));
    } else {
      power_watch.emplace(window, *power);
    }
  }

  try {
    window.Load();
  } catch (const AssetError& error) {
    std::fprintf(stderr, "larkspill: %s\n", error.what());
    sound.StopAllSounds();
    window.Unload();
    return ending(kExitAssetError);
  }
  if (window.EndStatus() && host_ended(*window.EndStatus())) return ending(kExitOk);
  if (!unshown_box.empty()) std::fprintf(stderr, "larkspill: %s\n", unshown_box.c_str());
  if (window.EndStatus()) return ending(*window.EndStatus());
  windows.SetScreenSaverRunning(true);
  bool first_frame_shown = false;

  // Whether this saver may play at all (decided with the first frame up), and whether it is the
  // one that does.
  bool sound_wanted = false;
  bool sound_opened = false;
  uint32_t last_sound_try = clock.TickCount();
  bool sound_asked_shown = false;  // a try was made with the frame surely seen
  auto open_sound_if_ours = [&] {
    if (!sound_wanted || sound_opened || !display.SurelyShown() || !soundscape.TryTake()) return;
    sound_opened = true;
    sound.OpenNow();
  };

  while (!window.EndStatus()) {
    if (int signal = PendingSignal(); signal != 0) {
      window.CloseDown();
      return ending(128 + signal);
    }
    display.PumpEvents(window);
    if (login && login->LockComing()) window.OnScreenTaken();
    if (window.EndStatus()) break;
    if (power_watch) power_watch->Poll(clock.TickCount());
    // Every monitor dark, or every screen no longer taking frames: the scene's time goes on at a
    // look a second, and nothing is composed or shown until one comes back, which then gets a
    // whole frame.
    const bool dark = power_watch && (power_watch->Dark() || display.ScreensDark());
    if (power_watch) {
      power_watch->RunTimers(clock.TickCount(), dark);
    } else {
      window.Timers().RunDue(clock.TickCount());
    }
    if (window.EndStatus()) break;
    display.SetDark(dark);
    window.OnFrame();
    display.TakePaintedPictures();
    display.WaitForNextFrame();
    if (!first_frame_shown) {
      first_frame_shown = true;
      sound_wanted = !choices.no_sound && !(hosted && IsPreviewPane(target.embed_window));
      sound_asked_shown = display.SurelyShown();
      open_sound_if_ours();
      // The desktop hears the saver's wish about power saving once the first frame is up:
      // telling it takes a few milliseconds (over D-Bus on some desktops).
      if (power_watch) power_watch->Start();
    } else if (!sound_opened && sound_wanted &&
               (!sound_asked_shown || DelayPassed(last_sound_try, clock.TickCount(), 1000))) {
      // Another saver plays the soundscape; once it has ended, this one takes it over. The first
      // try waits only for the frame to be surely seen.
      sound_asked_shown = display.SurelyShown();
      last_sound_try = clock.TickCount();
      open_sound_if_ours();
    }
    // Dark, the loop sleeps until the next look at the monitor or an event, whichever comes first.
    if (dark && !window.EndStatus()) {
      const uint32_t wait = power_watch->MillisecondsToNextLook(clock.TickCount());
      if (wait > 0) display.WaitForEvents(wait);
    }
  }
  int status = *window.EndStatus();
  if (host_ended(status)) status = kExitOk;
  if (status == kExitDisplayLost && on_wayland) {
    std::fprintf(stderr, "larkspill: the Wayland display went away\n");
  } else if (status == kExitDisplayLost) {
    SayDisplayLost();
  }
  return ending(status);
}

}  // namespace larkspill

#include "platform/x11/screen_windows.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "platform/x11/x11_errors.h"

namespace larkspill {
namespace {

bool OnX11() {
  return std::string_view(SDL_GetCurrentVideoDriver()) == "x11";
}

// Where the monitors are now: RandR's list, or SDL's where the X server has none. SDL reads its
// list once, so only RandR's follows a monitor resized, added, removed or moved.
std::vector<X11ScreenHold::Area> MonitorAreas() {
  std::vector<X11ScreenHold::Area> areas = X11ScreenHold::Monitors();
  for (int monitor = 0; areas.empty() && monitor < SDL_GetNumVideoDisplays(); ++monitor) {
    SDL_Rect bounds{};
    if (SDL_GetDisplayBounds(monitor, &bounds) == 0) {
      areas.push_back({bounds.x, bounds.y, bounds.w, bounds.h});
    }
  }
  return areas;
}

}  // namespace

bool ScreenWindows::StartVideo() {
  // The lightest correct path without a GPU: the frame is written straight into the window's
  // shared-memory image, not through an OpenGL framebuffer emulated on the CPU.
  SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_DEFAULT);
  // Power saving belongs to the desktop or the host; the saver does not block it.
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  // SIGINT and SIGTERM belong to the program's event loop, not to SDL.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // With a window on each monitor, the one without the focus must stay up.
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  // The saver takes no text, so the input method SDL opens needs no compose sequences: reading
  // the locale's table of them (thousands of lines) was a sixth of the time to the first frame.
  // A table the user names is still read.
  setenv("XCOMPOSEFILE", "/dev/null", 0);
  // Without this, SDL falls back to drawing into memory that no screen shows when the X display
  // cannot be opened.
  if (!options_.video_driver.empty()) {
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, options_.video_driver.c_str(), SDL_HINT_OVERRIDE);
  }
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    const char* x_display = std::getenv("DISPLAY");
    if (options_.video_driver == "x11" && (x_display == nullptr || *x_display == '\0')) {
      std::fprintf(stderr, "larkspill: cannot open the display: DISPLAY is not set\n");
    } else if (options_.video_driver == "x11") {
      std::fprintf(stderr,
                   "larkspill: cannot open the X display %s: it is not there or refuses the "
                   "connection\n",
                   x_display);
    } else {
      std::fprintf(stderr, "larkspill: cannot open the display: %s\n", SDL_GetError());
    }
    return false;
  }
  return true;
}

void ScreenWindows::StopVideo() {
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

ScreenWindows::~ScreenWindows() {
  Close();
}

bool ScreenWindows::Add(SDL_Window* window, bool primary) {
  if (window == nullptr) return false;
  windows_.push_back({SdlWindowPtr(window), SDL_GetWindowID(window), primary});
  return true;
}

bool ScreenWindows::Open(int32_t width, int32_t height) {
  if (OpenWindows(width, height)) return true;
  lost_ = true;
  return false;
}

bool ScreenWindows::OpenWindows(int32_t width, int32_t height) {
  Close();
  lost_ = false;
  screen_taken_ = false;
  taken_told_ = false;
  pointer_known_ = false;
  if (options_.embed_window != 0) {
    // Errors about the host's window mean its owner destroyed it: noted, never fatal.
    ForgetOwnXWindows();
    WatchOwnXWindow(options_.embed_window);
    if (!Add(SDL_CreateWindowFrom(reinterpret_cast<const void*>(options_.embed_window))) ||
        OwnXWindowFailed()) {
      return false;
    }
    WatchHostWindow();
    return true;
  }
  if (!options_.fullscreen) {
    return Add(SDL_CreateWindow(options_.title.c_str(), SDL_WINDOWPOS_UNDEFINED,
                                SDL_WINDOWPOS_UNDEFINED, width, height, SDL_WINDOW_RESIZABLE));
  }
  // Every monitor shows the whole scene, each in a window covering just that monitor. On X11
  // that is a borderless override-redirect window the size of the monitor: full screen with or
  // without a window manager, and never stacked below another window by one (Hold).
  const std::vector<X11ScreenHold::Area> monitors =
      OnX11() ? MonitorAreas() : std::vector<X11ScreenHold::Area>{};
  // Under a screen lock the saver stands aside before it shows anything; its windows are made
  // but never shown.
  screen_taken_ =
      !monitors.empty() && options_.accept_input && X11ScreenHold::LockerHoldsScreen(monitors);
  const Uint32 shown = screen_taken_ ? SDL_WINDOW_HIDDEN : 0;
  for (const X11ScreenHold::Area& monitor : monitors) {
    SDL_SetHint(SDL_HINT_X11_FORCE_OVERRIDE_REDIRECT, "1");
    SDL_Window* window =
        SDL_CreateWindow(options_.title.c_str(), monitor.x, monitor.y, monitor.width,
                         monitor.height, SDL_WINDOW_BORDERLESS | shown);
    SDL_ResetHint(SDL_HINT_X11_FORCE_OVERRIDE_REDIRECT);
    if (!Add(window, monitor.primary)) return false;
  }
  for (int monitor = 0; monitors.empty() && monitor < std::max(1, SDL_GetNumVideoDisplays());
       ++monitor) {
    if (!Add(SDL_CreateWindow(options_.title.c_str(), SDL_WINDOWPOS_UNDEFINED_DISPLAY(monitor),
                              SDL_WINDOWPOS_UNDEFINED_DISPLAY(monitor), width, height,
                              SDL_WINDOW_FULLSCREEN_DESKTOP))) {
      return false;
    }
  }
  return true;
}

// Asks the X server to tell us when the host resizes or destroys its window; SDL does not
// watch windows it did not create.
void ScreenWindows::WatchHostWindow() {
  SDL_SysWMinfo wm;
  SDL_VERSION(&wm.version);
  if (!SDL_GetWindowWMInfo(windows_.front().window.get(), &wm) || wm.subsystem != SDL_SYSWM_X11) {
    return;
  }
  Display* x_display = wm.info.x11.display;
  host_display_ = x_display;
  auto host = static_cast<::Window>(options_.embed_window);
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
  // Exposure too: only the changed parts of a frame are sent, so the whole frame is sent again
  // when the server has lost what the window showed.
  XSelectInput(x_display, host, StructureNotifyMask | ExposureMask);
  XSync(x_display, False);
  if (options_.accept_input) {
    // Another client (the host) may hold the button presses; then we keep structure events only.
    bool refused = false;
    {
      XErrorTrap trap(x_display);
      XSelectInput(
          x_display, host,
          StructureNotifyMask | ExposureMask | PointerMotionMask | ButtonPressMask | KeyPressMask);
      refused = trap.Caught();
    }
    if (refused) {
      XSelectInput(x_display, host, StructureNotifyMask | ExposureMask);
      XSync(x_display, False);
    }
  }
}

void ScreenWindows::Hold() {
  if (!options_.fullscreen || options_.embed_window != 0 || !options_.accept_input) return;
  if (!OnX11() || screen_taken_) return;
  std::vector<unsigned long> windows;
  for (const Window& w : windows_) {
    SDL_SysWMinfo wm;
    SDL_VERSION(&wm.version);
    if (!SDL_GetWindowWMInfo(w.window.get(), &wm) || wm.subsystem != SDL_SYSWM_X11) return;
    windows.push_back(wm.info.x11.window);
  }
  for (unsigned long window : windows) WatchOwnXWindow(window);
  hold_ = X11ScreenHold::Take(windows);
  if (hold_) hold_->LookAtMonitorsUnasked(!dark_);
}

void ScreenWindows::Close() {
  hold_.reset();  // the keyboard and pointer first: the rest may take a while
  host_display_ = nullptr;
  windows_.clear();
}

void ScreenWindows::Forget() {
  ForgetOwnXWindows();
}

bool ScreenWindows::Lost(bool check_host) {
  // A frame that changes nothing sends nothing, so the host destroying its window would go
  // unnoticed until the next change; its notice may already be waiting.
  XEvent gone;
  if (check_host && host_display_ != nullptr &&
      XCheckTypedWindowEvent(host_display_, static_cast<::Window>(options_.embed_window),
                             DestroyNotify, &gone)) {
    lost_ = true;
  }
  if ((hold_ && hold_->WindowGone()) || OwnXWindowFailed()) lost_ = true;
  return lost_;
}

void ScreenWindows::Pump(DisplayEvents& events, const std::function<bool(const XEvent&)>& x_event,
                         const std::function<void(Uint32 window_id)>& renew) {
  SDL_Event event;
  while (SDL_PollEvent(&event) != 0) {
    switch (event.type) {
      case SDL_QUIT:
      case SDL_RENDER_DEVICE_RESET:
        lost_ = true;
        break;
      case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) lost_ = true;
        // The window's pixels may be gone or its size new: it is sent whole with the next frame.
        if (event.window.event == SDL_WINDOWEVENT_EXPOSED ||
            event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
            event.window.event == SDL_WINDOWEVENT_RESTORED ||
            event.window.event == SDL_WINDOWEVENT_SHOWN) {
          renew(event.window.windowID);
        }
        break;
      case SDL_SYSWMEVENT:
        if (event.syswm.msg != nullptr && event.syswm.msg->subsystem == SDL_SYSWM_X11) {
          const XEvent& x = event.syswm.msg->msg.x11.event;
          if (x_event(x)) break;
          if (options_.embed_window != 0 && x.type == DestroyNotify &&
              x.xdestroywindow.window == static_cast<::Window>(options_.embed_window)) {
            lost_ = true;
          }
        }
        break;
      case SDL_MOUSEMOTION: {
        int32_t x = event.motion.x;
        int32_t y = event.motion.y;
        if (windows_.size() > 1) {
          if (SDL_Window* window = SDL_GetWindowFromID(event.motion.windowID)) {
            int left = 0;
            int top = 0;
            SDL_GetWindowPosition(window, &left, &top);
            x += left;
            y += top;
          }
        }
        if (options_.accept_input) PointerAt(x, y, events);
        break;
      }
      case SDL_MOUSEBUTTONDOWN:
        if (options_.accept_input) events.OnButton();
        break;
      case SDL_MOUSEWHEEL:  // X11's buttons 4 to 7
        if (options_.accept_input) events.OnWheel();
        break;
      case SDL_KEYDOWN:
        if (options_.accept_input) events.OnKey();
        break;
      default:
        break;
    }
  }
  if (hold_ && !lost_) {
    hold_->Pump(std::chrono::steady_clock::now());
    if (hold_->ScreenTaken()) screen_taken_ = true;
  }
  if (screen_taken_ && !taken_told_) {
    taken_told_ = true;
    events.OnScreenTaken();
  }
  Lost();
}

// The pointer at a place on the desktop. The first report only says where the pointer already is
// (the window appeared under it), and a report of the same place is no movement; neither counts.
void ScreenWindows::PointerAt(int32_t x, int32_t y, DisplayEvents& events) {
  if (pointer_known_ && (x != pointer_x_ || y != pointer_y_)) events.OnPointerMoved();
  pointer_known_ = true;
  pointer_x_ = x;
  pointer_y_ = y;
}

}  // namespace larkspill

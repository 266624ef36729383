#pragma once

#include <SDL.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/files/sdl_ptrs.h"
#include "platform/x11/x11_screen_hold.h"
#include "scene/scene_display.h"

struct _XDisplay;  // Xlib's Display
union _XEvent;     // Xlib's XEvent

namespace larkspill {

struct WindowOptions {
  // Title of the saver's own window.
  std::string title;
  // Full screen at the desktop's resolution; otherwise a resizable window.
  bool fullscreen = true;
  // When non-zero, the X11 window to draw into instead of a window of our own (a screen-saver
  // host's window). Its owner may resize or destroy it at any time.
  uint64_t embed_window = 0;
  // False when the host owns the input: no pointer, button or key events are delivered.
  bool accept_input = true;
  // The one SDL video driver to use ("x11"), whatever the environment asks for; empty: SDL's
  // own choice.
  std::string video_driver;
};

// The windows that show the frame and what happens to them: the host's window, or one
// full-screen window on each monitor (on X11 kept on top with the focus, until a screen locker
// takes the screen), or one resizable window; their events, and whether they are gone.
class ScreenWindows {
 public:
  explicit ScreenWindows(const WindowOptions& options) : options_(options) {}
  ~ScreenWindows();
  ScreenWindows(const ScreenWindows&) = delete;
  ScreenWindows& operator=(const ScreenWindows&) = delete;

  // Starts SDL's video for the saver (the driver the options name, no GPU emulated on the CPU,
  // power saving and signals left to others); false, having said why, when there is no display.
  bool StartVideo();
  void StopVideo();
  // Opens the windows (again), for a frame of `width` x `height`; false (with SDL's error), and
  // the windows lost, on failure.
  // Where a screen locker already holds the screen, they are made hidden and the first Pump
  // tells that the screen is taken.
  bool Open(int32_t width, int32_t height);
  // In its own full-screen windows on X11 the saver keeps them above every other window, with
  // the keyboard focus, and watches for a screen locker.
  void Hold();
  // Stops keeping the windows on top.
  void LetGo() { hold_.reset(); }
  // While every monitor is dark the monitors are looked at only when RandR tells of a change.
  void SetDark(bool dark) {
    dark_ = dark;
    if (hold_) hold_->LookAtMonitorsUnasked(!dark);
  }
  // Whether the monitors changed since the held windows were opened: time to open them again.
  bool MonitorsChanged() const { return hold_ && hold_->MonitorsChanged(); }
  // Stops keeping the windows on top and closes them.
  void Close();
  // After the window system is closed, when no request about the windows can come back:
  // errors about them no longer count.
  void Forget();

  size_t count() const { return windows_.size(); }
  SDL_Window* window(size_t i) const { return windows_[i].window.get(); }
  Uint32 window_id(size_t i) const { return windows_[i].id; }
  bool primary(size_t i) const { return windows_[i].primary; }

  // Handles every pending event: input to `events` (when accepted) and, once, a screen locker
  // taking the screen; X events to `x_event`, the
  // window whose pixels must all be sent again to `renew`. Closing or losing a window marks the
  // windows lost.
  void Pump(DisplayEvents& events, const std::function<bool(const _XEvent&)>& x_event,
            const std::function<void(Uint32 window_id)>& renew);
  // Whether a window was closed, destroyed by another client, or refused a request. With
  // `check_host`, a notice that the host destroyed its window, perhaps still waiting, counts.
  bool Lost(bool check_host = false);

 private:
  struct Window {
    SdlWindowPtr window;
    Uint32 id = 0;
    bool primary = false;  // on RandR's primary monitor
  };
  bool OpenWindows(int32_t width, int32_t height);
  bool Add(SDL_Window* window, bool primary = false);
  void WatchHostWindow();
  void PointerAt(int32_t x, int32_t y, DisplayEvents& events);

  const WindowOptions& options_;
  std::vector<Window> windows_;
  _XDisplay* host_display_ = nullptr;  // SDL's X connection, when drawing into a host's window
  std::unique_ptr<X11ScreenHold> hold_;
  bool lost_ = false;
  bool dark_ = false;
  bool screen_taken_ = false;  // a screen locker or another saver wants the screen
  bool taken_told_ = false;
  bool pointer_known_ = false;
  int32_t pointer_x_ = 0;  // on the desktop, so moving from one monitor's window to another's
  int32_t pointer_y_ = 0;  // compares like positions
};

}  // namespace larkspill

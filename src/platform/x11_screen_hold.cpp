#include "platform/x11_screen_hold.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <utility>

namespace larkspill {

std::unique_ptr<X11ScreenHold> X11ScreenHold::Take(const std::vector<unsigned long>& windows) {
  if (windows.empty()) return nullptr;
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return nullptr;
  return std::unique_ptr<X11ScreenHold>(new X11ScreenHold(display, windows));
}

X11ScreenHold::X11ScreenHold(Display* display, std::vector<unsigned long> windows)
    : display_(display), windows_(std::move(windows)) {
  // Every top-level window mapped, restacked, unmapped or destroyed is told through the root.
  XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask);
  // Keys go to the saver even while another client holds the keyboard grab.
  XSetInputFocus(display_, windows_.front(), RevertToParent, CurrentTime);
  std::vector<Input> none;
  Pump(none, Clock::now());
}

X11ScreenHold::~X11ScreenHold() {
  XUngrabKeyboard(display_, CurrentTime);
  XUngrabPointer(display_, CurrentTime);
  XCloseDisplay(display_);
}

bool X11ScreenHold::Own(unsigned long window) const {
  return std::find(windows_.begin(), windows_.end(), window) != windows_.end();
}

void X11ScreenHold::Pump(std::vector<Input>& input, Clock::time_point now) {
  while (XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    Notice(event, input);
  }
  if (window_gone_) return;
  bool sent = false;
  if (map_wanted_) {
    for (unsigned long window : windows_) XMapRaised(display_, window);
    map_wanted_ = false;
    raise_wanted_ = false;
    next_raise_ = now + kRaiseSpacing;
    sent = true;
  }
  if (raise_wanted_ && now >= next_raise_) {
    for (unsigned long window : windows_) XRaiseWindow(display_, window);
    raise_wanted_ = false;
    next_raise_ = now + kRaiseSpacing;
    sent = true;
  }
  if ((!keyboard_held_ || !pointer_held_) && now >= next_grab_) {
    TryGrabs();  // waits for the server's answers, which sends everything before them
    next_grab_ = now + kGrabRetry;
    sent = false;
  }
  if (sent) XFlush(display_);
}

void X11ScreenHold::Notice(const XEvent& event, std::vector<Input>& input) {
  switch (event.type) {
    case KeyPress:
      input.push_back({Input::kKey});
      break;
    case ButtonPress: {
      const unsigned button = event.xbutton.button;
      input.push_back({button >= 4 && button <= 7 ? Input::kWheel : Input::kButton});
      break;
    }
    case MotionNotify:
      input.push_back({Input::kPointer, event.xmotion.x_root, event.xmotion.y_root});
      break;
    case MapNotify:
      if (!Own(event.xmap.window)) raise_wanted_ = true;
      break;
    case ConfigureNotify:
      if (!Own(event.xconfigure.window)) raise_wanted_ = true;
      break;
    case CirculateNotify:
      if (!Own(event.xcirculate.window)) raise_wanted_ = true;
      break;
    case UnmapNotify:
      // Another client took a window of the saver's off the screen; a grab on it went too.
      if (Own(event.xunmap.window)) {
        map_wanted_ = true;
        keyboard_held_ = false;
        pointer_held_ = false;
      }
      break;
    case DestroyNotify:
      if (Own(event.xdestroywindow.window)) window_gone_ = true;
      break;
    default:
      break;
  }
}

// A grab fails while another client holds it (a menu, a window manager's own grab) or while the
// window is not on the screen; both are tried again later. All the input goes to this
// connection, reported against the first window.
void X11ScreenHold::TryGrabs() {
  const unsigned long window = windows_.front();
  if (!keyboard_held_) {
    keyboard_held_ = XGrabKeyboard(display_, window, False, GrabModeAsync, GrabModeAsync,
                                   CurrentTime) == GrabSuccess;
  }
  if (!pointer_held_) {
    pointer_held_ =
        XGrabPointer(display_, window, False, ButtonPressMask | PointerMotionMask, GrabModeAsync,
                     GrabModeAsync, None, None, CurrentTime) == GrabSuccess;
  }
}

}  // namespace larkspill

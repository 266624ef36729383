#include "platform/x11/x11_screen_hold.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/scrnsaver.h>

#include <algorithm>
#include <tuple>
#include <utility>

#include "platform/x11/x11_errors.h"

namespace larkspill {
namespace {

bool Covers(const XWindowAttributes& window, const X11ScreenHold::Area& monitor) {
  return window.x <= monitor.x && window.y <= monitor.y &&
         window.x + window.width >= monitor.x + monitor.width &&
         window.y + window.height >= monitor.y + monitor.height;
}

bool CoversAny(const XWindowAttributes& window, const std::vector<X11ScreenHold::Area>& monitors) {
  return std::any_of(monitors.begin(), monitors.end(),
                     [&](const X11ScreenHold::Area& monitor) { return Covers(window, monitor); });
}

// The topmost window on the screen that shows anything, if any.
bool TopmostShown(Display* display, XWindowAttributes& shown) {
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
    return false;
  }
  bool found = false;
  XErrorTrap trap(display);  // a window may go while we look at it
  for (unsigned int i = count; i-- > 0 && !found;) {
    XWindowAttributes attributes{};
    found = XGetWindowAttributes(display, children[i], &attributes) != 0 &&
            attributes.map_state == IsViewable && attributes.c_class == InputOutput;
    if (found) shown = attributes;
  }
  if (children != nullptr) XFree(children);
  return found;
}

// The active monitors, each area once, in order; empty without RandR 1.5.
std::vector<X11ScreenHold::Area> MonitorsOn(Display* display) {
  int event_base = 0, error_base = 0, major = 0, minor = 0;
  std::vector<X11ScreenHold::Area> areas;
  if (!XRRQueryExtension(display, &event_base, &error_base) ||
      !XRRQueryVersion(display, &major, &minor) || major * 100 + minor < 105) {
    return areas;
  }
  int count = 0;
  XRRMonitorInfo* monitors = XRRGetMonitors(display, DefaultRootWindow(display), True, &count);
  for (int i = 0; i < count; ++i) {
    areas.push_back({monitors[i].x, monitors[i].y, monitors[i].width, monitors[i].height,
                     monitors[i].primary != 0});
  }
  if (monitors != nullptr) XRRFreeMonitors(monitors);
  // One window an area: of two monitors alike, the primary one is kept.
  std::sort(areas.begin(), areas.end(), [](const X11ScreenHold::Area& a, const X11ScreenHold::Area& b) {
    return std::tie(a.x, a.y, a.width, a.height, b.primary) <
           std::tie(b.x, b.y, b.width, b.height, a.primary);
  });
  areas.erase(std::unique(areas.begin(), areas.end(),
                          [](const X11ScreenHold::Area& a, const X11ScreenHold::Area& b) {
                            return std::tie(a.x, a.y, a.width, a.height) ==
                                   std::tie(b.x, b.y, b.width, b.height);
                          }),
              areas.end());
  return areas;
}

}  // namespace

std::vector<X11ScreenHold::Area> X11ScreenHold::Monitors() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return {};
  std::vector<Area> areas = MonitorsOn(display);
  XCloseDisplay(display);
  return areas;
}

std::unique_ptr<X11ScreenHold> X11ScreenHold::Take(const std::vector<unsigned long>& windows) {
  if (windows.empty()) return nullptr;
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return nullptr;
  return std::unique_ptr<X11ScreenHold>(new X11ScreenHold(display, windows));
}

bool X11ScreenHold::LockerHoldsScreen(const std::vector<Area>& monitors) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return false;
  XWindowAttributes top{};
  bool locked = TopmostShown(display, top) && top.override_redirect && CoversAny(top, monitors);
  if (locked) {
    // The only way X tells whether another client holds the keyboard is to ask for it; ours, if
    // granted, goes back at once.
    const int grab = XGrabKeyboard(display, DefaultRootWindow(display), False, GrabModeAsync,
                                   GrabModeAsync, CurrentTime);
    if (grab == GrabSuccess) XUngrabKeyboard(display, CurrentTime);
    locked = grab == AlreadyGrabbed || grab == GrabFrozen;
  }
  XCloseDisplay(display);
  return locked;
}

X11ScreenHold::X11ScreenHold(Display* display, std::vector<unsigned long> windows)
    : display_(display), windows_(std::move(windows)) {
  {
    XErrorTrap trap(display_);
    for (unsigned long window : windows_) {
      XWindowAttributes attributes{};
      if (XGetWindowAttributes(display_, window, &attributes) != 0) {
        monitors_.push_back({attributes.x, attributes.y, attributes.width, attributes.height});
      }
      // The focus leaving a window of the saver's, and why.
      XSelectInput(display_, window, FocusChangeMask);
    }
  }
  std::sort(monitors_.begin(), monitors_.end());
  monitors_.erase(std::unique(monitors_.begin(), monitors_.end()), monitors_.end());
  // Every top-level window mapped, restacked, unmapped or destroyed is told through the root.
  XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask);
  int randr_error_base = 0;
  if (XRRQueryExtension(display_, &randr_event_, &randr_error_base)) {
    XRRSelectInput(display_, DefaultRootWindow(display_),
                   RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask);
    CheckMonitors();  // they may have changed while the windows were being made
  }
  int event_base = 0, error_base = 0;
  if (XScreenSaverQueryExtension(display_, &event_base, &error_base)) {
    screen_saver_event_ = event_base + ScreenSaverNotify;
    XScreenSaverSelectInput(display_, DefaultRootWindow(display_), ScreenSaverNotifyMask);
  }
  Pump(Clock::now());
}

X11ScreenHold::~X11ScreenHold() {
  XCloseDisplay(display_);
}

bool X11ScreenHold::Own(unsigned long window) const {
  return std::find(windows_.begin(), windows_.end(), window) != windows_.end();
}

void X11ScreenHold::Pump(Clock::time_point now) {
  while (XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    Notice(event);
  }
  if (randr_told_ || (looks_unasked_ && randr_event_ >= 0 && now >= next_monitor_look_)) {
    CheckMonitors();
    next_monitor_look_ = now + kMonitorLookSpacing;
  }
  if (window_gone_ || screen_taken_) return;
  if (map_wanted_) {
    for (unsigned long window : windows_) XMapRaised(display_, window);
    map_wanted_ = false;
    raise_wanted_ = false;
    next_restore_ = now + kRestoreSpacing;
    XFlush(display_);
  }
  if ((!raise_wanted_ && !focus_wanted_) || now < next_restore_) return;
  next_restore_ = now + kRestoreSpacing;
  if (raise_wanted_) {
    for (unsigned long window : windows_) XRaiseWindow(display_, window);
    raise_wanted_ = false;
  }
  if (focus_wanted_ && viewable_) TakeFocus();
  XFlush(display_);
}

// Keys go to the window with the focus: the saver's first window takes it back from whoever
// took it. A window unmapped a moment ago refuses it; it is asked again once it is back.
void X11ScreenHold::TakeFocus() {
  focus_wanted_ = false;
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(display_, &focus, &revert);
  if (Own(focus)) return;
  XErrorTrap trap(display_);
  XSetInputFocus(display_, windows_.front(), RevertToParent, CurrentTime);
}

void X11ScreenHold::CheckMonitors() {
  randr_told_ = false;
  // The windows know their places, not which monitor is primary: only places count.
  const std::vector<Area> now = MonitorsOn(display_);
  const auto same_place = [](const Area& a, const Area& b) {
    return std::tie(a.x, a.y, a.width, a.height) == std::tie(b.x, b.y, b.width, b.height);
  };
  if (!now.empty() && !std::equal(now.begin(), now.end(), monitors_.begin(), monitors_.end(),
                                  same_place)) {
    monitors_changed_ = true;
  }
}

bool X11ScreenHold::CoversAMonitor(unsigned long window) {
  XErrorTrap trap(display_);
  XWindowAttributes attributes{};
  return XGetWindowAttributes(display_, window, &attributes) != 0 && attributes.override_redirect &&
         CoversAny(attributes, monitors_);
}

void X11ScreenHold::Notice(const XEvent& event) {
  switch (event.type) {
    case FocusOut:
      if (!Own(event.xfocus.window) || event.xfocus.detail == NotifyInferior) break;
      if (event.xfocus.mode == NotifyGrab) {
        screen_taken_ = true;  // another client grabbed the keyboard
      } else {
        focus_wanted_ = true;
      }
      break;
    case MapNotify:
      if (Own(event.xmap.window)) {
        if (event.xmap.window == windows_.front()) viewable_ = true;
        focus_wanted_ = true;
      } else if (event.xmap.override_redirect && CoversAMonitor(event.xmap.window)) {
        screen_taken_ = true;
      } else {
        raise_wanted_ = true;
      }
      break;
    case ConfigureNotify:
      if (!Own(event.xconfigure.window)) raise_wanted_ = true;
      break;
    case CirculateNotify:
      if (!Own(event.xcirculate.window)) raise_wanted_ = true;
      break;
    case UnmapNotify:
      // Another client took a window of the saver's off the screen; it comes back.
      if (Own(event.xunmap.window)) {
        map_wanted_ = true;
        if (event.xunmap.window == windows_.front()) viewable_ = false;
      }
      break;
    case DestroyNotify:
      if (Own(event.xdestroywindow.window)) window_gone_ = true;
      break;
    default:
      if (randr_event_ >= 0 && (event.type == randr_event_ + RRScreenChangeNotify ||
                                event.type == randr_event_ + RRNotify)) {
        XEvent copy = event;
        XRRUpdateConfiguration(&copy);  // Xlib's idea of the screen's size follows
        randr_told_ = true;
      } else if (event.type == screen_saver_event_) {
        const auto& notice = reinterpret_cast<const XScreenSaverNotifyEvent&>(event);
        // The idle time ran out. A forced turn-on is the monitor powering down (or a program
        // asking), which the power settings answer.
        if (notice.state == ScreenSaverOn && !notice.forced) screen_taken_ = true;
      }
      break;
  }
}

}  // namespace larkspill

#include "platform/x11/x11_window_system.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/dpms.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/x11/x11_errors.h"

namespace larkspill {
namespace {

std::string WindowTitle(Display* display, Window window) {
  Atom net_wm_name = XInternAtom(display, "_NET_WM_NAME", False);
  Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, window, net_wm_name, 0, 1024, False, utf8, &type, &format, &count,
                         &after, &data) == Success &&
      data != nullptr) {
    std::string title(reinterpret_cast<char*>(data), count);
    XFree(data);
    if (!title.empty()) return title;
  }
  char* name = nullptr;
  if (XFetchName(display, window, &name) && name != nullptr) {
    std::string title(name);
    XFree(name);
    return title;
  }
  return {};
}

}  // namespace

X11WindowSystem::X11WindowSystem(InstanceLock& lock) : lock_(lock) {}

X11WindowSystem::~X11WindowSystem() {
  if (display_ != nullptr) XCloseDisplay(display_);
}

Display* X11WindowSystem::Connection() {
  if (!tried_) {
    tried_ = true;
    display_ = XOpenDisplay(nullptr);
  }
  return display_;
}

bool X11WindowSystem::FindWindowByTitle(const std::string& title) {
  Display* display = Connection();
  if (display == nullptr) return false;
  // A window that vanishes while the tree is walked is expected, not an error.
  XErrorTrap trap(display);
  // Top-level windows are the root's children, or their children where a window manager has
  // put each client inside a frame of its own.
  bool found = false;
  std::vector<std::pair<Window, int>> pending{{DefaultRootWindow(display), 0}};
  while (!pending.empty() && !found) {
    auto [window, depth] = pending.back();
    pending.pop_back();
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count)) continue;
    for (unsigned int i = 0; i < count && !found; ++i) {
      if (WindowTitle(display, children[i]) == title) {
        found = true;
      } else if (depth < 1) {
        pending.push_back({children[i], depth + 1});
      }
    }
    if (children != nullptr) XFree(children);
  }
  return found;
}

Rect X11WindowSystem::DesktopRect() {
  Display* display = Connection();
  if (display == nullptr) return Rect{0, 0, 800, 600};
  XWindowAttributes attributes{};
  XGetWindowAttributes(display, DefaultRootWindow(display), &attributes);
  return Rect{0, 0, attributes.width, attributes.height};
}

void X11WindowSystem::ShowCursor(bool show) {
  cursor_visible_ = show;
  if (cursor_handler_) cursor_handler_(show);
}

void X11WindowSystem::SetCursorHandler(std::function<void(bool)> handler) {
  cursor_handler_ = std::move(handler);
  if (cursor_handler_) cursor_handler_(cursor_visible_);
}

// Linux desktops have no such flag to set.
void X11WindowSystem::SetScreenSaverRunning(bool) {}

bool X11WindowSystem::MonitorPoweredOff() {
  Display* display = Connection();
  if (display == nullptr) return false;
  int event_base = 0, error_base = 0;
  if (!DPMSQueryExtension(display, &event_base, &error_base) || !DPMSCapable(display)) {
    return false;
  }
  CARD16 level = 0;
  BOOL enabled = False;
  if (!DPMSInfo(display, &level, &enabled)) return false;
  return enabled && level != DPMSModeOn;
}

bool X11WindowSystem::PreviousInstanceRunning() {
  return lock_.OtherInstanceRunning();
}

}  // namespace larkspill

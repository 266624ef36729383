#include "platform/x11/x11_host_window.h"

#include <SDL.h>
#include <X11/Xlib.h>

#include "platform/x11/x11_errors.h"

namespace larkspill {

std::optional<HostWindow> HostWindowState(uint64_t id) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return std::nullopt;
  XWindowAttributes attributes{};
  Status found = 0;
  {
    XErrorTrap trap(display);  // a window that is gone is an answer here, not an error
    found = XGetWindowAttributes(display, static_cast<Window>(id), &attributes);
  }
  XCloseDisplay(display);
  if (found == 0) return HostWindow::Missing;
  return attributes.c_class == InputOnly ? HostWindow::InputOnlyClass : HostWindow::Drawable;
}

bool IsPreviewPane(uint64_t id) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return false;
  XWindowAttributes window{};
  XWindowAttributes root{};
  int x = 0, y = 0;
  Window child = 0;
  bool known = false;
  {
    XErrorTrap trap(display);
    known = XGetWindowAttributes(display, static_cast<Window>(id), &window) != 0 &&
            XGetWindowAttributes(display, DefaultRootWindow(display), &root) != 0 &&
            XTranslateCoordinates(display, static_cast<Window>(id), DefaultRootWindow(display), 0,
                                  0, &x, &y, &child) != 0;
  }
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

uint64_t RootWindowId() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return 0;
  const uint64_t root = DefaultRootWindow(display);
  XCloseDisplay(display);
  return root;
}

}  // namespace larkspill

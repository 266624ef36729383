#include "platform/x11/x11_idle_source.h"

#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>
#include <unistd.h>

#include <cstdio>

#include "scene/exit_status.h"

namespace larkspill {
namespace {

// The X server gone: the session is over, and the watcher with it, saying so as the saver does.
int DisplayGone(Display*) {
  std::fputs("larkspill: the X display went away\n", stderr);
  ::_exit(kExitDisplayLost);
}

}  // namespace

std::unique_ptr<X11IdleSource> X11IdleSource::Open() {
  XSetIOErrorHandler(DisplayGone);
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return nullptr;
  int event_base = 0, error_base = 0;
  if (!XScreenSaverQueryExtension(display, &event_base, &error_base)) {
    XCloseDisplay(display);
    return nullptr;
  }
  return std::unique_ptr<X11IdleSource>(new X11IdleSource(display));
}

X11IdleSource::~X11IdleSource() {
  XCloseDisplay(display_);
}

std::optional<std::chrono::milliseconds> X11IdleSource::IdleTime() {
  XScreenSaverInfo info{};
  if (!XScreenSaverQueryInfo(display_, DefaultRootWindow(display_), &info)) return std::nullopt;
  return std::chrono::milliseconds(info.idle);
}

}  // namespace larkspill

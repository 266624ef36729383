// A stand-in for a screen-saver host or a settings window with a preview pane: one grey top-level
// window of a given size. It prints the window's id ("0x1a00001 27262977") once the window is
// mapped, and destroys the window and ends on SIGTERM or SIGINT. Tests resize it with xdotool.
//
//   stand_in_host WIDTH HEIGHT [TITLE]
#include <X11/Xlib.h>
#include <poll.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

volatile std::sig_atomic_t g_end = 0;

void OnSignal(int) {
  g_end = 1;
}

}  // namespace

int main(int argc, char** argv) {
  const int width = argc > 2 ? std::atoi(argv[1]) : 0, height = argc > 2 ? std::atoi(argv[2]) : 0;
  if (width < 1 || height < 1) {
    std::fprintf(stderr, "usage: stand_in_host WIDTH HEIGHT [TITLE]\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "stand_in_host: cannot open the X display\n");
    return 1;
  }
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);

  // A grey background, so that whatever a client draws into the window stands out from it.
  Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, unsigned(width),
                                      unsigned(height), 0, 0, 0x808080);
  XStoreName(display, window, argc > 3 ? argv[3] : "Stand-in host");
  XSelectInput(display, window, StructureNotifyMask);
  XMapWindow(display, window);
  for (XEvent event; !g_end;) {
    XNextEvent(display, &event);
    if (event.type == MapNotify) break;
  }
  std::printf("0x%lx %lu\n", window, window);
  std::fflush(stdout);

  pollfd connection{ConnectionNumber(display), POLLIN, 0};
  while (!g_end) {
    for (XEvent event; XPending(display) > 0;) XNextEvent(display, &event);
    poll(&connection, 1, 100);
  }
  XDestroyWindow(display, window);
  XSync(display, False);
  XCloseDisplay(display);
  return 0;
}

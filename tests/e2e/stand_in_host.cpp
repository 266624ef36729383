// A stand-in for a screen-saver host or a settings window with a preview pane: one grey top-level
// window of a given size. It prints the window's id ("0x1a00001 27262977") once the window is
// mapped, and destroys the window and ends on SIGTERM or SIGINT. Tests resize it with xdotool.
// With "focus" it also takes the keyboard focus, as a pushy program's window does.
//
//   stand_in_host WIDTH HEIGHT [TITLE [focus]]
//
// With --grab it is another client wanting the keyboard and the pointer: it grabs both, says
// which it got ("keyboard 0 pointer 0", X's grab statuses), holds them for SECONDS (none by
// default), lets go, and ends with 0 when it got both.
//
//   stand_in_host --grab [SECONDS]
#include <X11/Xlib.h>
#include <poll.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

volatile std::sig_atomic_t g_end = 0;

void OnSignal(int) {
  g_end = 1;
}

// XGrabKeyboard's and XGrabPointer's statuses on the root window: 0 is success.
int Grab(Display* display, double seconds) {
  const Window root = DefaultRootWindow(display);
  const int keyboard =
      XGrabKeyboard(display, root, False, GrabModeAsync, GrabModeAsync, CurrentTime);
  const int pointer = XGrabPointer(display, root, False, ButtonPressMask, GrabModeAsync,
                                   GrabModeAsync, None, None, CurrentTime);
  std::printf("keyboard %d pointer %d\n", keyboard, pointer);
  std::fflush(stdout);
  if (seconds > 0) usleep(static_cast<useconds_t>(seconds * 1e6));
  XUngrabKeyboard(display, CurrentTime);
  XUngrabPointer(display, CurrentTime);
  XCloseDisplay(display);
  return keyboard == GrabSuccess && pointer == GrabSuccess ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string_view(argv[1]) == "--grab") {
    Display* display = XOpenDisplay(nullptr);
    return display != nullptr ? Grab(display, argc > 2 ? std::atof(argv[2]) : 0) : 1;
  }
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
  if (argc > 4 && std::string_view(argv[4]) == "focus") {
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
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

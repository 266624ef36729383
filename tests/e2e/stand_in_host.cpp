// A stand-in for a screen-saver host or a preview pane: a grey top-level window that prints its id
// ("0x1a00001 27262977") once mapped, is destroyed in order on SIGTERM or SIGINT, and with "focus"
// takes the focus. With --grab, another client: it grabs keyboard and pointer, prints X's statuses,
// holds them SECONDS, lets go, and ends with 0 when it got both.
#include <X11/Xlib.h>
#include <poll.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string_view>

static volatile std::sig_atomic_t g_end = 0;

int main(int argc, char** argv) {
  const bool grab = argc > 1 && std::string_view(argv[1]) == "--grab";
  const int width = argc > 2 ? std::atoi(argv[1]) : 0, height = argc > 2 ? std::atoi(argv[2]) : 0;
  if (!grab && (width < 1 || height < 1)) {
    std::fprintf(stderr, "usage: stand_in_host WIDTH HEIGHT [TITLE [focus]] | --grab [SECONDS]\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return 1;  // no X display: the test's start_host says so
  const Window root = DefaultRootWindow(display);
  if (grab) {
    const int keyboard =
        XGrabKeyboard(display, root, False, GrabModeAsync, GrabModeAsync, CurrentTime);
    const int pointer = XGrabPointer(display, root, False, ButtonPressMask, GrabModeAsync,
                                     GrabModeAsync, None, None, CurrentTime);
    std::printf("keyboard %d pointer %d\n", keyboard, pointer);
    std::fflush(stdout);
    if (argc > 2) usleep(static_cast<useconds_t>(std::atof(argv[2]) * 1e6));
    XCloseDisplay(display);  // lets both go
    return keyboard == GrabSuccess && pointer == GrabSuccess ? 0 : 1;
  }
  struct sigaction action {};
  action.sa_handler = [](int) { g_end = 1; };
  for (int signal : {SIGTERM, SIGINT}) sigaction(signal, &action, nullptr);
  // A grey background, so that whatever a client draws into the window stands out from it.
  const Window window =
      XCreateSimpleWindow(display, root, 0, 0, unsigned(width), unsigned(height), 0, 0, 0x808080);
  XStoreName(display, window, argc > 3 ? argv[3] : "Stand-in host");
  XSelectInput(display, window, StructureNotifyMask);
  XMapWindow(display, window);
  for (XEvent event; !g_end;) {
    XNextEvent(display, &event);
    if (event.type == MapNotify) break;
  }
  if (argc > 4 && std::string_view(argv[4]) == "focus")
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
  std::printf("0x%lx %lu\n", window, window);
  std::fflush(stdout);
  pollfd connection{ConnectionNumber(display), POLLIN, 0};
  while (!g_end) {
    for (XEvent event; XPending(display) > 0;) XNextEvent(display, &event);
    poll(&connection, 1, 100);
  }
  XDestroyWindow(display, window);
  XCloseDisplay(display);
  return 0;
}

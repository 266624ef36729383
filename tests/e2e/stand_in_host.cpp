// A stand-in host or preview pane: a grey window that prints its id ("0x1a00001 27262977") once
// mapped, with "focus" takes the focus (with "override" is override-redirect, with "input-only" is one
// nothing can draw into; a further X,Y puts it there), and is destroyed in order on SIGTERM or SIGINT. With --grab, another client
// holding the keyboard and pointer for SECONDS, ending with 0 when it got both. With --cursor, says
// whether the pointer's cursor is "hidden" (every pixel clear) or "shown".
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#include <poll.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string_view>

static volatile std::sig_atomic_t g_end = 0;

int main(int argc, char** argv) {
  const bool grab = argc > 1 && std::string_view(argv[1]) == "--grab";
  if (argc > 1 && std::string_view(argv[1]) == "--cursor") {
    Display* display = XOpenDisplay(nullptr);
    XFixesCursorImage* cursor = display != nullptr ? XFixesGetCursorImage(display) : nullptr;
    if (cursor == nullptr) return 1;
    bool clear = true;
    for (int i = 0; i < cursor->width * cursor->height; ++i) clear = clear && (cursor->pixels[i] >> 24) == 0;
    std::printf("%s\n", clear ? "hidden" : "shown");
    XFree(cursor);
    XCloseDisplay(display);
    return 0;
  }
  const int width = argc > 2 ? std::atoi(argv[1]) : 0, height = argc > 2 ? std::atoi(argv[2]) : 0;
  if (!grab && (width < 1 || height < 1)) {
    std::fprintf(stderr, "usage: stand_in_host WIDTH HEIGHT [TITLE [focus|override|input-only [X,Y]]]"
                         " | --grab [SECONDS] | --cursor\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return 1;  // no X display: the test's start_host says so
  const Window root = DefaultRootWindow(display);
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each line to the test as it is printed
  if (grab) {
    const int keyboard =
        XGrabKeyboard(display, root, False, GrabModeAsync, GrabModeAsync, CurrentTime);
    const int pointer = XGrabPointer(display, root, False, ButtonPressMask, GrabModeAsync,
                                     GrabModeAsync, None, None, CurrentTime);
    std::printf("keyboard %d pointer %d\n", keyboard, pointer);
    if (argc > 2) usleep(static_cast<useconds_t>(std::atof(argv[2]) * 1e6));
    XCloseDisplay(display);  // lets both go
    return keyboard == GrabSuccess && pointer == GrabSuccess ? 0 : 1;
  }
  struct sigaction action {};
  action.sa_handler = [](int) { g_end = 1; };
  for (int signal : {SIGTERM, SIGINT}) sigaction(signal, &action, nullptr);
  const bool input_only = argc > 4 && std::string_view(argv[4]) == "input-only";
  int x = 0, y = 0;
  if (argc > 5) std::sscanf(argv[5], "%d,%d", &x, &y);
  const Window window =  // grey, so that whatever a client draws into it stands out
      input_only ? XCreateWindow(display, root, x, y, unsigned(width), unsigned(height), 0, 0,
                                 InputOnly, CopyFromParent, 0, nullptr)
                 : XCreateSimpleWindow(display, root, x, y, unsigned(width), unsigned(height), 0,
                                       0, 0x808080);
  XStoreName(display, window, argc > 3 ? argv[3] : "Stand-in host");
  if (argc > 4 && std::string_view(argv[4]) == "override") {  // as lockers' and savers' windows are
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    XChangeWindowAttributes(display, window, CWOverrideRedirect, &attributes);
  }
  XSelectInput(display, window, StructureNotifyMask);
  XMapWindow(display, window);
  XEvent mapped;
  do XWindowEvent(display, window, StructureNotifyMask, &mapped); while (mapped.type != MapNotify);
  if (argc > 4 && std::string_view(argv[4]) == "focus")
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
  std::printf("0x%lx %lu\n", window, window);
  pollfd connection{ConnectionNumber(display), POLLIN, 0};
  while (!g_end) {
    for (XEvent event; XPending(display) > 0;) XNextEvent(display, &event);
    poll(&connection, 1, 100);
  }
  XDestroyWindow(display, window);
  XCloseDisplay(display);
  return 0;
}

// A stand-in for a screen-saver host or a settings window with a preview pane: one top-level
// window of a given size. It prints the window's id ("0x1a00001 27262977") once the window is
// mapped, then obeys lines on standard input ("resize W H", "destroy") and ends by destroying
// the window on "destroy", SIGTERM or SIGINT. End of input is not a command: it only stops the
// reading.
//
//   stand_in_host WIDTH HEIGHT [TITLE [input-only]]
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

volatile std::sig_atomic_t g_end = 0;

void OnSignal(int) {
  g_end = 1;
}

bool ParseSize(const char* text, int& out) {
  char* end = nullptr;
  long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 1 || value > 10000) return false;
  out = static_cast<int>(value);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int width = 0, height = 0;
  if (argc < 3 || !ParseSize(argv[1], width) || !ParseSize(argv[2], height)) {
    std::fprintf(stderr, "usage: stand_in_host WIDTH HEIGHT [TITLE] (sizes 1 to 10000)\n");
    return 2;
  }
  const char* title = argc > 3 ? argv[3] : "Stand-in host";
  const bool input_only = argc > 4 && std::strcmp(argv[4], "input-only") == 0;
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

  const int screen = DefaultScreen(display);
  // A grey background, so that whatever a client draws into the window stands out from it.
  Window window = input_only
                      ? XCreateWindow(display, RootWindow(display, screen), 0, 0,
                                      static_cast<unsigned>(width), static_cast<unsigned>(height),
                                      0, 0, InputOnly, CopyFromParent, 0, nullptr)
                      : XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0,
                                            static_cast<unsigned>(width),
                                            static_cast<unsigned>(height), 0, 0, 0x808080);
  XStoreName(display, window, title);
  XSelectInput(display, window, StructureNotifyMask);
  XMapWindow(display, window);
  for (XEvent event; !g_end;) {
    XNextEvent(display, &event);
    if (event.type == MapNotify) break;
  }
  std::printf("0x%lx %lu\n", window, window);
  std::fflush(stdout);

  bool reading = true;
  std::string pending;
  const int connection = ConnectionNumber(display);
  while (!g_end) {
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
    }
    pollfd fds[2] = {{connection, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    if (poll(fds, reading ? 2 : 1, 100) <= 0 || !reading || fds[1].revents == 0) continue;
    char buffer[256];
    ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
    if (got <= 0) {
      reading = false;
      continue;
    }
    pending.append(buffer, static_cast<size_t>(got));
    for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
      std::string line = pending.substr(0, end);
      pending.erase(0, end + 1);
      int w = 0, h = 0;
      char word_w[32] = {}, word_h[32] = {};
      if (line == "destroy") {
        g_end = 1;
      } else if (std::sscanf(line.c_str(), "resize %31s %31s", word_w, word_h) == 2 &&
                 ParseSize(word_w, w) && ParseSize(word_h, h)) {
        XResizeWindow(display, window, static_cast<unsigned>(w), static_cast<unsigned>(h));
        XSync(display, False);
        std::printf("resized %d %d\n", w, h);
        std::fflush(stdout);
      } else {
        std::fprintf(stderr, "stand_in_host: unknown command \"%s\"\n", line.c_str());
      }
    }
  }
  XDestroyWindow(display, window);
  XSync(display, False);
  std::printf("destroyed\n");
  std::fflush(stdout);
  XCloseDisplay(display);
  return 0;
}

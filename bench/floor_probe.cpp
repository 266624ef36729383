// What a saver's frames must cost at the least, whatever draws them: a process that wakes on the
// same 60-a-second grid as the saver and, at each wake-up, sends an X server PARTS rectangles of
// PIXELS pixels in all through shared memory, as the saver does (copied into the shared image
// first, the last asking for the server's completion, events read), and nothing else:
//
//   floor_probe                   wake up 60 times a second and do nothing
//   floor_probe PARTS PIXELS      and send that much each time, to a window covering the screen
//
// bench/cost_breakdown.sh runs it with the saver's own pixels and parts a frame and measures it,
// and the X server, the same way as the saver.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr long kPeriodNs = 1000000000L / 60;

void SleepUntilNext(timespec* due) {
  due->tv_nsec += kPeriodNs;
  if (due->tv_nsec >= 1000000000L) {
    due->tv_nsec -= 1000000000L;
    ++due->tv_sec;
  }
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, due, nullptr) != 0) {
  }
}

}  // namespace

int main(int argc, char** argv) {
  timespec due{};
  clock_gettime(CLOCK_MONOTONIC, &due);
  if (argc == 1) {
    for (;;) SleepUntilNext(&due);
  }
  if (argc != 3) {
    std::fprintf(stderr, "usage: floor_probe [PARTS PIXELS]\n");
    return 2;
  }
  const int parts = std::atoi(argv[1]);
  const long pixels = std::atol(argv[2]);
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr || parts < 1 || pixels < parts || !XShmQueryExtension(display)) {
    std::fprintf(stderr, "floor_probe: no X display with shared memory, or a bad size\n");
    return 1;
  }
  const int screen = DefaultScreen(display);
  const int w = DisplayWidth(display, screen);
  const int h = DisplayHeight(display, screen);
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  const Window window =
      XCreateWindow(display, RootWindow(display, screen), 0, 0, w, h, 0, CopyFromParent,
                    InputOutput, CopyFromParent, CWOverrideRedirect, &attributes);
  XSelectInput(display, window, KeyPressMask | PointerMotionMask);
  XMapWindow(display, window);
  XShmSegmentInfo segment{};
  XImage* image = XShmCreateImage(display, DefaultVisual(display, screen),
                                  DefaultDepth(display, screen), ZPixmap, nullptr, &segment, w, h);
  segment.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(image->bytes_per_line) * h,
                         IPC_CREAT | 0600);
  segment.shmaddr = image->data = static_cast<char*>(shmat(segment.shmid, nullptr, 0));
  XShmAttach(display, &segment);
  XSync(display, False);
  shmctl(segment.shmid, IPC_RMID, nullptr);
  const GC gc = XCreateGC(display, window, 0, nullptr);
  const int completion = XShmGetEventBase(display) + ShmCompletion;

  // Square parts of the size that gives the pixels, spread over the screen and moving.
  int side = 1;
  while (static_cast<long>(side) * side * parts < pixels) ++side;
  if (side > w || side > h) side = std::min(w, h);
  std::vector<uint32_t> scene(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < scene.size(); ++i) scene[i] = static_cast<uint32_t>(i * 2654435761u);
  bool server_has_read = true;
  for (long frame = 0;; ++frame) {
    SleepUntilNext(&due);
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == completion) server_has_read = true;
    }
    if (!server_has_read) continue;
    for (int part = 0; part < parts; ++part) {
      const int x = static_cast<int>((part * 97 + frame) % (w - side + 1));
      const int y = static_cast<int>((part * 61 + frame / 2) % (h - side + 1));
      for (int row = y; row < y + side; ++row) {
        std::memcpy(image->data + static_cast<ptrdiff_t>(row) * image->bytes_per_line + x * 4,
                    &scene[static_cast<size_t>(row) * w + x], static_cast<size_t>(side) * 4);
      }
      const bool last = part + 1 == parts;
      XShmPutImage(display, window, gc, image, x, y, x, y, side, side, last);
      if (last) server_has_read = false;
    }
    XFlush(display);
  }
}

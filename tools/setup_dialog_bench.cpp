// Time from constructing the Control Box to its first paint, with the font list skipped (fast
// start) and with it loaded from the desktop's fonts. Prints the median of several openings.
//   setup_dialog_bench [runs]        (QT_QPA_PLATFORM=offscreen for a headless run)
// Whole process: from starting `PROGRAM /c` to its window mapped on the X display in DISPLAY,
// each start on a fresh settings file holding the first-run values.
//   setup_dialog_bench --process PROGRAM [runs]
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fakes/memory_store.h"
#include "settings/ini_file_store.h"
#include "settings/key_table.h"
#include "setup/setup_dialog.h"

// Last: Xlib's macros (None, Bool, Status) clash with Qt's headers.
#include <X11/Xlib.h>

namespace {

// Notes the moment the watched window is first painted.
class FirstPaint : public QObject {
 public:
  bool painted = false;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) painted = true;
    return QObject::eventFilter(watched, event);
  }
};

double OpenOnce(bool load_fonts, int* font_count) {
  larkspill::MemoryStore store;
  larkspill::WriteFirstRunValues(store);
  store.SaveSetting(larkspill::kAppName, "Startup", "CheckFont", load_fonts ? "0" : "1");
  QElapsedTimer timer;
  timer.start();
  larkspill::SetupDialog dialog(
      store, std::string(),
      [font_count] {
        QStringList fonts = larkspill::ScreenFontFamilies();
        *font_count = static_cast<int>(fonts.size());
        return fonts;
      },
      [](const QString&) {});
  FirstPaint watch;
  dialog.installEventFilter(&watch);
  dialog.show();
  while (!watch.painted) QApplication::processEvents(QEventLoop::AllEvents, 5);
  const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
  dialog.removeEventFilter(&watch);
  return ms;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Starts `program /c` on a fresh settings file and returns the milliseconds until a top-level
// window of it is mapped (no window manager: the dialog is a child of the root), or -1.
double ProcessOnce(Display* x, const char* program, bool load_fonts) {
  char folder[] = "/tmp/larkspill-dialog-bench.XXXXXX";
  if (mkdtemp(folder) == nullptr) return -1;
  const std::filesystem::path dir(folder);
  std::filesystem::create_directories(dir / "run");
  std::filesystem::permissions(dir / "run", std::filesystem::perms::owner_all);
  {
    larkspill::IniFileStore store(dir / "config" / "larkspill" / "settings.ini");
    larkspill::WriteFirstRunValues(store);
    store.SaveSetting(larkspill::kAppName, "Startup", "CheckFont", load_fonts ? "0" : "1");
  }
  const Window root = DefaultRootWindow(x);
  XSelectInput(x, root, SubstructureNotifyMask);
  XSync(x, True);
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (dir / "run").c_str(), 1);
    execl(program, program, "/c", static_cast<char*>(nullptr));
    _exit(127);
  }
  double ms = -1;
  while (child > 0 && ms < 0) {
    while (XPending(x) == 0) {
      pollfd readable{ConnectionNumber(x), POLLIN, 0};
      if (poll(&readable, 1, 10000) <= 0) break;
    }
    if (XPending(x) == 0) break;
    XEvent event;
    XNextEvent(x, &event);
    if (event.type == MapNotify && event.xmap.event == root && !event.xmap.override_redirect) {
      ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
               .count();
    }
  }
  XSelectInput(x, root, NoEventMask);
  if (child > 0) {
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
  }
  std::filesystem::remove_all(dir);
  return ms;
}

int RunProcesses(const char* program, int runs) {
  Display* x = XOpenDisplay(nullptr);
  if (x == nullptr) {
    std::fprintf(stderr, "setup_dialog_bench: no X display\n");
    return 1;
  }
  ProcessOnce(x, program, false);  // the first start also reads the program and Qt from disk
  for (bool load_fonts : {false, true}) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
      const double ms = ProcessOnce(x, program, load_fonts);
      if (ms < 0) {
        std::fprintf(stderr, "setup_dialog_bench: %s /c mapped no window\n", program);
        return 1;
      }
      times.push_back(ms);
    }
    std::printf("start of %s /c to window mapped, %-22s median %7.2f ms  min %7.2f ms  (%d runs)\n",
                program, load_fonts ? "with the font list:" : "fast start (no fonts):",
                Median(times), *std::min_element(times.begin(), times.end()), runs);
  }
  XCloseDisplay(x);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2 && std::strcmp(argv[1], "--process") == 0)
    return RunProcesses(argv[2], argc > 3 ? std::max(1, std::atoi(argv[3])) : 15);
  QApplication app(argc, argv);
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  int font_count = 0;
  // The first opening of a process pays for the style, the widgets' first use and the desktop's
  // default font; the first font list then pays for reading the whole font database.
  const double first_open = OpenOnce(false, &font_count);
  const double first_fonts = OpenOnce(true, &font_count);
  for (bool load_fonts : {false, true}) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) times.push_back(OpenOnce(load_fonts, &font_count));
    std::printf("open to first paint, %-22s median %7.2f ms  min %7.2f ms  (%d runs)\n",
                load_fonts ? "with the font list:" : "fast start (no fonts):", Median(times),
                *std::min_element(times.begin(), times.end()), runs);
  }
  std::printf("first opening in the process (fast start): %.2f ms\n", first_open);
  std::printf("first opening with the font list: %.2f ms (%d fonts)\n", first_fonts, font_count);
  return 0;
}

// Time from constructing the Control Box to its first paint, with the font list skipped (fast
// start) and with it loaded from the desktop's fonts. Prints the median of several openings.
//   setup_dialog_bench [runs]        (QT_QPA_PLATFORM=offscreen for a headless run)
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "settings/key_table.h"
#include "settings/memory_store.h"
#include "setup/setup_dialog.h"

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
  larkspill::SetRegistry(store);
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

}  // namespace

int main(int argc, char** argv) {
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

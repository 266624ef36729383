// Opens the Control Box on a store holding the first-run values, for looking at it by hand:
//   setup_dialog_demo [--assets DIR]               runs the dialog on the current display
//   setup_dialog_demo [--assets DIR] --grab OUT    writes settings.png, text.png and about.png
#include <QApplication>
#include <QMessageBox>
#include <QTabWidget>
#include <QTimer>
#include <cstring>
#include <string>

#include "fakes/memory_store.h"
#include "settings/key_table.h"
#include "setup/run_settings_dialog.h"
#include "setup/setup_dialog.h"

int main(int argc, char** argv) {
  std::string assets = larkspill::DefaultDialogAssetDir();
  const char* grab = nullptr;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--assets") == 0)
      assets = argv[++i];
    else if (std::strcmp(argv[i], "--grab") == 0)
      grab = argv[++i];
  }
  larkspill::MemoryStore store;
  larkspill::WriteFirstRunValues(store);
  if (grab == nullptr) return larkspill::RunSettingsDialog(argc, argv, store, assets);

  const QString dir = QString::fromLocal8Bit(grab);
  QApplication app(argc, argv);
  larkspill::SetupDialog dialog(store, assets, larkspill::ScreenFontFamilies,
                                [](const QString&) {});
  dialog.show();
  auto* tabs = dialog.findChild<QTabWidget*>(QStringLiteral("pageTabs"));
  QApplication::processEvents();
  dialog.grab().save(dir + QStringLiteral("/settings.png"));
  tabs->setCurrentIndex(1);
  QApplication::processEvents();
  dialog.grab().save(dir + QStringLiteral("/text.png"));
  QTimer::singleShot(200, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      box->grab().save(dir + QStringLiteral("/about.png"));
      box->accept();
    }
  });
  QMetaObject::invokeMethod(dialog.findChild<QWidget*>(QStringLiteral("aboutButton")), "click");
  return 0;
}

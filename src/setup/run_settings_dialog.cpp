#include "setup/run_settings_dialog.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>

#include "setup/setup_dialog.h"

namespace larkspill {

std::string DefaultDialogAssetDir() {
#ifdef LARKSPILL_DIALOG_ASSET_DIR
  return LARKSPILL_DIALOG_ASSET_DIR;
#else
  return {};
#endif
}

int RunSettingsDialog(int& argc, char** argv, SettingsStore& store, const std::string& asset_dir) {
  QApplication app(argc, argv);
  app.setApplicationName(QStringLiteral("Larkspill"));
  SetupDialog dialog(store, asset_dir, ScreenFontFamilies, OpenUrlOnDesktop);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    dialog.move(area.center() - dialog.rect().center());
  }
  dialog.show();
  app.exec();
  return 0;
}

}  // namespace larkspill

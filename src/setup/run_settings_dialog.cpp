#include "setup/run_settings_dialog.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>

#include <cstdio>

#include "setup/setup_dialog.h"
#include "setup/single_dialog.h"

namespace larkspill {

std::string DefaultDialogAssetDir() {
#ifdef LARKSPILL_DIALOG_ASSET_DIR
  return LARKSPILL_DIALOG_ASSET_DIR;
#else
  return {};
#endif
}

int RunSettingsDialog(int& argc, char** argv, SettingsStore& store, const std::string& asset_dir,
                      const std::filesystem::path& runtime_dir) {
  SingleDialog single(runtime_dir);
  switch (single.Claim()) {
    case SingleDialog::Start::AlreadyOpen:
      return 0;
    case SingleDialog::Start::NoAnswer:
      std::fprintf(stderr, "larkspill: a settings dialog is already open but does not answer\n");
      return 1;
    case SingleDialog::Start::Open:
      break;
  }
  QApplication app(argc, argv);
  app.setApplicationName(QStringLiteral("Larkspill"));
  SetupDialog dialog(store, asset_dir, ScreenFontFamilies, OpenUrlOnDesktop);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    dialog.move(area.center() - dialog.rect().center());
  }
  single.Listen(&dialog, [&dialog] { dialog.BringToFront(); });
  dialog.show();
  app.exec();
  return 0;
}

}  // namespace larkspill

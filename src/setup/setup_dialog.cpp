#include "setup/setup_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QUrl>
#include <utility>
#include <vector>

#include "platform/fonts/font_lookup.h"
#include "settings/key_table.h"
#include "setup/dialog_pages.h"
#include "setup/dialog_widgets.h"

namespace larkspill {

namespace {

constexpr int kClientWidth = 594;
constexpr int kClientHeight = 406;
constexpr int kButtonBarHeight = 40;

const char* const kCaption = "Larkspill Control Box  Freeware for personal use";

}  // namespace

QStringList ScreenFontFamilies() {
  // fontconfig's family names, not the toolkit's: Qt names a family that several foundries make
  // "Family [foundry]", a name the saver's lookup would not know.
  QStringList families;
  for (const std::string& family : FontFamilies()) families.append(QString::fromStdString(family));
  return families;
}

QString PageUrl(const std::string& dir, const char* page) {
  return QUrl::fromLocalFile(QString::fromStdString(dir) + QLatin1Char('/') +
                             QString::fromLatin1(page))
      .toString(QUrl::FullyEncoded);
}

void OpenUrlOnDesktop(const QString& url) {
  QDesktopServices::openUrl(QUrl(url));
}

SetupDialog::SetupDialog(SettingsStore& store, std::string asset_dir, FontSource fonts,
                         UrlOpener open_url, QWidget* parent)
    : QDialog(parent),
      store_(store),
      asset_dir_(std::move(asset_dir)),
      fonts_(std::move(fonts)),
      open_url_(std::move(open_url)) {
  setObjectName(QStringLiteral("Setup"));
  setWindowTitle(QString::fromLatin1(kCaption));
  setFixedSize(kClientWidth, kClientHeight);
  setFont(FittedFont(font()));
  BuildControls();
  BindControls();
  ConnectButtons();
  ShowStore();
  // A settings file the user protected is shown but never written: said once, beside the tabs.
  if (const std::string why = store_.WhyCannotSave(); !why.empty()) {
    tabs_->setCornerWidget(Make<QLabel>(
        tabs_, "cannotSaveNote", "Changes cannot be saved: " + QString::fromStdString(why) + "."));
  }
}

void SetupDialog::BringToFront() {
  ShowStore();
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
}

void SetupDialog::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) ShowStore();
}

QString SetupDialog::AboutText(const QString& home_page) {
  const QStringList lines = {
      QStringLiteral("Larkspill 3.4"),
      QString(),
      QStringLiteral("Developed by Larkspill Software"),
      QString(),
      QStringLiteral("Copyright (c) 2026 Larkspill Software.  All rights reserved."),
      QString(),
      QStringLiteral("Check our website for the current price"),
      QString(),
      QStringLiteral("Our email address: support@larkspill.example.org"),
      QStringLiteral("Our website address: ") + home_page,
      QString(),
      QStringLiteral("Larkspill Software"),
      QStringLiteral("12 Meadow Lane"),
      QStringLiteral("Fernhollow"),
      QStringLiteral("Exampleshire EX1 2AB"),
  };
  QString text;
  for (const QString& line : lines) text += line + QStringLiteral("\r\n");
  return text;
}

// ---------------------------------------------------------------------------------------------
// Controls

void SetupDialog::BuildControls() {
  tabs_ = Make<QTabWidget>(this, "pageTabs");
  tabs_->setGeometry(4, 4, kClientWidth - 8, kClientHeight - kButtonBarHeight - 8);
  settings_ = new SettingsPage(tabs_, asset_dir_);
  text_ = new TextPage(tabs_);
  tabs_->addTab(settings_, QStringLiteral("Settings"));
  tabs_->addTab(text_, QStringLiteral("Text"));
  BuildButtonBar();
  SetTabOrder();
}

// Tab runs through each page in reading order: the frames column by column, the controls of a
// frame top to bottom and left to right, then the buttons, then back to the page tabs. The
// hidden page's controls are passed by.
void SetupDialog::SetTabOrder() {
  const SettingsPage& s = *settings_;
  const TextPage& t = *text_;
  const std::vector<QWidget*> chain = {
      tabs_->tabBar(),
      // "Settings": scenes, clock; sound, mouse, water speed; creatures; power saving, monitors.
      s.scene1_in_rotation, s.scene2_in_rotation, s.scene_minutes, s.show_clock, s.clock_corner[0],
      s.clock_corner[2], s.clock_corner[1], s.clock_corner[3], s.clock_font_size, s.water_sound_on,
      s.water_sound_volume, s.bird_song_on, s.bird_song_volume, s.jungle_sound_on,
      s.jungle_sound_volume, s.eagle_call_on, s.eagle_call_volume, s.sound_off_after,
      s.mouse_sensitivity, s.water_frame_delay, s.show_flock, s.flock_rest, s.show_single_birds,
      s.bird_step_delay, s.butterfly_count, s.show_first_butterflies, s.show_second_butterflies,
      s.keep_monitor_on, s.span_monitors,
      // "Text": message, font.
      t.show_user_message, t.user_message, t.fast_start, t.font_face, t.message_font_size,
      // The button bar.
      website_button_, help_button_, about_button_, ok_button_};
  for (size_t i = 1; i < chain.size(); ++i) setTabOrder(chain[i - 1], chain[i]);
}

void SetupDialog::BuildButtonBar() {
  auto* bar = Make<QFrame>(this, "buttonBar");
  bar->setFrameStyle(QFrame::Panel | QFrame::Raised);
  bar->setGeometry(0, kClientHeight - kButtonBarHeight, kClientWidth, kButtonBarHeight);
  button_bar_ = bar;
  const struct {
    QPushButton** button;
    const char* name;
    const char* caption;
    const char* tooltip;
    int width;
  } buttons[] = {
      {&website_button_, "websiteButton", "&Go to our website", nullptr, 150},
      {&help_button_, "helpButton", "&HELP", "Opens A Help File", 96},
      {&about_button_, "aboutButton", "&About", "Version Number ", 96},
      {&ok_button_, "okButton", "&OK", nullptr, 96},
  };
  int total = 0;
  for (const auto& b : buttons) total += b.width;
  const int margin = 8;
  const int gap = (kClientWidth - 2 * margin - total) / 3;
  int x = margin;
  for (const auto& b : buttons) {
    auto* button = Make<QPushButton>(bar, b.name, QString::fromLatin1(b.caption));
    // Return in a text box must not press a button behind the user's back.
    button->setAutoDefault(false);
    if (b.tooltip != nullptr) button->setToolTip(QString::fromLatin1(b.tooltip));
    button->setGeometry(x, (kButtonBarHeight - 26) / 2, b.width, 26);
    *b.button = button;
    x += b.width + gap;
  }
}

void SetupDialog::ConnectButtons() {
  connect(ok_button_, &QPushButton::clicked, this, &SetupDialog::close);
  connect(website_button_, &QPushButton::clicked, this, &SetupDialog::OpenHomePage);
  connect(help_button_, &QPushButton::clicked, this, &SetupDialog::OpenSupportPage);
  connect(about_button_, &QPushButton::clicked, this, &SetupDialog::ShowAbout);
}

// ---------------------------------------------------------------------------------------------
// Commands

void SetupDialog::OpenHomePage() {
  Navigate(PageUrl(asset_dir_, kHomePage));
}
void SetupDialog::OpenSupportPage() {
  Navigate(PageUrl(asset_dir_, kSupportPage));
}

void SetupDialog::ShowAbout() {
  QMessageBox about(QMessageBox::NoIcon, QStringLiteral("Larkspill"),
                    AboutText(PageUrl(asset_dir_, kHomePage)), QMessageBox::Ok, this);
  about.setObjectName(QStringLiteral("AboutBox"));
  about.setTextFormat(Qt::PlainText);
  about.exec();
}

void SetupDialog::Navigate(const QString& url) {
  if (open_url_) open_url_(url);
}

}  // namespace larkspill

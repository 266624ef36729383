#include "setup/setup_dialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFile>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyleFactory>
#include <QStyleOptionFocusRect>
#include <QTabWidget>
#include <QUrl>
#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

#include "platform/display/font_lookup.h"
#include "settings/key_table.h"

namespace larkspill {

namespace {

constexpr int kClientWidth = 594;
constexpr int kClientHeight = 406;
constexpr int kButtonBarHeight = 40;

const char* const kCaption = "Larkspill Control Box  Freeware for personal use";

// The page is laid out for a desktop font of about 8 points, the size whose widest labels (those
// with a gap for a control) just fit their frames. A larger desktop font is brought down, in the
// same family, to the largest size at which they fit, so no label is cut off.
QFont FittedFont(QFont font) {
  const struct {
    const char* text;
    int width;
  } budgets[] = {
      {"Every                   Minutes", 146},
      {"Turn sound off after:                    min.", 212},
      {"every                       seconds", 158},
      {"Set scroll-through time:", 146},
  };
  const auto fits = [&budgets](const QFont& f) {
    const QFontMetrics metrics(f);
    if (metrics.height() > 15) return false;
    for (const auto& budget : budgets) {
      if (metrics.horizontalAdvance(QString::fromLatin1(budget.text)) > budget.width) return false;
    }
    return true;
  };
  if (fits(font)) return font;
  QFont smaller = font;
  if (font.pointSizeF() > 0) {
    for (double points = font.pointSizeF() - 0.5; points >= 6.0; points -= 0.5) {
      smaller.setPointSizeF(points);
      if (fits(smaller)) return smaller;
    }
  } else if (font.pixelSize() > 0) {
    for (int pixels = font.pixelSize() - 1; pixels >= 8; --pixels) {
      smaller.setPixelSize(pixels);
      if (fits(smaller)) return smaller;
    }
  }
  return smaller;
}

// Creates a named control. Controls inside a frame get the plain font back, since the frame's
// own font is bold for its caption.
template <typename W, typename... Args>
W* Make(QWidget* parent, const char* name, Args&&... args) {
  auto* w = new W(std::forward<Args>(args)..., parent);
  w->setObjectName(QString::fromLatin1(name));
  if (qobject_cast<QGroupBox*>(parent) != nullptr) {
    QFont plain = w->font();
    plain.setBold(false);
    w->setFont(plain);
  }
  return w;
}

QGroupBox* MakeFrame(QWidget* parent, const char* name, const char* caption, int x, int y, int w,
                     int h) {
  auto* frame = Make<QGroupBox>(parent, name, QString::fromLatin1(caption));
  QFont bold = frame->font();
  bold.setBold(true);
  frame->setFont(bold);
  frame->setGeometry(x, y, w, h);
  return frame;
}

// A label that keeps its runs of spaces: some labels leave a gap for a control to sit in.
QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, int x, int y) {
  auto* label = Make<QLabel>(parent, name);
  label->setTextFormat(Qt::PlainText);
  label->setText(QString::fromLatin1(text));
  label->adjustSize();
  label->move(x, y);
  return label;
}

QCheckBox* MakeCheck(QWidget* parent, const char* name, const char* text, int x, int y) {
  auto* box = Make<QCheckBox>(parent, name, QString::fromLatin1(text));
  box->adjustSize();
  box->move(x, y);
  return box;
}

// The desktop's style with three changes for this dialog's small controls: a small square
// scroll-bar thumb (the bars are short and their page step is 1, and a long thumb would leave the
// short water-speed bar almost no travel), a focus frame round the scroll bar that the keys move
// (most styles draw none on a scroll bar), and a font list that drops down as a scrolling list of
// a few entries instead of covering the screen.
class DialogStyle : public QProxyStyle {
 public:
  using QProxyStyle::QProxyStyle;
  int pixelMetric(PixelMetric metric, const QStyleOption* option,
                  const QWidget* widget) const override {
    if (metric == PM_ScrollBarSliderMin) {
      return QProxyStyle::pixelMetric(PM_ScrollBarExtent, option, widget);
    }
    return QProxyStyle::pixelMetric(metric, option, widget);
  }
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returned) const override {
    if (hint == SH_ComboBox_Popup) return 0;
    return QProxyStyle::styleHint(hint, option, widget, returned);
  }
  void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                          QPainter* painter, const QWidget* widget) const override {
    QProxyStyle::drawComplexControl(control, option, painter, widget);
    if (control == CC_ScrollBar && (option->state & State_HasFocus)) {
      QStyleOptionFocusRect focus;
      focus.QStyleOption::operator=(*option);
      focus.rect = option->rect.adjusted(1, 1, -1, -1);
      proxy()->drawPrimitive(PE_FrameFocusRect, &focus, painter, widget);
    }
  }
};

// One style for every dialog, owned by the application so that it outlives the controls.
QStyle* DialogControlStyle() {
  static QPointer<QStyle> style;
  if (style.isNull()) {
    // Built on the style the application uses, as set by the desktop or a -style option.
    style = new DialogStyle(QStyleFactory::create(QApplication::style()->name()));
    style->setParent(QCoreApplication::instance());
  }
  return style;
}

// A scroll bar that answers the keys the way they point: Left, Up and Page Up move the thumb one
// step (a page is one step here) towards the left or top end, Right, Down and Page Down towards the
// other end, Home and End to the two ends. Qt's own bars ignore Page Up and Page Down and would
// step an upside-down bar the wrong way. The keys go through the same value change as the mouse.
class DialogBar : public QScrollBar {
 public:
  DialogBar(Qt::Orientation orientation, QWidget* parent) : QScrollBar(orientation, parent) {
    // In the Tab chain, so the keys reach it.
    setFocusPolicy(Qt::StrongFocus);
  }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    // The left or top end holds the minimum, unless the bar is drawn upside down.
    const bool start_is_minimum = !invertedAppearance();
    const SliderAction back = start_is_minimum ? SliderSingleStepSub : SliderSingleStepAdd;
    const SliderAction on = start_is_minimum ? SliderSingleStepAdd : SliderSingleStepSub;
    SliderAction action = SliderNoAction;
    if ((event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
      switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Up:
        case Qt::Key_PageUp:
          action = back;
          break;
        case Qt::Key_Right:
        case Qt::Key_Down:
        case Qt::Key_PageDown:
          action = on;
          break;
        case Qt::Key_Home:
          action = start_is_minimum ? SliderToMinimum : SliderToMaximum;
          break;
        case Qt::Key_End:
          action = start_is_minimum ? SliderToMaximum : SliderToMinimum;
          break;
        default:
          break;
      }
    }
    if (action == SliderNoAction) {
      QScrollBar::keyPressEvent(event);
      return;
    }
    triggerAction(action);
    event->accept();
  }
};

QScrollBar* MakeBar(QWidget* parent, const char* name, Qt::Orientation orientation, int minimum,
                    int maximum) {
  auto* bar = Make<DialogBar>(parent, name, orientation);
  bar->setStyle(DialogControlStyle());
  bar->setRange(minimum, maximum);
  bar->setSingleStep(1);
  bar->setPageStep(1);
  bar->setValue(minimum);
  return bar;
}

// A vertical bar whose largest value is at the top. Qt draws and drags such a bar the right way
// up but still steps it by arrow and page clicks as if the smallest value were on top; this bar
// turns those steps round, so a click moves the thumb towards the place clicked.
class UpsideDownBar : public DialogBar {
 public:
  explicit UpsideDownBar(QWidget* parent) : DialogBar(Qt::Vertical, parent) {
    setInvertedAppearance(true);
    // A scroll bar normally turns its wheel round (a turn up lowers the value); with the largest
    // value on top, it must raise it.
    setInvertedControls(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    connect(this, &QAbstractSlider::actionTriggered, this, [this](int action) {
      if (!mouse_down_) return;
      switch (action) {
        case SliderSingleStepAdd:
        case SliderSingleStepSub:
        case SliderPageStepAdd:
        case SliderPageStepSub:
          setSliderPosition(2 * value() - sliderPosition());
          break;
        default:
          break;
      }
    });
  }

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    mouse_down_ = true;
    QScrollBar::mousePressEvent(event);
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    QScrollBar::mouseReleaseEvent(event);
    mouse_down_ = false;
  }

 private:
  bool mouse_down_ = false;
};

QLineEdit* MakeCompanion(QWidget* parent, const char* name) {
  auto* box = Make<QLineEdit>(parent, name);
  box->setReadOnly(true);
  box->setAlignment(Qt::AlignRight);
  // It only shows its bar's value, so Tab passes it by.
  box->setFocusPolicy(Qt::NoFocus);
  return box;
}

// Places `control` over the run of spaces in `label` that follows the text `before`, centred
// on the label's line.
void PlaceInGap(QWidget* control, const QLabel* label, const char* before, int spaces, int height) {
  const QFontMetrics metrics = label->fontMetrics();
  const int gap_x = label->x() + metrics.horizontalAdvance(QString::fromLatin1(before));
  const int gap_w = metrics.horizontalAdvance(QString(spaces, QLatin1Char(' ')));
  const int y = label->y() + (label->height() - height) / 2;
  control->setGeometry(gap_x + 2, y, std::max(gap_w - 4, 24), height);
}

QComboBox* MakePickList(QWidget* parent, const char* name, const QStringList& entries) {
  auto* combo = Make<QComboBox>(parent, name);
  combo->setEditable(true);
  // Typed text is never written: only an entry picked from the list is. Without a completer
  // and an insert policy, Return in the edit part neither adds an entry nor picks one.
  combo->setInsertPolicy(QComboBox::NoInsert);
  combo->setCompleter(nullptr);
  combo->addItems(entries);
  return combo;
}

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
        tabs_, "lblCannotSave", "Changes cannot be saved: " + QString::fromStdString(why) + "."));
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
  tabs_ = Make<QTabWidget>(this, "SSTab1");
  tabs_->setGeometry(4, 4, kClientWidth - 8, kClientHeight - kButtonBarHeight - 8);
  tabs_->addTab(BuildSettingsPage(), QStringLiteral("Settings"));
  tabs_->addTab(BuildTextPage(), QStringLiteral("Text"));
  BuildButtonBar();
  SetTabOrder();
}

// Tab runs through each page in reading order: the frames column by column, the controls of a
// frame top to bottom and left to right, then the buttons, then back to the page tabs. The
// hidden page's controls are passed by.
void SetupDialog::SetTabOrder() {
  const std::vector<QWidget*> chain = {
      tabs_->tabBar(),
      // "Settings": scenes, clock; sound, mouse, water speed; creatures; power saving.
      chkwf01, chkwf02, hsbScroll, chkClock, optPosClock[0], optPosClock[2], optPosClock[1],
      optPosClock[3], txtFontSize, chkSoundWater, hsbWaterVolume, chkSoundBirds, hsbBirdsVolume,
      chkSoundJungle, hsbJungleVolume, chkSoundEagle, hsbEagleVolume, cboSoundOff, hsbMouseS,
      vsbWaterSpeed, chkBirds, cboBirds, chkSingleBird, hsbBirdSpeed, hsbButter, chkButterfly1,
      chkButterfly2, chkPowerSave,
      // "Text": message, font.
      chkShowMessage, txtMessage, chkFonts, cboFontsScreen, txtFontSizeMsg,
      // The button bar.
      cmdWeb, cmdHelp, cmdAbout, cmdOK};
  for (size_t i = 1; i < chain.size(); ++i) setTabOrder(chain[i - 1], chain[i]);
}

QLabel* SetupDialog::MakePicture(QWidget* parent, const char* name, const char* file, int x, int y,
                                 int w, int h) {
  auto* picture = Make<QLabel>(parent, name);
  picture->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  picture->setLineWidth(1);
  picture->setGeometry(x, y, w + 2, h + 2);
  if (!asset_dir_.empty()) {
    const QString path =
        QString::fromStdString(asset_dir_) + QLatin1Char('/') + QString::fromLatin1(file);
    QPixmap pixmap;
    // A missing or unreadable picture leaves the plain frame.
    if (QFile::exists(path) && pixmap.load(path)) picture->setPixmap(pixmap);
  }
  return picture;
}

QWidget* SetupDialog::BuildSettingsPage() {
  auto* page = new QWidget(tabs_);
  page->setObjectName(QStringLiteral("SettingsPage"));

  // Scenes and their scroll-through time.
  QGroupBox* frame1 = MakeFrame(page, "Frame1", "Choose the Waterfall", 4, 4, 162, 156);
  chkwf01 = MakeCheck(frame1, "chkwf01", "1", 36, 29);
  MakePicture(frame1, "Picture2", "dialog-wf1.bmp", 76, 22, 40, 30);
  chkwf02 = MakeCheck(frame1, "chkwf02", "2", 36, 65);
  MakePicture(frame1, "Picture3", "dialog-wf2.bmp", 76, 58, 40, 30);
  MakeLabel(frame1, "Label5", "Set scroll-through time:", 8, 96);
  hsbScroll = MakeBar(frame1, "hsbScroll", Qt::Horizontal, 1, 500);
  hsbScroll->setGeometry(8, 113, 146, 17);
  QLabel* label6 = MakeLabel(frame1, "Label6", "Every                   Minutes", 8, 136);
  txtScroll = MakeCompanion(frame1, "txtScroll");
  PlaceInGap(txtScroll, label6, "Every", 19, 20);

  // Clock: switch, corner and size.
  QGroupBox* frame24 = MakeFrame(page, "Frame24", "Clock", 4, 164, 162, 136);
  chkClock = MakeCheck(frame24, "chkClock", "Show Clock", 8, 20);
  chkClock->setToolTip(QStringLiteral("Show or Remove Clock"));
  QLabel* screen = MakePicture(frame24, "Picture5", "dialog-screen.bmp", 46, 42, 70, 62);
  optPosClockGroup = new QButtonGroup(this);
  optPosClockGroup->setExclusive(true);
  // Index 0 upper left, 1 lower left, 2 upper right, 3 lower right, just outside the corners.
  const int left = screen->x() - 20;
  const int right = screen->x() + screen->width() + 2;
  const int top = screen->y() - 2;
  const int bottom = screen->y() + screen->height() - 16;
  const QPoint corners[4] = {{left, top}, {left, bottom}, {right, top}, {right, bottom}};
  static const char* const kCornerNames[4] = {"Clock at upper left", "Clock at lower left",
                                              "Clock at upper right", "Clock at lower right"};
  for (int i = 0; i < 4; ++i) {
    auto* option = Make<QRadioButton>(frame24, "optPosClock");
    option->setProperty("Index", i);
    option->setGeometry(corners[i].x(), corners[i].y(), 18, 18);
    option->setAccessibleName(QString::fromLatin1(kCornerNames[i]));
    optPosClockGroup->addButton(option, i);
    optPosClock[static_cast<size_t>(i)] = option;
  }
  QLabel* label4 = MakeLabel(frame24, "Label4", "Font Size (i.e.: 16)", 8, 112);
  txtFontSize = Make<QLineEdit>(frame24, "txtFontSize");
  txtFontSize->setToolTip(QStringLiteral("Type size of font for clock"));
  txtFontSize->setGeometry(label4->x() + label4->width() + 6, 109, 34, 20);

  // Sounds and their volumes.
  QGroupBox* frame2 = MakeFrame(page, "Frame2", "Sound", 170, 4, 228, 176);
  const int bar_x = 76;
  const int bar_w = 142;
  QLabel* label1 = MakeLabel(frame2, "Label1", "Low ----- VOLUME ----- High", 0, 20);
  label1->move(std::max(4, bar_x + (bar_w - label1->width()) / 2), 20);
  const struct {
    QCheckBox** box;
    const char* box_name;
    const char* caption;
    QScrollBar** bar;
    const char* bar_name;
  } sounds[] = {
      {&chkSoundWater, "chkSoundWater", "Water", &hsbWaterVolume, "hsbWaterVolume"},
      {&chkSoundBirds, "chkSoundBirds", "Birds", &hsbBirdsVolume, "hsbBirdsVolume"},
      {&chkSoundJungle, "chkSoundJungle", "Jungle", &hsbJungleVolume, "hsbJungleVolume"},
      {&chkSoundEagle, "chkSoundEagle", "Eagle", &hsbEagleVolume, "hsbEagleVolume"},
  };
  int row_y = 39;
  for (const auto& sound : sounds) {
    *sound.box = MakeCheck(frame2, sound.box_name, sound.caption, 8, row_y);
    *sound.bar = MakeBar(frame2, sound.bar_name, Qt::Horizontal, -2500, 0);
    (*sound.bar)->setGeometry(bar_x, row_y + 1, bar_w, 17);
    row_y += 24;
  }
  QLabel* label16 =
      MakeLabel(frame2, "Label16", "Turn sound off after:                    min.", 8, 146);
  cboSoundOff =
      MakePickList(frame2, "cboSoundOff",
                   {"Never", "1",  "2",  "3",   "4",   "5",   "10",  "15",  "20",  "30",
                    "45",    "60", "90", "120", "180", "240", "300", "360", "420", "480"});
  PlaceInGap(cboSoundOff, label16, "Turn sound off after:", 20, 22);

  // Pointer movements that end the saver.
  QGroupBox* frame23 = MakeFrame(page, "Frame23", "Mouse Sensitivity", 170, 184, 136, 116);
  frame23->setToolTip(QStringLiteral("Change the sensitivity of the mouse"));
  hsbMouseS = MakeBar(frame23, "hsbMouseS", Qt::Horizontal, 2, 20);
  hsbMouseS->setGeometry(8, 48, 82, 17);
  MakeLabel(frame23, "Label32", "Light", 8, 68);
  QLabel* label33 = MakeLabel(frame23, "Label33", "Heavy", 0, 68);
  label33->move(90 - label33->width(), 68);
  txtMouseS = MakeCompanion(frame23, "txtMouseS");
  txtMouseS->setGeometry(96, 46, 32, 20);

  // Frame delay of the water animation; the slow end is at the top.
  QGroupBox* frame3 = MakeFrame(page, "Frame3", "Water Speed", 310, 184, 88, 116);
  vsbWaterSpeed = Make<UpsideDownBar>(frame3, "vsbWaterSpeed");
  vsbWaterSpeed->setStyle(DialogControlStyle());
  vsbWaterSpeed->setRange(50, 500);
  vsbWaterSpeed->setSingleStep(1);
  vsbWaterSpeed->setPageStep(1);
  vsbWaterSpeed->setValue(50);
  vsbWaterSpeed->setGeometry(14, 20, 17, 70);
  MakeLabel(frame3, "Label3", "Slow", 36, 20);
  QLabel* label2 = MakeLabel(frame3, "Label2", "Fast", 36, 0);
  label2->move(36, 90 - label2->height());
  txtWaterSpeed = MakeCompanion(frame3, "txtWaterSpeed");
  txtWaterSpeed->setGeometry(14, 93, 48, 20);

  // Birds and butterflies.
  QGroupBox* frame7 = MakeFrame(page, "Frame7", "Creatures", 402, 4, 176, 296);
  chkBirds = MakeCheck(frame7, "chkBirds", "Show Birds", 8, 22);
  QLabel* label11 = MakeLabel(frame7, "Label11", "every                       seconds", 8, 50);
  cboBirds = MakePickList(frame7, "cboBirds", {"Always", "10", "20", "30", "40", "50", "60"});
  PlaceInGap(cboBirds, label11, "every", 23, 22);
  chkSingleBird = MakeCheck(frame7, "chkSingleBird", "Single Bird", 8, 78);
  MakeLabel(frame7, "Label9", "Bird Speed", 8, 106);
  QLabel* label10 = MakeLabel(frame7, "Label10", "Fast            Slow", 8, 143);
  hsbBirdSpeed = MakeBar(frame7, "hsbBirdSpeed", Qt::Horizontal, 1, 100);
  const int speed_w = std::max(label10->width(), 100);
  hsbBirdSpeed->setGeometry(8, 124, speed_w, 17);
  TxtBirdSpeed = MakeCompanion(frame7, "TxtBirdSpeed");
  TxtBirdSpeed->setGeometry(14 + speed_w, 122, 34, 20);
  auto* line1 = Make<QFrame>(frame7, "Line1");
  line1->setFrameStyle(QFrame::HLine | QFrame::Sunken);
  line1->setGeometry(8, 166, 160, 4);
  MakeLabel(frame7, "Label12", "Number of Butterflys", 8, 178);
  hsbButter = MakeBar(frame7, "hsbButter", Qt::Horizontal, 1, 3);
  hsbButter->setGeometry(8, 197, speed_w, 17);
  txtButter = MakeCompanion(frame7, "txtButter");
  txtButter->setGeometry(14 + speed_w, 195, 34, 20);
  auto* line2 = Make<QFrame>(frame7, "Line2");
  line2->setFrameStyle(QFrame::HLine | QFrame::Sunken);
  line2->setGeometry(8, 224, 160, 4);
  chkButterfly1 = MakeCheck(frame7, "chkButterfly1", "Show Butterfly #1", 8, 236);
  chkButterfly2 = MakeCheck(frame7, "chkButterfly2", "Show Butterfly #2", 8, 262);

  chkPowerSave = MakeCheck(page, "chkPowerSave", "Disable any Power Saving settings", 8, 306);
  chkPowerSave->setToolTip(QStringLiteral(
      "If you have your Monitor set to turn off enabling this will keep that setting, otherwise "
      "the screensaver will ignore those settings"));
  return page;
}

QWidget* SetupDialog::BuildTextPage() {
  auto* page = new QWidget(tabs_);
  page->setObjectName(QStringLiteral("TextPage"));

  QGroupBox* frame5 = MakeFrame(page, "Frame5", "Show Message", 6, 4, 570, 116);
  chkShowMessage = MakeCheck(frame5, "chkShowMessage", "Show Message", 12, 24);
  MakeLabel(frame5, "Label7", "Type your message below:", 12, 56);
  txtMessage = Make<QLineEdit>(frame5, "txtMessage");
  txtMessage->setGeometry(12, 76, 546, 24);
  // A line edit keeps 32767 characters by default; a longer stored message would be cut short
  // and written back that way the moment the dialog opens.
  txtMessage->setMaxLength(std::numeric_limits<int>::max());

  QGroupBox* frame11 = MakeFrame(page, "Frame11", "Font", 6, 128, 570, 164);
  chkFonts = Make<QCheckBox>(frame11, "chkFonts");
  chkFonts->setGeometry(12, 26, 20, 20);
  auto* label35 = Make<QLabel>(frame11, "Label35");
  label35->setTextFormat(Qt::PlainText);
  label35->setWordWrap(true);
  label35->setText(QStringLiteral(
      "Loading the fonts causes a delay in starting the Control Box.  Check this box if you do "
      "not want to use a different font.  The Control Box will then load faster."));
  label35->setGeometry(38, 26, 520, 48);
  label35->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  chkFonts->setAccessibleName(label35->text());  // the box has no caption of its own
  cboFontsScreen = Make<QComboBox>(frame11, "cboFontsScreen");
  cboFontsScreen->setGeometry(12, 84, 280, 24);
  cboFontsScreen->setStyle(DialogControlStyle());
  cboFontsScreen->setMaxVisibleItems(16);
  QLabel* label8 = MakeLabel(frame11, "Label8", "Font Size (i.e.: 16)", 12, 126);
  txtFontSizeMsg = Make<QLineEdit>(frame11, "txtFontSizeMsg");
  txtFontSizeMsg->setGeometry(label8->x() + label8->width() + 6, 122, 40, 22);
  return page;
}

void SetupDialog::BuildButtonBar() {
  auto* bar = Make<QFrame>(this, "Picture1");
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
      {&cmdWeb, "cmdWeb", "&Go to our website", nullptr, 150},
      {&cmdHelp, "cmdHelp", "&HELP", "Opens A Help File", 96},
      {&cmdAbout, "cmdAbout", "&About", "Version Number ", 96},
      {&cmdOK, "cmdOK", "&OK", nullptr, 96},
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

// ---------------------------------------------------------------------------------------------
// Wiring

void SetupDialog::ConnectScrollBar(QScrollBar* bar, bool while_dragged,
                                   std::function<void()> change) {
  // The value the thumb had when a drag began, so that the end of a drag that moved it runs
  // `change` once more with the final value.
  auto drag_start = std::make_shared<int>(bar->value());
  connect(bar, &QScrollBar::sliderPressed, this, [bar, drag_start] { *drag_start = bar->value(); });
  connect(bar, &QScrollBar::valueChanged, this, [bar, while_dragged, change] {
    if (!bar->isSliderDown() || while_dragged) change();
  });
  connect(bar, &QScrollBar::sliderReleased, this, [bar, drag_start, change] {
    if (bar->value() != *drag_start) change();
  });
}

void SetupDialog::BindControls() {
  using K = Kind;
  constexpr WriteRule kRests = WriteRule::WhenThumbRests;
  // In loading order: each control that loading moves writes then, in this order.
  bindings_ = {
      {hsbButter, Key::NumButter, K::Bar, WriteRule::OnChange, txtButter},
      {hsbBirdSpeed, Key::BirdSpeed, K::Bar, WriteRule::OnChange, TxtBirdSpeed},
      {chkSingleBird, Key::SingleBird, K::Check},
      {cboBirds, Key::BirdTimer, K::PickList},
      {chkBirds, Key::Birds, K::Check},
      {chkButterfly1, Key::Butter1, K::Check},
      {chkButterfly2, Key::Butter2, K::Check},
      {hsbScroll, Key::Scroll, K::Bar, WriteRule::WithScrollSeconds, txtScroll},
      {hsbWaterVolume, Key::VolumeWater, K::Bar},
      {hsbBirdsVolume, Key::VolumeBirds, K::Bar},
      {hsbJungleVolume, Key::VolumeJungle, K::Bar},
      {hsbEagleVolume, Key::VolumeEagle, K::Bar, kRests},
      {vsbWaterSpeed, Key::WaterSpeed, K::Bar, WriteRule::OnChange, txtWaterSpeed},
      {hsbMouseS, Key::MouseSens, K::Bar, WriteRule::OnChange, txtMouseS},
      {chkSoundWater, Key::SoundWater, K::Check},
      {chkSoundBirds, Key::SoundBirds, K::Check},
      {chkSoundJungle, Key::SoundJungle, K::Check},
      {chkSoundEagle, Key::SoundEagle, K::Check},
      {chkClock, Key::Clock, K::Check},
      {txtFontSize, Key::FontSize, K::Text},
      {chkwf01, Key::Waterfall1, K::Check},
      {chkwf02, Key::Waterfall2, K::Check},
      {chkShowMessage, Key::ShowMessage, K::Check},
      {txtMessage, Key::Message, K::Text},
      {txtFontSizeMsg, Key::FontSizeMsg, K::Text},
      {cboSoundOff, Key::SoundOff, K::PickList},
      {chkPowerSave, Key::PwrSave, K::Switch},
  };
  for (const Binding& b : bindings_) {
    const Binding* binding = &b;
    const auto write = [this, binding] { Write(*binding, ValueOf(*binding)); };
    switch (b.kind) {
      case Kind::Check:
      case Kind::Switch:
        connect(static_cast<QCheckBox*>(b.control), &QCheckBox::toggled, this, write);
        break;
      case Kind::Bar:
        ConnectScrollBar(static_cast<QScrollBar*>(b.control), b.rule != WriteRule::WhenThumbRests,
                         write);
        break;
      case Kind::Text:
        connect(static_cast<QLineEdit*>(b.control), &QLineEdit::textChanged, this, write);
        break;
      case Kind::PickList: {
        auto* list = static_cast<QComboBox*>(b.control);
        connect(list, &QComboBox::activated, this, [this, binding, list](int index) {
          list->setEditText(list->itemText(index));
          Write(*binding, list->itemText(index));
        });
        break;
      }
    }
  }

  connect(chkFonts, &QCheckBox::toggled, this, &SetupDialog::FastStartClicked);
  connect(cboFontsScreen, &QComboBox::currentIndexChanged, this, &SetupDialog::FontPicked);
  connect(optPosClockGroup, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
    if (checked) CornerPicked(id);
  });
}

void SetupDialog::ConnectButtons() {
  connect(cmdOK, &QPushButton::clicked, this, &SetupDialog::close);
  connect(cmdWeb, &QPushButton::clicked, this, &SetupDialog::OpenHomePage);
  connect(cmdHelp, &QPushButton::clicked, this, &SetupDialog::OpenSupportPage);
  connect(cmdAbout, &QPushButton::clicked, this, &SetupDialog::ShowAbout);
}

// ---------------------------------------------------------------------------------------------
// Store access

void SetupDialog::Save(Key key, const QString& value) {
  WriteSetting(store_, key, value.toStdString());
}

int16_t SetupDialog::ReadNumber(Key key) {
  return ReadInteger(store_, Reader::Dialog, key);
}

QString SetupDialog::ReadString(Key key) {
  return QString::fromStdString(ReadText(store_, Reader::Dialog, key));
}

QString SetupDialog::ValueOf(const Binding& binding) {
  switch (binding.kind) {
    case Kind::Check:
    case Kind::Switch:
      return static_cast<QCheckBox*>(binding.control)->isChecked() ? QStringLiteral("1")
                                                                   : QStringLiteral("0");
    case Kind::Bar:
      return QString::number(static_cast<QScrollBar*>(binding.control)->value());
    case Kind::Text:
      return static_cast<QLineEdit*>(binding.control)->text();
    case Kind::PickList:
      return static_cast<QComboBox*>(binding.control)->currentText();
  }
  return {};
}

void SetupDialog::Write(const Binding& binding, const QString& value) {
  Save(binding.key, value);
  if (binding.companion != nullptr) binding.companion->setText(value);
  if (binding.rule == WriteRule::WithScrollSeconds)
    Save(Key::ScrollSec, QString::number(value.toInt() * 60));
}

// ---------------------------------------------------------------------------------------------
// Loading

void SetupDialog::ShowStore() {
  // Opened before the saver ever ran, the dialog shows and keeps the first-run values.
  WriteFirstRunValuesIfNew(store_);
  // Selecting the stored position writes that entry's name over the stored one, so the name is
  // read first: the font the user chose stays chosen.
  const QString font_name = ReadString(Key::FontName);
  ShowFastStart();
  for (const Binding& b : bindings_) Show(b);
  ShowClockCorner();
  if (!chkFonts->isChecked()) {
    SelectFontAt(ReadNumber(Key::SelectedFont));
    SelectFontNamed(font_name);
  }
  // Companions show their bar's value even where loading did not move the bar.
  for (const Binding& b : bindings_) {
    if (b.companion != nullptr) b.companion->setText(ValueOf(b));
  }
}

void SetupDialog::Show(const Binding& binding) {
  switch (binding.kind) {
    case Kind::Check:
      static_cast<QCheckBox*>(binding.control)->setChecked(ReadNumber(binding.key) == 1);
      break;
    case Kind::Switch: {
      // Shows what the saver will do (any value but 0 keeps the monitor on); writes nothing.
      const QSignalBlocker quiet(binding.control);
      static_cast<QCheckBox*>(binding.control)
          ->setChecked(ReadInteger(store_, Reader::Saver, binding.key) != 0);
      break;
    }
    case Kind::Bar: {
      auto* bar = static_cast<QScrollBar*>(binding.control);
      const int stored = ReadNumber(binding.key);
      const int before = bar->value();
      bar->setValue(stored);  // writes when the thumb moves
      // A stored value outside the range shows at the nearest end; when that end is where the
      // thumb already was, nothing was written, so write it here: the store then holds what the
      // dialog shows.
      if (bar->value() != stored && bar->value() == before) Write(binding, ValueOf(binding));
      break;
    }
    case Kind::Text:
      static_cast<QLineEdit*>(binding.control)->setText(ReadString(binding.key));
      break;
    case Kind::PickList: {
      // Setting the text writes nothing: the list only writes when the user picks an entry.
      auto* list = static_cast<QComboBox*>(binding.control);
      const QString text = ReadString(binding.key);
      list->setCurrentIndex(list->findText(text, Qt::MatchExactly));
      list->setEditText(text);
      break;
    }
  }
}

void SetupDialog::ShowFastStart() {
  chkFonts->setChecked(ReadNumber(Key::CheckFont) == 1);
  // Loading again (a second start brought this dialog to the front) keeps a list already filled.
  if (!chkFonts->isChecked() && cboFontsScreen->count() == 0) LoadFonts();
}

void SetupDialog::ShowClockCorner() {
  // The corner: the stored number, rounded as the saver rounds it, minus 1 is the option's index.
  // A number outside 1 to 4 means no clock in the saver, so no option is selected (also none
  // that an earlier loading selected) and nothing is written.
  PosClock = ReadString(Key::PosClock);
  const int index = ReadNumericInteger(store_, Reader::Dialog, Key::PosClock) - 1;
  if (index >= 0 && index <= 3) {
    optPosClock[static_cast<size_t>(index)]->setChecked(true);
  } else if (QAbstractButton* shown = optPosClockGroup->checkedButton()) {
    const QSignalBlocker quiet(optPosClockGroup);
    optPosClockGroup->setExclusive(false);
    shown->setChecked(false);
    optPosClockGroup->setExclusive(true);
  }
}

// ---------------------------------------------------------------------------------------------
// The special cases

void SetupDialog::FastStartClicked() {
  if (chkFonts->isChecked()) {
    cboFontsScreen->setEnabled(false);
  } else {
    const QString font_name = ReadString(Key::FontName);  // before selecting overwrites it
    cboFontsScreen->setEnabled(true);
    LoadFonts();
    SelectFontAt(ReadNumber(Key::SelectedFont));
    SelectFontNamed(font_name);
  }
  Save(Key::CheckFont, chkFonts->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

void SetupDialog::FontPicked() {
  Save(Key::SelectedFont, QString::number(cboFontsScreen->currentIndex()));
  Save(Key::FontName, cboFontsScreen->currentText());
}

void SetupDialog::CornerPicked(int index) {
  PosClock = QString::number(index + 1);
  Save(Key::PosClock, PosClock);
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

void SetupDialog::LoadFonts() {
  QStringList names = fonts_ ? fonts_() : QStringList();
  std::stable_sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
  });
  {
    // Refilling starts from an empty list, so a second load does not list every font twice;
    // the entries come and go quietly and only the selection below counts as a change.
    const QSignalBlocker quiet(cboFontsScreen);
    cboFontsScreen->clear();
    cboFontsScreen->addItems(names);
    cboFontsScreen->setCurrentIndex(-1);
  }
  SelectFontAt(ReadNumber(Key::SelectedFont));
}

void SetupDialog::SelectFontAt(int position) {
  if (position >= 0 && position < cboFontsScreen->count())
    cboFontsScreen->setCurrentIndex(position);
}

void SetupDialog::SelectFontNamed(const QString& stored) {
  // A name from an older list may carry the foundry in brackets: its family is the entry.
  const std::string name = WithoutFoundry(stored.toStdString());
  int position = cboFontsScreen->findText(QString::fromStdString(name), Qt::MatchFixedString);
  if (position < 0) {
    // A face the saver draws with a font of another family ("Arial" drawn by a metric-compatible
    // font) selects that family; a name fontconfig does not know at all (it then offers its
    // default face) leaves the selection.
    const std::string stand_in = MatchFontFace(name).family;
    if (stand_in != MatchFontFace("Larkspill No Such Face").family)
      position = cboFontsScreen->findText(QString::fromStdString(stand_in), Qt::MatchFixedString);
  }
  if (position >= 0) cboFontsScreen->setCurrentIndex(position);
}

}  // namespace larkspill

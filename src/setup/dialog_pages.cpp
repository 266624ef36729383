#include "setup/dialog_pages.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <algorithm>
#include <limits>

#include "setup/dialog_widgets.h"

namespace larkspill {

SettingsPage::SettingsPage(QWidget* parent, const std::string& asset_dir) : QWidget(parent) {
  setObjectName(QStringLiteral("SettingsPage"));
  QWidget* page = this;

  // Scenes and their scroll-through time.
  QGroupBox* frame1 = MakeFrame(page, "Frame1", "Choose the Waterfall", 4, 4, 162, 156);
  waterfall1 = MakeCheck(frame1, "chkwf01", "1", 36, 29);
  MakePicture(frame1, "Picture2", asset_dir, "dialog-wf1.bmp", 76, 22, 40, 30);
  waterfall2 = MakeCheck(frame1, "chkwf02", "2", 36, 65);
  MakePicture(frame1, "Picture3", asset_dir, "dialog-wf2.bmp", 76, 58, 40, 30);
  MakeLabel(frame1, "Label5", "Set scroll-through time:", 8, 96);
  scroll_minutes = MakeBar(frame1, "hsbScroll", Qt::Horizontal, 1, 500);
  scroll_minutes->setGeometry(8, 113, 146, 17);
  QLabel* label6 = MakeLabel(frame1, "Label6", "Every                   Minutes", 8, 136);
  scroll_minutes_shown = MakeCompanion(frame1, "txtScroll");
  PlaceInGap(scroll_minutes_shown, label6, "Every", 19, 20);

  // Clock: switch, corner and size.
  QGroupBox* frame24 = MakeFrame(page, "Frame24", "Clock", 4, 164, 162, 136);
  show_clock = MakeCheck(frame24, "chkClock", "Show Clock", 8, 20);
  show_clock->setToolTip(QStringLiteral("Show or Remove Clock"));
  QLabel* screen = MakePicture(frame24, "Picture5", asset_dir, "dialog-screen.bmp", 46, 42, 70, 62);
  clock_corners = new QButtonGroup(this);
  clock_corners->setExclusive(true);
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
    clock_corners->addButton(option, i);
    clock_corner[static_cast<size_t>(i)] = option;
  }
  QLabel* label4 = MakeLabel(frame24, "Label4", "Font Size (i.e.: 16)", 8, 112);
  clock_font_size = Make<QLineEdit>(frame24, "txtFontSize");
  clock_font_size->setToolTip(QStringLiteral("Type size of font for clock"));
  clock_font_size->setGeometry(label4->x() + label4->width() + 6, 109, 34, 20);

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
      {&water_sound, "chkSoundWater", "Water", &water_volume, "hsbWaterVolume"},
      {&birds_sound, "chkSoundBirds", "Birds", &birds_volume, "hsbBirdsVolume"},
      {&jungle_sound, "chkSoundJungle", "Jungle", &jungle_volume, "hsbJungleVolume"},
      {&eagle_sound, "chkSoundEagle", "Eagle", &eagle_volume, "hsbEagleVolume"},
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
  sound_off = MakePickList(frame2, "cboSoundOff",
                           {"Never", "1",  "2",  "3",   "4",   "5",   "10",  "15",  "20",  "30",
                            "45",    "60", "90", "120", "180", "240", "300", "360", "420", "480"});
  PlaceInGap(sound_off, label16, "Turn sound off after:", 20, 22);

  // Pointer movements that end the saver.
  QGroupBox* frame23 = MakeFrame(page, "Frame23", "Mouse Sensitivity", 170, 184, 136, 116);
  frame23->setToolTip(QStringLiteral("Change the sensitivity of the mouse"));
  mouse_sensitivity = MakeBar(frame23, "hsbMouseS", Qt::Horizontal, 2, 20);
  mouse_sensitivity->setGeometry(8, 48, 82, 17);
  MakeLabel(frame23, "Label32", "Light", 8, 68);
  QLabel* label33 = MakeLabel(frame23, "Label33", "Heavy", 0, 68);
  label33->move(90 - label33->width(), 68);
  mouse_sensitivity_shown = MakeCompanion(frame23, "txtMouseS");
  mouse_sensitivity_shown->setGeometry(96, 46, 32, 20);

  // Frame delay of the water animation; the slow end is at the top.
  QGroupBox* frame3 = MakeFrame(page, "Frame3", "Water Speed", 310, 184, 88, 116);
  water_speed = MakeUpsideDownBar(frame3, "vsbWaterSpeed", 50, 500);
  water_speed->setGeometry(14, 20, 17, 70);
  MakeLabel(frame3, "Label3", "Slow", 36, 20);
  QLabel* label2 = MakeLabel(frame3, "Label2", "Fast", 36, 0);
  label2->move(36, 90 - label2->height());
  water_speed_shown = MakeCompanion(frame3, "txtWaterSpeed");
  water_speed_shown->setGeometry(14, 93, 48, 20);

  // Birds and butterflies.
  QGroupBox* frame7 = MakeFrame(page, "Frame7", "Creatures", 402, 4, 176, 296);
  show_birds = MakeCheck(frame7, "chkBirds", "Show Birds", 8, 22);
  QLabel* label11 = MakeLabel(frame7, "Label11", "every                       seconds", 8, 50);
  bird_rest = MakePickList(frame7, "cboBirds", {"Always", "10", "20", "30", "40", "50", "60"});
  PlaceInGap(bird_rest, label11, "every", 23, 22);
  single_bird = MakeCheck(frame7, "chkSingleBird", "Single Bird", 8, 78);
  MakeLabel(frame7, "Label9", "Bird Speed", 8, 106);
  QLabel* label10 = MakeLabel(frame7, "Label10", "Fast            Slow", 8, 143);
  bird_speed = MakeBar(frame7, "hsbBirdSpeed", Qt::Horizontal, 1, 100);
  const int speed_w = std::max(label10->width(), 100);
  bird_speed->setGeometry(8, 124, speed_w, 17);
  bird_speed_shown = MakeCompanion(frame7, "TxtBirdSpeed");
  bird_speed_shown->setGeometry(14 + speed_w, 122, 34, 20);
  auto* line1 = Make<QFrame>(frame7, "Line1");
  line1->setFrameStyle(QFrame::HLine | QFrame::Sunken);
  line1->setGeometry(8, 166, 160, 4);
  MakeLabel(frame7, "Label12", "Number of Butterflys", 8, 178);
  butterflies = MakeBar(frame7, "hsbButter", Qt::Horizontal, 1, 3);
  butterflies->setGeometry(8, 197, speed_w, 17);
  butterflies_shown = MakeCompanion(frame7, "txtButter");
  butterflies_shown->setGeometry(14 + speed_w, 195, 34, 20);
  auto* line2 = Make<QFrame>(frame7, "Line2");
  line2->setFrameStyle(QFrame::HLine | QFrame::Sunken);
  line2->setGeometry(8, 224, 160, 4);
  first_kind_butterflies = MakeCheck(frame7, "chkButterfly1", "Show Butterfly #1", 8, 236);
  second_kind_butterflies = MakeCheck(frame7, "chkButterfly2", "Show Butterfly #2", 8, 262);

  keep_monitor_on = MakeCheck(page, "chkPowerSave", "Disable any Power Saving settings", 8, 306);
  keep_monitor_on->setToolTip(QStringLiteral(
      "If you have your Monitor set to turn off enabling this will keep that setting, otherwise "
      "the screensaver will ignore those settings"));
}

TextPage::TextPage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("TextPage"));
  QWidget* page = this;

  QGroupBox* frame5 = MakeFrame(page, "Frame5", "Show Message", 6, 4, 570, 116);
  show_message = MakeCheck(frame5, "chkShowMessage", "Show Message", 12, 24);
  MakeLabel(frame5, "Label7", "Type your message below:", 12, 56);
  message = Make<QLineEdit>(frame5, "txtMessage");
  message->setGeometry(12, 76, 546, 24);
  // A line edit keeps 32767 characters by default; a longer stored message would be cut short
  // and written back that way the moment the dialog opens.
  message->setMaxLength(std::numeric_limits<int>::max());

  QGroupBox* frame11 = MakeFrame(page, "Frame11", "Font", 6, 128, 570, 164);
  fast_start = Make<QCheckBox>(frame11, "chkFonts");
  fast_start->setGeometry(12, 26, 20, 20);
  auto* label35 = Make<QLabel>(frame11, "Label35");
  label35->setTextFormat(Qt::PlainText);
  label35->setWordWrap(true);
  label35->setText(QStringLiteral(
      "Loading the fonts causes a delay in starting the Control Box.  Check this box if you do "
      "not want to use a different font.  The Control Box will then load faster."));
  label35->setGeometry(38, 26, 520, 48);
  label35->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  fast_start->setAccessibleName(label35->text());  // the box has no caption of its own
  fonts = Make<QComboBox>(frame11, "cboFontsScreen");
  fonts->setGeometry(12, 84, 280, 24);
  fonts->setStyle(DialogControlStyle());
  fonts->setMaxVisibleItems(16);
  QLabel* label8 = MakeLabel(frame11, "Label8", "Font Size (i.e.: 16)", 12, 126);
  message_font_size = Make<QLineEdit>(frame11, "txtFontSizeMsg");
  message_font_size->setGeometry(label8->x() + label8->width() + 6, 122, 40, 22);
}

}  // namespace larkspill

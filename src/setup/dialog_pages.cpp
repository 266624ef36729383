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
  QGroupBox* scenes_frame = MakeFrame(page, "scenesFrame", "Choose the Waterfall", 4, 4, 162, 156);
  scene1_in_rotation = MakeCheck(scenes_frame, "scene1InRotation", "1", 36, 29);
  MakePicture(scenes_frame, "scene1Picture", asset_dir, "dialog-wf1.bmp", 76, 22, 40, 30);
  scene2_in_rotation = MakeCheck(scenes_frame, "scene2InRotation", "2", 36, 65);
  MakePicture(scenes_frame, "scene2Picture", asset_dir, "dialog-wf2.bmp", 76, 58, 40, 30);
  MakeLabel(scenes_frame, "sceneMinutesCaption", "Set scroll-through time:", 8, 96);
  scene_minutes = MakeBar(scenes_frame, "sceneMinutes", Qt::Horizontal, 1, 500);
  scene_minutes->setGeometry(8, 113, 146, 17);
  QLabel* scene_minutes_label =
      MakeLabel(scenes_frame, "sceneMinutesLabel", "Every                   Minutes", 8, 136);
  scene_minutes_shown = MakeCompanion(scenes_frame, "sceneMinutesShown");
  PlaceInGap(scene_minutes_shown, scene_minutes_label, "Every", 19, 20);

  // Clock: switch, corner and size.
  QGroupBox* clock_frame = MakeFrame(page, "clockFrame", "Clock", 4, 164, 162, 136);
  show_clock = MakeCheck(clock_frame, "showClock", "Show Clock", 8, 20);
  show_clock->setToolTip(QStringLiteral("Show or Remove Clock"));
  QLabel* screen = MakePicture(clock_frame, "clockScreenPicture", asset_dir, "dialog-screen.bmp",
                               46, 42, 70, 62);
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
    auto* option = Make<QRadioButton>(clock_frame, "clockCorner");
    option->setProperty("Index", i);
    option->setGeometry(corners[i].x(), corners[i].y(), 18, 18);
    option->setAccessibleName(QString::fromLatin1(kCornerNames[i]));
    clock_corners->addButton(option, i);
    clock_corner[static_cast<size_t>(i)] = option;
  }
  QLabel* clock_font_size_label =
      MakeLabel(clock_frame, "clockFontSizeLabel", "Font Size (i.e.: 16)", 8, 112);
  clock_font_size = Make<QLineEdit>(clock_frame, "clockFontSize");
  clock_font_size->setToolTip(QStringLiteral("Type size of font for clock"));
  clock_font_size->setGeometry(clock_font_size_label->x() + clock_font_size_label->width() + 6, 109,
                               34, 20);

  // Sounds and their volumes.
  QGroupBox* sound_frame = MakeFrame(page, "soundFrame", "Sound", 170, 4, 228, 176);
  const int bar_x = 76;
  const int bar_w = 142;
  QLabel* volume_label =
      MakeLabel(sound_frame, "volumeLabel", "Low ----- VOLUME ----- High", 0, 20);
  volume_label->move(std::max(4, bar_x + (bar_w - volume_label->width()) / 2), 20);
  const struct {
    QCheckBox** box;
    const char* box_name;
    const char* caption;
    QScrollBar** bar;
    const char* bar_name;
  } sounds[] = {
      {&water_sound_on, "waterSoundOn", "Water", &water_sound_volume, "waterSoundVolume"},
      {&bird_song_on, "birdSongOn", "Birds", &bird_song_volume, "birdSongVolume"},
      {&jungle_sound_on, "jungleSoundOn", "Jungle", &jungle_sound_volume, "jungleSoundVolume"},
      {&eagle_call_on, "eagleCallOn", "Eagle", &eagle_call_volume, "eagleCallVolume"},
  };
  int row_y = 39;
  for (const auto& sound : sounds) {
    *sound.box = MakeCheck(sound_frame, sound.box_name, sound.caption, 8, row_y);
    *sound.bar = MakeBar(sound_frame, sound.bar_name, Qt::Horizontal, -2500, 0);
    (*sound.bar)->setGeometry(bar_x, row_y + 1, bar_w, 17);
    row_y += 24;
  }
  QLabel* sound_off_after_label = MakeLabel(
      sound_frame, "soundOffAfterLabel", "Turn sound off after:                    min.", 8, 146);
  sound_off_after =
      MakePickList(sound_frame, "soundOffAfter",
                   {"Never", "1",  "2",  "3",   "4",   "5",   "10",  "15",  "20",  "30",
                    "45",    "60", "90", "120", "180", "240", "300", "360", "420", "480"});
  PlaceInGap(sound_off_after, sound_off_after_label, "Turn sound off after:", 20, 22);

  // Pointer movements that end the saver.
  QGroupBox* mouse_frame =
      MakeFrame(page, "mouseSensitivityFrame", "Mouse Sensitivity", 170, 184, 136, 116);
  mouse_frame->setToolTip(QStringLiteral("Change the sensitivity of the mouse"));
  mouse_sensitivity = MakeBar(mouse_frame, "mouseSensitivity", Qt::Horizontal, 2, 20);
  mouse_sensitivity_shown = MakeCompanion(mouse_frame, "mouseSensitivityShown");
  PlaceBarRow(mouse_sensitivity, mouse_sensitivity_shown, 8, 48, 82, 32);
  MakeLabel(mouse_frame, "mouseLightLabel", "Light", 8, 68);
  QLabel* heavy_label = MakeLabel(mouse_frame, "mouseHeavyLabel", "Heavy", 0, 68);
  heavy_label->move(90 - heavy_label->width(), 68);

  // Frame delay of the water animation; the slow end is at the top.
  QGroupBox* water_speed_frame =
      MakeFrame(page, "waterSpeedFrame", "Water Speed", 310, 184, 88, 116);
  water_frame_delay = MakeUpsideDownBar(water_speed_frame, "waterFrameDelay", 50, 500);
  water_frame_delay->setGeometry(14, 20, 17, 70);
  MakeLabel(water_speed_frame, "waterSlowLabel", "Slow", 36, 20);
  QLabel* fast_label = MakeLabel(water_speed_frame, "waterFastLabel", "Fast", 36, 0);
  fast_label->move(36, 90 - fast_label->height());
  water_frame_delay_shown = MakeCompanion(water_speed_frame, "waterFrameDelayShown");
  water_frame_delay_shown->setGeometry(14, 93, 48, 20);

  // Birds and butterflies.
  QGroupBox* creatures_frame = MakeFrame(page, "creaturesFrame", "Creatures", 402, 4, 176, 296);
  show_flock = MakeCheck(creatures_frame, "showFlock", "Show Birds", 8, 22);
  QLabel* flock_rest_label =
      MakeLabel(creatures_frame, "flockRestLabel", "every                       seconds", 8, 50);
  flock_rest =
      MakePickList(creatures_frame, "flockRest", {"Always", "10", "20", "30", "40", "50", "60"});
  PlaceInGap(flock_rest, flock_rest_label, "every", 23, 22);
  show_single_birds = MakeCheck(creatures_frame, "showSingleBirds", "Single Bird", 8, 78);
  MakeLabel(creatures_frame, "birdSpeedLabel", "Bird Speed", 8, 106);
  QLabel* bird_speed_ends_label =
      MakeLabel(creatures_frame, "birdSpeedEndsLabel", "Fast            Slow", 8, 143);
  bird_step_delay = MakeBar(creatures_frame, "birdStepDelay", Qt::Horizontal, 1, 100);
  const int speed_w = std::max(bird_speed_ends_label->width(), 100);
  bird_step_delay_shown = MakeCompanion(creatures_frame, "birdStepDelayShown");
  PlaceBarRow(bird_step_delay, bird_step_delay_shown, 8, 124, speed_w, 34);
  auto* birds_butterflies_line = Make<QFrame>(creatures_frame, "birdsButterfliesLine");
  birds_butterflies_line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
  birds_butterflies_line->setGeometry(8, 166, 160, 4);
  MakeLabel(creatures_frame, "butterflyCountLabel", "Number of Butterflys", 8, 178);
  butterfly_count = MakeBar(creatures_frame, "butterflyCount", Qt::Horizontal, 1, 3);
  butterfly_count_shown = MakeCompanion(creatures_frame, "butterflyCountShown");
  PlaceBarRow(butterfly_count, butterfly_count_shown, 8, 197, speed_w, 34);
  auto* butterfly_kinds_line = Make<QFrame>(creatures_frame, "butterflyKindsLine");
  butterfly_kinds_line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
  butterfly_kinds_line->setGeometry(8, 224, 160, 4);
  show_first_butterflies =
      MakeCheck(creatures_frame, "showFirstButterflies", "Show Butterfly #1", 8, 236);
  show_second_butterflies =
      MakeCheck(creatures_frame, "showSecondButterflies", "Show Butterfly #2", 8, 262);

  keep_monitor_on = MakeCheck(page, "keepMonitorOn", "Disable any Power Saving settings", 8, 306);
  keep_monitor_on->setToolTip(QStringLiteral(
      "If you have your Monitor set to turn off enabling this will keep that setting, otherwise "
      "the screensaver will ignore those settings"));
  span_monitors = MakeCheck(page, "spanMonitors", "Spread one forest across all monitors",
                            keep_monitor_on->geometry().right() + 32, 306);
  span_monitors->setToolTip(QStringLiteral(
      "One scene over every monitor, the waterfall on the main one; otherwise each monitor shows "
      "the whole scene"));
}

TextPage::TextPage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("TextPage"));
  QWidget* page = this;

  QGroupBox* message_frame = MakeFrame(page, "messageFrame", "Show Message", 6, 4, 570, 116);
  show_user_message = MakeCheck(message_frame, "showUserMessage", "Show Message", 12, 24);
  MakeLabel(message_frame, "userMessageLabel", "Type your message below:", 12, 56);
  user_message = Make<QLineEdit>(message_frame, "userMessage");
  user_message->setGeometry(12, 76, 546, 24);
  // A line edit keeps 32767 characters by default; a longer stored message would be cut short
  // and written back that way the moment the dialog opens.
  user_message->setMaxLength(std::numeric_limits<int>::max());

  QGroupBox* font_frame = MakeFrame(page, "fontFrame", "Font", 6, 128, 570, 164);
  fast_start = Make<QCheckBox>(font_frame, "fastStart");
  fast_start->setGeometry(12, 26, 20, 20);
  auto* fast_start_label = Make<QLabel>(font_frame, "fastStartLabel");
  fast_start_label->setTextFormat(Qt::PlainText);
  fast_start_label->setWordWrap(true);
  fast_start_label->setText(QStringLiteral(
      "Loading the fonts causes a delay in starting the Control Box.  Check this box if you do "
      "not want to use a different font.  The Control Box will then load faster."));
  fast_start_label->setGeometry(38, 26, 520, 48);
  fast_start_label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  fast_start->setAccessibleName(fast_start_label->text());  // the box has no caption of its own
  font_face = Make<QComboBox>(font_frame, "fontFace");
  font_face->setGeometry(12, 84, 280, 24);
  font_face->setStyle(DialogControlStyle());
  font_face->setMaxVisibleItems(16);
  QLabel* message_font_size_label =
      MakeLabel(font_frame, "messageFontSizeLabel", "Font Size (i.e.: 16)", 12, 126);
  message_font_size = Make<QLineEdit>(font_frame, "messageFontSize");
  message_font_size->setGeometry(
      message_font_size_label->x() + message_font_size_label->width() + 6, 122, 40, 22);
}

}  // namespace larkspill

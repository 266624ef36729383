#pragma once

#include <QWidget>
#include <array>
#include <string>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QScrollBar;

namespace larkspill {

// The "Settings" page: scenes, clock, sound, mouse, water speed, creatures and power saving. It
// only builds and places its controls; the dialog shows the store in them and writes it back.
class SettingsPage : public QWidget {
 public:
  // `asset_dir`: the data folder with the page's small pictures.
  SettingsPage(QWidget* parent, const std::string& asset_dir);

  // The scenes and how many minutes each shows before the other takes over.
  QCheckBox* scene1_in_rotation = nullptr;
  QCheckBox* scene2_in_rotation = nullptr;
  QScrollBar* scene_minutes = nullptr;
  QLineEdit* scene_minutes_shown = nullptr;

  // The clock: shown or not, its corner (upper left, lower left, upper right, lower right) and
  // its font size.
  QCheckBox* show_clock = nullptr;
  std::array<QRadioButton*, 4> clock_corner{};
  QButtonGroup* clock_corners = nullptr;
  QLineEdit* clock_font_size = nullptr;

  // Each sound's switch and volume, and the minutes until the sound goes off.
  QCheckBox* water_sound_on = nullptr;
  QCheckBox* bird_song_on = nullptr;
  QCheckBox* jungle_sound_on = nullptr;
  QCheckBox* eagle_call_on = nullptr;
  QScrollBar* water_sound_volume = nullptr;
  QScrollBar* bird_song_volume = nullptr;
  QScrollBar* jungle_sound_volume = nullptr;
  QScrollBar* eagle_call_volume = nullptr;
  QComboBox* sound_off_after = nullptr;

  // How many pointer moves end the saver.
  QScrollBar* mouse_sensitivity = nullptr;
  QLineEdit* mouse_sensitivity_shown = nullptr;

  // The water's frame delay; slow at the top.
  QScrollBar* water_frame_delay = nullptr;
  QLineEdit* water_frame_delay_shown = nullptr;

  // The flock and its rest, the single birds, the birds' step delay, the butterflies.
  QCheckBox* show_flock = nullptr;
  QComboBox* flock_rest = nullptr;
  QCheckBox* show_single_birds = nullptr;
  QScrollBar* bird_step_delay = nullptr;
  QLineEdit* bird_step_delay_shown = nullptr;
  QScrollBar* butterfly_count = nullptr;
  QLineEdit* butterfly_count_shown = nullptr;
  QCheckBox* show_first_butterflies = nullptr;
  QCheckBox* show_second_butterflies = nullptr;

  QCheckBox* keep_monitor_on = nullptr;
  // One forest across all monitors instead of one scene on each.
  QCheckBox* span_monitors = nullptr;
};

// The "Text" page: the message and the font of the clock and message.
class TextPage : public QWidget {
 public:
  explicit TextPage(QWidget* parent);

  QCheckBox* show_user_message = nullptr;
  QLineEdit* user_message = nullptr;
  // Checked: the saver draws with Arial and the font list is not loaded.
  QCheckBox* fast_start = nullptr;
  QComboBox* font_face = nullptr;
  QLineEdit* message_font_size = nullptr;
};

}  // namespace larkspill

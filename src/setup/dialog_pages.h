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
  QCheckBox* waterfall1 = nullptr;
  QCheckBox* waterfall2 = nullptr;
  QScrollBar* scroll_minutes = nullptr;
  QLineEdit* scroll_minutes_shown = nullptr;

  // The clock: shown or not, its corner (upper left, lower left, upper right, lower right) and
  // its font size.
  QCheckBox* show_clock = nullptr;
  std::array<QRadioButton*, 4> clock_corner{};
  QButtonGroup* clock_corners = nullptr;
  QLineEdit* clock_font_size = nullptr;

  // Each sound's switch and volume, and the minutes until the sound goes off.
  QCheckBox* water_sound = nullptr;
  QCheckBox* birds_sound = nullptr;
  QCheckBox* jungle_sound = nullptr;
  QCheckBox* eagle_sound = nullptr;
  QScrollBar* water_volume = nullptr;
  QScrollBar* birds_volume = nullptr;
  QScrollBar* jungle_volume = nullptr;
  QScrollBar* eagle_volume = nullptr;
  QComboBox* sound_off = nullptr;

  // How many pointer moves end the saver.
  QScrollBar* mouse_sensitivity = nullptr;
  QLineEdit* mouse_sensitivity_shown = nullptr;

  // The water's frame delay; slow at the top.
  QScrollBar* water_speed = nullptr;
  QLineEdit* water_speed_shown = nullptr;

  // The flock and its rest, the single birds, the birds' step delay, the butterflies.
  QCheckBox* show_birds = nullptr;
  QComboBox* bird_rest = nullptr;
  QCheckBox* single_bird = nullptr;
  QScrollBar* bird_speed = nullptr;
  QLineEdit* bird_speed_shown = nullptr;
  QScrollBar* butterflies = nullptr;
  QLineEdit* butterflies_shown = nullptr;
  QCheckBox* first_kind_butterflies = nullptr;
  QCheckBox* second_kind_butterflies = nullptr;

  QCheckBox* keep_monitor_on = nullptr;
};

// The "Text" page: the message and the font of the clock and message.
class TextPage : public QWidget {
 public:
  explicit TextPage(QWidget* parent);

  QCheckBox* show_message = nullptr;
  QLineEdit* message = nullptr;
  // Checked: the saver draws with Arial and the font list is not loaded.
  QCheckBox* fast_start = nullptr;
  QComboBox* fonts = nullptr;
  QLineEdit* message_font_size = nullptr;
};

}  // namespace larkspill

// The Control Box's binding table and the special cases beside it: how every control shows the
// store and writes its setting back.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <algorithm>
#include <memory>

#include "platform/fonts/font_lookup.h"
#include "settings/key_table.h"
#include "setup/dialog_pages.h"
#include "setup/dialog_widgets.h"
#include "setup/setup_dialog.h"

namespace larkspill {

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
  const SettingsPage& s = *settings_;
  const TextPage& t = *text_;
  using K = Kind;
  constexpr WriteRule kRests = WriteRule::WhenThumbRests;
  // In loading order: each control that loading moves writes then, in this order.
  bindings_ = {
      {s.butterfly_count, Key::ButterflyCount, K::Bar, WriteRule::OnChange,
       s.butterfly_count_shown},
      {s.bird_step_delay, Key::BirdStepDelay, K::Bar, WriteRule::OnChange, s.bird_step_delay_shown},
      {s.show_single_birds, Key::ShowSingleBirds, K::Check},
      {s.flock_rest, Key::FlockRest, K::PickList},
      {s.show_flock, Key::ShowFlock, K::Check},
      {s.show_first_butterflies, Key::ShowFirstButterflies, K::Check},
      {s.show_second_butterflies, Key::ShowSecondButterflies, K::Check},
      {s.scene_minutes, Key::SceneMinutes, K::Bar, WriteRule::WithScrollSeconds,
       s.scene_minutes_shown},
      {s.water_sound_volume, Key::WaterSoundVolume, K::Bar},
      {s.bird_song_volume, Key::BirdSongVolume, K::Bar},
      {s.jungle_sound_volume, Key::JungleSoundVolume, K::Bar},
      {s.eagle_call_volume, Key::EagleCallVolume, K::Bar, kRests},
      {s.water_frame_delay, Key::WaterFrameDelay, K::Bar, WriteRule::OnChange,
       s.water_frame_delay_shown},
      {s.mouse_sensitivity, Key::MouseSensitivity, K::Bar, WriteRule::OnChange,
       s.mouse_sensitivity_shown},
      {s.water_sound_on, Key::WaterSoundOn, K::Check},
      {s.bird_song_on, Key::BirdSongOn, K::Check},
      {s.jungle_sound_on, Key::JungleSoundOn, K::Check},
      {s.eagle_call_on, Key::EagleCallOn, K::Check},
      {s.show_clock, Key::ShowClock, K::Check},
      {s.clock_font_size, Key::ClockFontSize, K::Text},
      {s.scene1_in_rotation, Key::Scene1InRotation, K::Check},
      {s.scene2_in_rotation, Key::Scene2InRotation, K::Check},
      {t.show_user_message, Key::ShowUserMessage, K::Check},
      {t.user_message, Key::UserMessage, K::Text},
      {t.message_font_size, Key::MessageFontSize, K::Text},
      {s.sound_off_after, Key::SoundOffAfter, K::PickList},
      {s.keep_monitor_on, Key::KeepMonitorOn, K::Switch},
      {s.span_monitors, Key::SpanMonitors, K::Check},
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
          list->setPlaceholderText(QString());
          Write(*binding, list->itemText(index));
        });
        break;
      }
    }
  }

  connect(t.fast_start, &QCheckBox::toggled, this, &SetupDialog::FastStartClicked);
  connect(t.font_face, &QComboBox::currentIndexChanged, this, &SetupDialog::FontPicked);
  connect(s.clock_corners, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
    if (checked) CornerPicked(id);
  });
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
  if (binding.rule == WriteRule::WithScrollSeconds) WriteScrollSeconds(value);
}

// ---------------------------------------------------------------------------------------------
// Loading

void SetupDialog::ShowStore() {
  // Opened before the saver ever ran, the dialog shows and keeps the first-run values.
  WriteFirstRunValuesIfNew(store_);
  // Selecting the stored position writes that entry's name over the stored one, so the name is
  // read first: the font the user chose stays chosen.
  const QString font_name = ReadString(Key::FontFace);
  ShowFastStart();
  for (const Binding& b : bindings_) Show(b);
  ShowClockCorner();
  if (!text_->fast_start->isChecked()) {
    SelectFontAt(ReadNumber(Key::FontListPosition));
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
    case Kind::PickList:
      // Showing writes nothing: the list only writes when the user picks an entry.
      ShowInPickList(static_cast<QComboBox*>(binding.control), ReadString(binding.key));
      break;
  }
}

void SetupDialog::ShowFastStart() {
  text_->fast_start->setChecked(ReadNumber(Key::FastStart) == 1);
  // Loading again (a second start brought this dialog to the front) keeps a list already filled.
  if (!text_->fast_start->isChecked() && text_->font_face->count() == 0) LoadFonts();
}

void SetupDialog::ShowClockCorner() {
  // The corner: the stored number, rounded as the saver rounds it, minus 1 is the option's index.
  // A number outside 1 to 4 means no clock in the saver, so no option is selected (also none
  // that an earlier loading selected) and nothing is written.
  const int index = ReadNumericInteger(store_, Reader::Dialog, Key::ClockCorner) - 1;
  if (index >= 0 && index <= 3) {
    settings_->clock_corner[static_cast<size_t>(index)]->setChecked(true);
  } else if (QAbstractButton* shown = settings_->clock_corners->checkedButton()) {
    const QSignalBlocker quiet(settings_->clock_corners);
    settings_->clock_corners->setExclusive(false);
    shown->setChecked(false);
    settings_->clock_corners->setExclusive(true);
  }
}

// ---------------------------------------------------------------------------------------------
// The special cases

void SetupDialog::FastStartClicked() {
  if (text_->fast_start->isChecked()) {
    text_->font_face->setEnabled(false);
  } else {
    const QString font_name = ReadString(Key::FontFace);  // before selecting overwrites it
    text_->font_face->setEnabled(true);
    LoadFonts();
    SelectFontAt(ReadNumber(Key::FontListPosition));
    SelectFontNamed(font_name);
  }
  Save(Key::FastStart, text_->fast_start->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

void SetupDialog::FontPicked() {
  Save(Key::FontListPosition, QString::number(text_->font_face->currentIndex()));
  Save(Key::FontFace, text_->font_face->currentText());
}

void SetupDialog::WriteScrollSeconds(const QString& minutes) {
  Save(Key::SceneSeconds, QString::number(minutes.toInt() * 60));
}

void SetupDialog::CornerPicked(int index) {
  Save(Key::ClockCorner, QString::number(index + 1));
}

void SetupDialog::LoadFonts() {
  QStringList names = fonts_ ? fonts_() : QStringList();
  std::stable_sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
  });
  {
    // Refilling starts from an empty list, so a second load does not list every font twice;
    // the entries come and go quietly and only the selection below counts as a change.
    const QSignalBlocker quiet(text_->font_face);
    text_->font_face->clear();
    text_->font_face->addItems(names);
    text_->font_face->setCurrentIndex(-1);
  }
  SelectFontAt(ReadNumber(Key::FontListPosition));
}

void SetupDialog::SelectFontAt(int position) {
  if (position >= 0 && position < text_->font_face->count())
    text_->font_face->setCurrentIndex(position);
}

void SetupDialog::SelectFontNamed(const QString& stored) {
  // A name from an older list may carry the foundry in brackets: its family is the entry.
  const std::string name = WithoutFoundry(stored.toStdString());
  int position = text_->font_face->findText(QString::fromStdString(name), Qt::MatchFixedString);
  if (position < 0) {
    // A face the saver draws with a font of another family ("Arial" drawn by a metric-compatible
    // font) selects that family; a name fontconfig does not know at all (it then offers its
    // default face) leaves the selection.
    const std::string stand_in = MatchFontFace(name).family;
    if (stand_in != MatchFontFace("Larkspill No Such Face").family)
      position = text_->font_face->findText(QString::fromStdString(stand_in), Qt::MatchFixedString);
  }
  if (position >= 0) text_->font_face->setCurrentIndex(position);
}

}  // namespace larkspill

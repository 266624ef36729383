#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "settings/settings_store.h"

namespace larkspill {

// How a reader turns a stored text into the value it keeps.
enum class Conversion {
  Integer,             // 16-bit signed
  Long,                // 32-bit signed
  NumericThenInteger,  // any number, rounded to 16 bits
  Text,                // used as read
};

// Every setting, in the order the first-run writer stores them; the first-run marker is last.
enum class Key : uint8_t {
  ShowFlock,
  BirdStepDelay,
  FlockRest,
  ShowFirstButterflies,
  ShowSecondButterflies,
  ShowClock,
  ClockFontSize,
  UnreadMonitor,
  MouseSensitivity,
  ButterflyCount,
  UnreadPower,
  SceneMinutes,
  SceneSeconds,
  ShowSingleBirds,
  SoundOffAfter,
  Scene1InRotation,
  Scene2InRotation,
  FastStart,
  FontFace,
  FontListPosition,
  KeepMonitorOn,
  SpanMonitors,
  MessageFontSize,
  UserMessage,
  ClockCorner,
  ShowUserMessage,
  BirdSongOn,
  EagleCallOn,
  JungleSoundOn,
  WaterSoundOn,
  BirdSongVolume,
  EagleCallVolume,
  JungleSoundVolume,
  WaterSoundVolume,
  WaterFrameDelay,
  FirstRunMarker
};

// One setting: where it lives, its first-run value, what each reader passes when it is absent,
// and how the saver converts it.
struct SettingKey {
  Key id;
  const char* section;            // as read and written: "one", "Startup", "two", "System"
  const char* key;                // as read and written: "waterfall1", "BirdSpeed", ...
  const char* first_run_section;  // as the first-run writer spells it in the file: "One", "Two"
  const char* first_run_key;      // as the first-run writer spells it: "Waterfall1"
  const char* first_run;          // the value the first-run writer stores
  const char*
      saver_default;  // absent default of the saver's read; nullptr: the saver never reads it
  const char*
      dialog_default;  // absent default of the dialog's read; nullptr: the dialog never reads it
  Conversion conversion;
};

// Every key, in the order of Key.
std::span<const SettingKey> SettingKeys();
const SettingKey& Setting(Key key);

// Writes every first-run value, in table order, marker last, as one write where the store can.
void WriteFirstRunValues(SettingsStore& store);

// Writes the first-run values unless the store holds the first-run marker 2: the first thing the
// saver and the dialog each do, so that whichever starts first writes them, once. Without any
// marker (a fresh store, or a file written by hand) only absent keys get their first-run value,
// so nothing the user wrote is lost; a marker other than 2 asks for every first-run value.
void WriteFirstRunValuesIfNew(SettingsStore& store);

enum class Reader { Saver, Dialog };

// The stored text, or the reader's absent default from the table.
std::string ReadText(SettingsStore& store, Reader reader, Key key);

// Conversions on reading. A text that does not convert (empty, "fast", out of range) takes the
// key's first-run value instead, and standard error says so once per key.
int16_t ReadInteger(SettingsStore& store, Reader reader, Key key);
int32_t ReadLong(SettingsStore& store, Reader reader, Key key);
int16_t ReadNumericInteger(SettingsStore& store, Reader reader, Key key);

// Stores a value where readers find it.
void WriteSetting(SettingsStore& store, Key key, const std::string& value);

// A stored text as a message shows it: at most 40 characters and "...", control characters as '?'.
std::string ShownValue(std::string_view value);

// A decimal number with optional sign, fraction and exponent, spaces around it allowed;
// nullopt for anything else (empty text, letters, "1e999").
std::optional<double> ParseNumber(std::string_view text);
// ParseNumber rounded half to even into the type's range; nullopt when it does not fit.
std::optional<int16_t> ToInteger(std::string_view text);

}  // namespace larkspill

#include "settings/key_table.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <mutex>
#include <set>
#include <cctype>
#include <vector>

#include "settings/ini_format.h"

namespace larkspill {
namespace {

using C = Conversion;
using K = Key;

enum class Section { One, Startup, Two, System };

// A row with its section's two spellings: readers and writers spell "one", the first-run writer
// "One"; `first_run_key` is the key's spelling there where it differs.
constexpr SettingKey Row(Key id, Section section, const char* key, const char* first_run,
                         const char* saver_default, const char* dialog_default, Conversion c,
                         const char* first_run_key = nullptr) {
  constexpr const char* kSpelling[][2] = {
      {"one", "One"}, {"Startup", "Startup"}, {"two", "Two"}, {"System", "System"}};
  const auto* spelling = kSpelling[static_cast<int>(section)];
  const char* const written_key = first_run_key != nullptr ? first_run_key : key;
  return {id, spelling[0], key, spelling[1], written_key, first_run, saver_default, dialog_default,
          c};
}

constexpr Section One = Section::One, Startup = Section::Startup, Two = Section::Two;

// Every setting, in the order of Key.
constexpr SettingKey kKeys[] = {
    Row(K::ShowFlock, One, "Birds", "1", "1", "", C::Integer),
    Row(K::BirdStepDelay, One, "BirdSpeed", "25", "", "", C::Integer),
    Row(K::FlockRest, One, "BirdTimer", "20", "", "", C::Text),
    Row(K::ShowFirstButterflies, One, "Butter1", "1", "", "", C::Integer),
    Row(K::ShowSecondButterflies, One, "Butter2", "1", "", "", C::Integer),
    Row(K::ShowClock, One, "Clock", "1", "1", "1", C::Integer),
    Row(K::ClockFontSize, One, "FontSize", "24", "1", "1", C::Integer),
    Row(K::UnreadMonitor, One, "Monitor", "Never", nullptr, nullptr, C::Text),
    Row(K::MouseSensitivity, One, "MouseSens", "4", "1", "1", C::Integer),
    Row(K::ButterflyCount, One, "NumButter", "3", "", "", C::Integer),
    Row(K::UnreadPower, One, "Power", "0", nullptr, nullptr, C::Text),
    Row(K::SceneMinutes, One, "Scroll", "1", "1", "1", C::Integer),
    Row(K::SceneSeconds, One, "ScrollSec", "60", "1", nullptr, C::Long),
    Row(K::ShowSingleBirds, One, "SingleBird", "1", "", "", C::Integer),
    Row(K::SoundOffAfter, One, "SoundOff", "Never", "1", "1", C::Text),
    Row(K::Scene1InRotation, One, "waterfall1", "1", "1", "1", C::Integer, "Waterfall1"),
    Row(K::Scene2InRotation, One, "waterfall2", "1", "1", "1", C::Integer, "Waterfall2"),
    Row(K::FastStart, Startup, "CheckFont", "1", "1", "1", C::Text),
    Row(K::FontFace, Startup, "FontName", "Arial", "1", "1", C::Text),
    Row(K::FontListPosition, Startup, "SelectedFont", "2", nullptr, "1", C::Integer),
    Row(K::KeepMonitorOn, Startup, "PwrSave", "1", "1", nullptr, C::Integer),
    Row(K::SpanMonitors, Startup, "SpanMonitors", "0", "0", "0", C::Integer),
    Row(K::MessageFontSize, Two, "FontSizeMsg", "24", "1", "1", C::Integer),
    Row(K::UserMessage, Two, "Message", "Place a Message Here", "1", "1", C::Text),
    Row(K::ClockCorner, Two, "PosClock", "1", "1", "1", C::NumericThenInteger),
    Row(K::ShowUserMessage, Two, "ShowMessage", "0", "1", "1", C::Integer),
    Row(K::BirdSongOn, Two, "SoundBirds", "1", "1", "1", C::Integer),
    Row(K::EagleCallOn, Two, "SoundEagle", "1", "1", "1", C::Integer),
    Row(K::JungleSoundOn, Two, "SoundJungle", "1", "1", "1", C::Integer),
    Row(K::WaterSoundOn, Two, "SoundWater", "1", "1", "1", C::Integer),
    Row(K::BirdSongVolume, Two, "VolumeBirds", "-193", "1", "1", C::Integer),
    Row(K::EagleCallVolume, Two, "VolumeEagle", "-775", "1", "1", C::Integer),
    Row(K::JungleSoundVolume, Two, "VolumeJungle", "-1492", "1", "1", C::Integer),
    Row(K::WaterSoundVolume, Two, "VolumeWater", "-911", "1", "1", C::Integer),
    Row(K::WaterFrameDelay, Two, "WaterSpeed", "150", "1", "1", C::Integer),
    Row(K::FirstRunMarker, Section::System, "SetReg", "2", "1", nullptr, C::Integer),
};

constexpr bool InKeyOrder() {
  for (size_t i = 0; i < std::size(kKeys); ++i) {
    if (static_cast<size_t>(kKeys[i].id) != i) return false;
  }
  return true;
}
static_assert(InKeyOrder() && std::size(kKeys) == static_cast<size_t>(Key::FirstRunMarker) + 1);

// Stands for "absent" in a read, so that a stored text can be told from the reader's default.
const std::string kAbsent("\x01\x02" "absent" "\x02\x01");

// Reads the stored text; `stored` tells whether the entry was there.
std::string Read(SettingsStore& store, Reader reader, const SettingKey& k, bool* stored) {
  const char* def = reader == Reader::Saver ? k.saver_default : k.dialog_default;
  std::string value = store.GetSetting(kAppName, k.section, k.key, kAbsent);
  *stored = value != kAbsent;
  if (!*stored) value = def != nullptr ? def : k.first_run;
  return value;
}

// Says once per key that a stored text was not usable.
void ReportUnusable(const SettingKey& k, const std::string& value) {
  static std::mutex mutex;
  static std::set<std::string> reported;
  std::lock_guard<std::mutex> lock(mutex);
  std::string id = FoldCase(k.section) + "/" + FoldCase(k.key);
  if (!reported.insert(id).second) return;
  std::fprintf(stderr,
               "larkspill: setting %s/%s holds \"%s\", which is not a number in range; using %s\n",
               k.section, k.key, ShownValue(value).c_str(), k.first_run);
}

template <typename T>
std::optional<T> ToRounded(std::string_view text) {
  std::optional<double> number = ParseNumber(text);
  if (!number) return std::nullopt;
  double rounded = std::nearbyint(*number);  // the default rounding mode: halves to even
  if (rounded < static_cast<double>(std::numeric_limits<T>::min()) ||
      rounded > static_cast<double>(std::numeric_limits<T>::max())) {
    return std::nullopt;
  }
  return static_cast<T>(rounded);
}

template <typename T>
T ReadNumber(SettingsStore& store, Reader reader, Key key) {
  const SettingKey& k = Setting(key);
  bool stored = false;
  std::string value = Read(store, reader, k, &stored);
  if (std::optional<T> converted = ToRounded<T>(value)) return *converted;
  // Only a stored text is worth a word: an absent key with an empty default is normal before
  // the saver's first run.
  if (stored) ReportUnusable(k, value);
  return ToRounded<T>(k.first_run).value_or(0);
}

}  // namespace

std::span<const SettingKey> SettingKeys() { return kKeys; }

const SettingKey& Setting(Key key) {
  return kKeys[static_cast<size_t>(key)];
}

namespace {

// Writes every first-run value, marker last; with `keep_present` an entry already in the store
// stays as it is (the marker is always written).
void WriteFirstRunEntries(SettingsStore& store, bool keep_present) {
  std::vector<SettingsStore::Entry> entries;
  entries.reserve(std::size(kKeys));
  for (const SettingKey& k : kKeys) {
    const bool marker = &k == &kKeys[std::size(kKeys) - 1];
    entries.push_back({k.first_run_section, k.first_run_key, k.first_run, keep_present && !marker});
  }
  store.SaveSettings(kAppName, entries);
}

}  // namespace

void WriteFirstRunValues(SettingsStore& store) {
  // After a reading problem an absent entry may be one the user wrote that could not be read:
  // the first-run values then only fill what is absent, and the marker is set.
  WriteFirstRunEntries(store, !store.ReadCleanly());
}

void WriteFirstRunValuesIfNew(SettingsStore& store) {
  const SettingKey& marker = Setting(Key::FirstRunMarker);
  if (store.GetSetting(kAppName, marker.section, marker.key, kAbsent) == kAbsent) {
    // No marker at all: a fresh store, or a file written by hand. Either way what is there is
    // the user's, so the first-run values only fill the gaps.
    WriteFirstRunEntries(store, true);
  } else if (ReadInteger(store, Reader::Saver, Key::FirstRunMarker) != 2) {
    WriteFirstRunValues(store);
  }
}

std::string ReadText(SettingsStore& store, Reader reader, Key key) {
  bool stored = false;
  return Read(store, reader, Setting(key), &stored);
}

int16_t ReadInteger(SettingsStore& store, Reader reader, Key key) {
  return ReadNumber<int16_t>(store, reader, key);
}

int32_t ReadLong(SettingsStore& store, Reader reader, Key key) {
  return ReadNumber<int32_t>(store, reader, key);
}

int16_t ReadNumericInteger(SettingsStore& store, Reader reader, Key key) {
  return ReadNumber<int16_t>(store, reader, key);
}

void WriteSetting(SettingsStore& store, Key key, const std::string& value) {
  const SettingKey& k = Setting(key);
  store.SaveSetting(kAppName, k.section, k.key, value);
}

std::optional<double> ParseNumber(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  // Only digits, one point and an exponent: no "inf", "nan" or hexadecimal forms.
  if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text.front())) ||
                        text.front() == '.')) {
    return std::nullopt;
  }
  double value = 0;
  auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

std::string ShownValue(std::string_view value) {
  std::string shown(value.substr(0, 40));
  for (char& c : shown) {
    if (static_cast<unsigned char>(c) < 0x20) c = '?';
  }
  if (value.size() > 40) shown += "...";
  return shown;
}

std::optional<int16_t> ToInteger(std::string_view text) { return ToRounded<int16_t>(text); }

}  // namespace larkspill

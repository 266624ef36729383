#include "settings/key_table.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <mutex>
#include <set>
#include <cctype>
#include <stdexcept>
#include <vector>

#include "settings/ini_format.h"

namespace larkspill {
namespace {

using C = Conversion;

// Every setting, in the order the first-run writer stores them.
constexpr SettingKey kKeys[] = {
    {"One", "Birds", "1", "1", "", C::Integer},
    {"one", "BirdSpeed", "25", "", "", C::Integer},
    {"One", "BirdTimer", "20", "", "", C::Text},
    {"One", "Butter1", "1", "", "", C::Integer},
    {"One", "Butter2", "1", "", "", C::Integer},
    {"One", "Clock", "1", "1", "1", C::Integer},
    {"One", "FontSize", "24", "1", "1", C::Integer},
    {"One", "Monitor", "Never", nullptr, nullptr, C::Text},
    {"One", "MouseSens", "4", "1", "1", C::Integer},
    {"One", "NumButter", "3", "", "", C::Integer},
    {"One", "Power", "0", nullptr, nullptr, C::Text},
    {"One", "Scroll", "1", "1", "1", C::Integer},
    {"One", "ScrollSec", "60", "1", nullptr, C::Long},
    {"One", "SingleBird", "1", "", "", C::Integer},
    {"One", "SoundOff", "Never", "1", "1", C::Text},
    {"One", "Waterfall1", "1", "1", "1", C::Integer},
    {"One", "Waterfall2", "1", "1", "1", C::Integer},
    {"Startup", "CheckFont", "1", "1", "1", C::Text},
    {"Startup", "FontName", "Arial", "1", "1", C::Text},
    {"Startup", "SelectedFont", "2", nullptr, "1", C::Integer},
    {"Startup", "PwrSave", "1", "1", nullptr, C::Integer},
    {"Two", "FontSizeMsg", "24", "1", "1", C::Integer},
    {"Two", "Message", "Place a Message Here", "1", "1", C::Text},
    {"Two", "PosClock", "1", "1", "1", C::NumericThenInteger},
    {"Two", "ShowMessage", "0", "1", "1", C::Integer},
    {"Two", "SoundBirds", "1", "1", "1", C::Integer},
    {"Two", "SoundEagle", "1", "1", "1", C::Integer},
    {"Two", "SoundJungle", "1", "1", "1", C::Integer},
    {"Two", "SoundWater", "1", "1", "1", C::Integer},
    {"Two", "VolumeBirds", "-193", "1", "1", C::Integer},
    {"Two", "VolumeEagle", "-775", "1", "1", C::Integer},
    {"Two", "VolumeJungle", "-1492", "1", "1", C::Integer},
    {"Two", "VolumeWater", "-911", "1", "1", C::Integer},
    {"Two", "WaterSpeed", "150", "1", "1", C::Integer},
    {"System", "SetReg", "2", "1", nullptr, C::Integer},
};

// Stands for "absent" in a read, so that a stored text can be told from the reader's default.
const std::string kAbsent("\x01\x02" "absent" "\x02\x01");

const SettingKey& KeyOrDie(std::string_view section, std::string_view key) {
  const SettingKey* found = FindSettingKey(section, key);
  if (found == nullptr) {
    throw std::invalid_argument("unknown setting " + std::string(section) + "/" +
                                std::string(key));
  }
  return *found;
}

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
T ReadNumber(SettingsStore& store, Reader reader, std::string_view section, std::string_view key) {
  const SettingKey& k = KeyOrDie(section, key);
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

const SettingKey* FindSettingKey(std::string_view section, std::string_view key) {
  std::string s = FoldCase(section);
  std::string k = FoldCase(key);
  for (const SettingKey& entry : kKeys) {
    if (FoldCase(entry.section) == s && FoldCase(entry.key) == k) return &entry;
  }
  return nullptr;
}

void SetRegistry(SettingsStore& store) {
  std::vector<SettingsStore::Entry> entries;
  entries.reserve(std::size(kKeys));
  // After a reading problem an absent entry may be one the user wrote that could not be read:
  // the first-run values then only fill what is absent, and the marker is set.
  const bool keep_present = !store.ReadCleanly();
  for (const SettingKey& k : kKeys) {
    const bool marker = &k == &kKeys[std::size(kKeys) - 1];
    entries.push_back({k.section, k.key, k.first_run, keep_present && !marker});
  }
  store.SaveSettings(kAppName, entries);
}

void WriteFirstRunValuesIfNew(SettingsStore& store) {
  if (ReadInteger(store, Reader::Saver, "System", "SetReg") != 2) SetRegistry(store);
}

std::string ReadText(SettingsStore& store, Reader reader, std::string_view section,
                     std::string_view key) {
  bool stored = false;
  return Read(store, reader, KeyOrDie(section, key), &stored);
}

int16_t ReadInteger(SettingsStore& store, Reader reader, std::string_view section,
                    std::string_view key) {
  return ReadNumber<int16_t>(store, reader, section, key);
}

int32_t ReadLong(SettingsStore& store, Reader reader, std::string_view section,
                 std::string_view key) {
  return ReadNumber<int32_t>(store, reader, section, key);
}

int16_t ReadNumericInteger(SettingsStore& store, Reader reader, std::string_view section,
                           std::string_view key) {
  return ReadNumber<int16_t>(store, reader, section, key);
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

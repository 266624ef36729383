#include "settings/saver_settings.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace larkspill {
namespace {

using S = SaverSettings;
constexpr Reader kSaver = Reader::Saver;

// The flock's rest when the store holds neither "Always" nor a number: the first-run value.
constexpr double kDefaultFlockRest = 20;

// One setting's read: the key's text from the store, converted into its field.
using Fill = void (*)(SettingsStore& store, Key key, SaverSettings& out);

template <int16_t S::*field>
void Integer(SettingsStore& store, Key key, S& out) {
  out.*field = ReadInteger(store, kSaver, key);
}

// On only at exactly 1.
template <bool S::*field>
void Switch(SettingsStore& store, Key key, S& out) {
  out.*field = ReadInteger(store, kSaver, key) == 1;
}

template <std::string S::*field>
void Text(SettingsStore& store, Key key, S& out) {
  out.*field = ReadText(store, kSaver, key);
}

void SceneSeconds(SettingsStore& store, Key key, S& out) {
  out.scene_seconds = ReadLong(store, kSaver, key);
}

void ClockCorner(SettingsStore& store, Key key, S& out) {
  out.clock_corner = ReadNumericInteger(store, kSaver, key);
}

// Kept as text and compared with the number 1, so "1.0" is on too.
void FastStart(SettingsStore& store, Key key, S& out) {
  out.fast_start = ParseNumber(ReadText(store, kSaver, key)) == 1.0;
}

// Any value but 0 keeps the monitor on: the dialog's box shows it so.
void KeepMonitorOn(SettingsStore& store, Key key, S& out) {
  out.keep_monitor_on = ReadInteger(store, kSaver, key) != 0;
}

// "Always" (exact text) flies on without rest; a text that is no number rests the default time.
void FlockRestTime(SettingsStore& store, Key key, S& out) {
  const std::string text = ReadText(store, kSaver, key);
  out.flock_rest = text == "Always" ? FlockRest::AlwaysFlying : FlockRest::Seconds;
  out.flock_rest_seconds =
      out.flock_rest == FlockRest::AlwaysFlying ? 0 : ParseNumber(text).value_or(kDefaultFlockRest);
}

// "Never" (exact text, case included) keeps the sound on; so does a text that is no number, since
// it names no time to fall silent at (rather than stopping on the first second), and says so.
void SoundOffTime(SettingsStore& store, Key key, S& out) {
  const std::string text = ReadText(store, kSaver, key);
  const std::optional<double> minutes = text == "Never" ? std::nullopt : ParseNumber(text);
  out.sound_off = minutes ? SoundGoesOff::AfterMinutes : SoundGoesOff::Never;
  out.sound_off_minutes = minutes.value_or(0);
  if (!minutes && text != "Never") {
    const SettingKey& k = Setting(key);
    std::fprintf(stderr,
                 "larkspill: setting %s/%s holds \"%s\", which is not \"Never\" or a "
                 "number of minutes; using Never\n",
                 k.section, k.key, ShownValue(text).c_str());
  }
}

struct SaverRead {
  Key key;
  Fill fill;
};

// Every setting the saver reads, in the order it reads them.
constexpr SaverRead kSaverReads[] = {
    {Key::ButterflyCount, Integer<&S::butterfly_count>},
    {Key::BirdStepDelay, Integer<&S::bird_step_delay>},
    {Key::ShowSingleBirds, Switch<&S::show_single_birds>},
    {Key::FlockRest, FlockRestTime},
    {Key::ShowFirstButterflies, Switch<&S::show_first_butterflies>},
    {Key::ShowSecondButterflies, Switch<&S::show_second_butterflies>},
    {Key::ShowFlock, Switch<&S::show_flock>},
    {Key::FontFace, Text<&S::font_face>},
    {Key::SceneMinutes, Integer<&S::scene_minutes>},
    {Key::WaterSoundVolume, Integer<&S::water_sound_volume>},
    {Key::BirdSongVolume, Integer<&S::bird_song_volume>},
    {Key::JungleSoundVolume, Integer<&S::jungle_sound_volume>},
    {Key::EagleCallVolume, Integer<&S::eagle_call_volume>},
    {Key::WaterFrameDelay, Integer<&S::water_frame_delay>},
    {Key::MouseSensitivity, Integer<&S::mouse_sensitivity>},
    {Key::WaterSoundOn, Switch<&S::water_sound_on>},
    {Key::BirdSongOn, Switch<&S::bird_song_on>},
    {Key::JungleSoundOn, Switch<&S::jungle_sound_on>},
    {Key::EagleCallOn, Switch<&S::eagle_call_on>},
    {Key::ShowClock, Switch<&S::show_clock>},
    {Key::ClockFontSize, Integer<&S::clock_font_size>},
    {Key::Scene1InRotation, Switch<&S::scene1_in_rotation>},
    {Key::Scene2InRotation, Switch<&S::scene2_in_rotation>},
    {Key::ShowUserMessage, Switch<&S::show_user_message>},
    {Key::UserMessage, Text<&S::user_message>},
    {Key::MessageFontSize, Integer<&S::message_font_size>},
    {Key::ClockCorner, ClockCorner},
    {Key::SceneSeconds, SceneSeconds},
    {Key::SoundOffAfter, SoundOffTime},
    {Key::FastStart, FastStart},
    {Key::KeepMonitorOn, KeepMonitorOn},
    {Key::SpanMonitors, Switch<&S::span_monitors>},
};

}  // namespace

void ReadSaverSettings(SettingsStore& store, SaverSettings& settings, std::span<const Key> only) {
  for (const SaverRead& read : kSaverReads) {
    if (only.empty() || std::ranges::find(only, read.key) != only.end())
      read.fill(store, read.key, settings);
  }
}

}  // namespace larkspill

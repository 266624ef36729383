#include "settings/saver_settings.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "fakes/memory_store.h"

namespace larkspill {
namespace {

// Every field by name, as text, so that a table can say what a stored text becomes and a read
// can be checked to change no other field.
std::map<std::string, std::string> Fields(const SaverSettings& s) {
  const auto n = [](auto v) { return std::to_string(v); };
  const auto b = [](bool v) { return std::string(v ? "on" : "off"); };
  const auto num = [](double v) {
    std::string t = std::to_string(v);
    t.erase(t.find_last_not_of('0') + 1);
    if (t.back() == '.') t.pop_back();
    return t;
  };
  return {
      {"butterfly_count", n(s.butterfly_count)},
      {"bird_step_delay", n(s.bird_step_delay)},
      {"show_single_birds", b(s.show_single_birds)},
      {"flock_rest",
       s.flock_rest == FlockRest::AlwaysFlying ? "always" : num(s.flock_rest_seconds) + " s"},
      {"show_first_butterflies", b(s.show_first_butterflies)},
      {"show_second_butterflies", b(s.show_second_butterflies)},
      {"show_flock", b(s.show_flock)},
      {"font_face", s.font_face},
      {"show_clock", b(s.show_clock)},
      {"clock_font_size", n(s.clock_font_size)},
      {"clock_corner", n(s.clock_corner)},
      {"show_user_message", b(s.show_user_message)},
      {"user_message", s.user_message},
      {"message_font_size", n(s.message_font_size)},
      {"fast_start", b(s.fast_start)},
      {"scene_minutes", n(s.scene_minutes)},
      {"scene_seconds", n(s.scene_seconds)},
      {"scene1_in_rotation", b(s.scene1_in_rotation)},
      {"scene2_in_rotation", b(s.scene2_in_rotation)},
      {"water_frame_delay", n(s.water_frame_delay)},
      {"mouse_sensitivity", n(s.mouse_sensitivity)},
      {"water_sound_on", b(s.water_sound_on)},
      {"bird_song_on", b(s.bird_song_on)},
      {"jungle_sound_on", b(s.jungle_sound_on)},
      {"eagle_call_on", b(s.eagle_call_on)},
      {"water_sound_volume", n(s.water_sound_volume)},
      {"bird_song_volume", n(s.bird_song_volume)},
      {"jungle_sound_volume", n(s.jungle_sound_volume)},
      {"eagle_call_volume", n(s.eagle_call_volume)},
      {"sound_off",
       s.sound_off == SoundGoesOff::Never ? "never" : num(s.sound_off_minutes) + " min"},
      {"keep_monitor_on", b(s.keep_monitor_on)},
      {"span_monitors", b(s.span_monitors)},
  };
}

SaverSettings Read(MemoryStore& store) {
  SaverSettings s;
  ReadSaverSettings(store, s);
  return s;
}

// Each stored text lands in its own field, converted as the saver uses it, and in no other: a
// switch is on only at exactly 1 (the monitor's at anything but 0), a word is compared exactly,
// a number too wide for its field takes the first-run value, one that is no number too.
TEST(SaverSettings, EachStoredTextBecomesItsOwnTypedField) {
  const struct {
    const char* section;
    const char* key;
    const char* stored;
    const char* field;
    const char* expected;
  } cases[] = {
      {"one", "NumButter", "2", "butterfly_count", "2"},
      {"one", "NumButter", "many", "butterfly_count", "3"},
      {"one", "BirdSpeed", " 40 ", "bird_step_delay", "40"},
      {"one", "SingleBird", "2", "show_single_birds", "off"},
      {"one", "BirdTimer", "Always", "flock_rest", "always"},
      {"one", "BirdTimer", "always", "flock_rest", "20 s"},
      {"one", "BirdTimer", "45", "flock_rest", "45 s"},
      {"one", "BirdTimer", "2.5", "flock_rest", "2.5 s"},
      {"one", "Butter1", "0", "show_first_butterflies", "off"},
      {"one", "Butter2", "-1", "show_second_butterflies", "off"},
      {"one", "Birds", "1.0", "show_flock", "on"},
      {"one", "Birds", "0", "show_flock", "off"},
      {"Startup", "FontName", "DejaVu Sans", "font_face", "DejaVu Sans"},
      {"one", "Clock", "2", "show_clock", "off"},
      {"one", "FontSize", "18", "clock_font_size", "18"},
      {"two", "PosClock", "3.5", "clock_corner", "4"},
      {"two", "PosClock", "2.5", "clock_corner", "2"},
      {"two", "ShowMessage", "1", "show_user_message", "on"},
      {"two", "Message", " Gone fishing ", "user_message", " Gone fishing "},
      {"two", "FontSizeMsg", "9", "message_font_size", "9"},
      {"Startup", "CheckFont", "1.0", "fast_start", "on"},
      {"Startup", "CheckFont", "0", "fast_start", "off"},
      {"Startup", "CheckFont", "yes", "fast_start", "off"},
      {"one", "Scroll", "70000", "scene_minutes", "1"},
      {"one", "ScrollSec", "70000", "scene_seconds", "70000"},
      {"one", "waterfall1", "0", "scene1_in_rotation", "off"},
      {"One", "Waterfall2", "0", "scene2_in_rotation", "off"},
      {"two", "WaterSpeed", "321", "water_frame_delay", "321"},
      {"one", "MouseSens", "7", "mouse_sensitivity", "7"},
      {"two", "SoundWater", "0", "water_sound_on", "off"},
      {"two", "SoundBirds", "2", "bird_song_on", "off"},
      {"two", "SoundJungle", "0", "jungle_sound_on", "off"},
      {"two", "SoundEagle", "0", "eagle_call_on", "off"},
      {"two", "VolumeWater", "-11", "water_sound_volume", "-11"},
      {"two", "VolumeBirds", "-22", "bird_song_volume", "-22"},
      {"two", "VolumeJungle", "-33", "jungle_sound_volume", "-33"},
      {"two", "VolumeEagle", "-44", "eagle_call_volume", "-44"},
      {"one", "SoundOff", "45", "sound_off", "45 min"},
      {"one", "SoundOff", "7", "sound_off", "7 min"},
      {"one", "SoundOff", "NEVER", "sound_off", "never"},
      {"Startup", "PwrSave", "0", "keep_monitor_on", "off"},
      {"Startup", "PwrSave", "2", "keep_monitor_on", "on"},
      {"Startup", "SpanMonitors", "1", "span_monitors", "on"},
      {"startup", "spanmonitors", "2", "span_monitors", "off"},
  };
  MemoryStore first_run;
  WriteFirstRunValues(first_run);
  const std::map<std::string, std::string> before = Fields(Read(first_run));
  EXPECT_EQ(before.at("flock_rest"), "20 s");
  EXPECT_EQ(before.at("sound_off"), "never");
  EXPECT_EQ(before.at("keep_monitor_on"), "on");
  EXPECT_EQ(before.at("span_monitors"), "off");
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.key) + "=\"" + c.stored + "\"");
    MemoryStore store;
    WriteFirstRunValues(store);
    store.SaveSetting(kAppName, c.section, c.key, c.stored);
    ::testing::internal::CaptureStderr();
    std::map<std::string, std::string> after = Fields(Read(store));
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(after.at(c.field), c.expected);
    after[c.field] = before.at(c.field);
    EXPECT_EQ(after, before);
  }
}

// Absent keys take the saver's defaults; a text that is no time to fall silent at is Never and
// says so. Asked for some keys, the read changes only those: the sound reads its loops' switches
// again when it starts them.
TEST(SaverSettings, AbsentKeysTakeTheSaversDefaultsAndAReadOfSomeKeysChangesOnlyThem) {
  MemoryStore store;
  store.SaveSetting(kAppName, "one", "SoundOff", "soon");
  ::testing::internal::CaptureStderr();
  const std::map<std::string, std::string> read = Fields(Read(store));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "larkspill: setting one/SoundOff holds \"soon\", which is not \"Never\" or a number "
            "of minutes; using Never\n");
  EXPECT_EQ(read.at("sound_off"), "never");
  // The saver's absent "1" where it has one, the first-run value where its default is empty.
  EXPECT_EQ(read.at("font_face") + " " + read.at("user_message") + " " + read.at("flock_rest") +
                " " + read.at("butterfly_count") + " " + read.at("water_frame_delay") + " " +
                read.at("show_flock") + " " + read.at("keep_monitor_on") + " " +
                read.at("span_monitors"),
            "1 1 20 s 3 1 on on off");

  store.SaveSetting(kAppName, "two", "SoundWater", "0");
  store.SaveSetting(kAppName, "two", "SoundJungle", "0");
  store.SaveSetting(kAppName, "two", "SoundEagle", "0");
  SaverSettings some;
  const Key keys[] = {Key::WaterSoundOn, Key::BirdSongOn};
  ReadSaverSettings(store, some, keys);
  std::map<std::string, std::string> changed = Fields(some);
  EXPECT_EQ(changed.at("water_sound_on") + changed.at("bird_song_on"), "offon");
  changed["bird_song_on"] = "off";
  EXPECT_EQ(changed, Fields(SaverSettings()));
}

}  // namespace
}  // namespace larkspill

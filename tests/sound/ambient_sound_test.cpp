#include "sound/ambient_sound.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "fakes/memory_store.h"
#include "fakes/recording_sound_device.h"
#include "settings/key_table.h"
#include "settings/saver_settings.h"

namespace larkspill {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

class AmbientSoundTest : public ::testing::Test {
 protected:
  // The calls made by the next `n` runs of the saver window's one-second timer's sound duties.
  std::vector<std::string> Ticks(int n) {
    device.calls.clear();
    for (int i = 0; i < n; ++i) sound.CountTowardsSoundOff(), sound.CountTowardsEagleCall();
    return device.calls;
  }

  // The saver window opening: settings read, sound-off set up, sounds started, counts at zero.
  void Open(const std::string& sound_off) {
    store.SaveSetting(kAppName, "one", "SoundOff", sound_off);
    ReadSaverSettings(store, settings);
    settings.eagle_call_on = true, settings.eagle_call_volume = -775;
    if (settings.sound_off != SoundGoesOff::Never) sound.SetSoundOffSeconds();
    sound.LoadSounds("/a/");
    sound.SoundOffCount = sound.EagleCount = 0;
  }

  std::vector<bool> Switches() const {
    return {settings.water_sound_on, settings.bird_song_on, settings.jungle_sound_on,
            settings.eagle_call_on};
  }

  MemoryStore store;
  testing::RecordingSoundDevice device;
  SaverSettings settings;
  AmbientSound sound{device, store, settings};
};

TEST_F(AmbientSoundTest, SessionsLoadTheFourWavesAndReadTheSwitchesOnlyOneStarts) {
  store.SaveSetting(kAppName, "Two", "SoundWater", "1");
  store.SaveSetting(kAppName, "Two", "SoundBirds", "1");  // SoundJungle absent: the saver reads 1
  settings.bird_song_volume = -2500;  // with the water's 0, both ends of the range pass unchanged
  settings.jungle_sound_volume = -1492;
  sound.LoadSounds("/a/");
  EXPECT_THAT(device.calls,
              ElementsAre("ReleaseSound 0", "ReleaseSound 0", "ReleaseSound 0", "ReleaseSound 0",
                          "LoadSound /a/nccf01.wav", "LoadSound /a/birds1.wav",
                          "LoadSound /a/jungle.wav", "LoadSound /a/eagle.wav", "PlaySoundLooped 1",
                          "SetSoundVolume 1 0", "PlaySoundLooped 2", "SetSoundVolume 2 -2500",
                          "PlaySoundLooped 3", "SetSoundVolume 3 -1492"));

  // The next session frees the first one's sounds and reads the switches from the store again.
  store.SaveSetting(kAppName, "two", "SoundWater", "0");
  store.SaveSetting(kAppName, "two", "SoundBirds", "2");
  store.SaveSetting(kAppName, "two", "SoundJungle", "-1");
  device.calls.clear();
  sound.LoadSounds("/b/");
  EXPECT_THAT(
      device.calls,
      ElementsAre("ReleaseSound 1", "ReleaseSound 2", "ReleaseSound 3", "ReleaseSound 4",
                  "LoadSound /b/nccf01.wav", "LoadSound /b/birds1.wav", "LoadSound /b/jungle.wav",
                  "LoadSound /b/eagle.wav", "StopSound 5", "StopSound 6", "StopSound 7"));
  EXPECT_EQ(Switches(), std::vector<bool>({false, false, false, false}));
  EXPECT_EQ(sound.EagleSound, 8);
}

TEST_F(AmbientSoundTest, SoundOffTurnsListedMinutesIntoSecondsAndLeavesOtherNumbersAlone) {
  // Compared as numbers, not texts; an unlisted number leaves the seconds at 0, so the sound falls
  // silent on the first tick; a text that is no number (-1 here) becomes Never, said once.
  std::vector<std::pair<std::string, int16_t>> table = {
      {"1.0", 60}, {" 5 ", 300}, {"+10", 600},       {"4.8e2", 28800}, {"7", 0}, {"0", 0},
      {"-1", 0},   {"1.5", 0},   {"99999999999", 0}, {"never", -1},    {"", -1}, {"off", -1}};
  // Every choice the dialog offers is that many minutes.
  for (int minutes : {1, 2, 3, 4, 5, 10, 15, 20, 30, 45, 60, 90, 120, 180, 240, 300, 360, 420, 480})
    table.emplace_back(std::to_string(minutes), static_cast<int16_t>(minutes * 60));
  for (const auto& [text, seconds] : table) {
    SaverSettings read;
    AmbientSound fresh(device, store, read);
    store.SaveSetting(kAppName, "one", "SoundOff", text);
    ::testing::internal::CaptureStderr();
    ReadSaverSettings(store, read);
    fresh.SetSoundOffSeconds();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(fresh.SoundOffSeconds, std::max<int16_t>(seconds, 0))
        << "SoundOff \"" << text << "\"";
    EXPECT_EQ(read.sound_off, seconds < 0 ? SoundGoesOff::Never : SoundGoesOff::AfterMinutes);
    EXPECT_EQ(err.empty(), seconds >= 0) << err;
    EXPECT_THAT(err, HasSubstr(seconds < 0 ? "one/SoundOff holds \"" + text + "\"" : ""));
    device.calls.clear();
    fresh.CountTowardsSoundOff();
    EXPECT_EQ(device.Count("StopAllSounds"), seconds == 0 ? 1u : 0u) << text;
  }
}

TEST_F(AmbientSoundTest, NeverKeepsEverySoundPlayingAndTheEagleCallsEachMinute) {
  Open("Never");
  EXPECT_THAT(Ticks(59), IsEmpty());
  EXPECT_THAT(Ticks(1), ElementsAre("PlaySound 4 -1 -1", "SetSoundVolume 4 -775"));
  EXPECT_EQ(sound.EagleCount, 0);
  Ticks(3000);
  EXPECT_EQ(device.Count("StopAllSounds"), 0u);
  EXPECT_EQ(device.Count("PlaySound 4 -1 -1"), 50u);

  // Switched off, the eagle is stopped instead.
  settings.eagle_call_on = false;
  EXPECT_THAT(Ticks(60), ElementsAre("StopSound 4"));
}

TEST_F(AmbientSoundTest, TheSoundFallsSilentOnItsTickThenOnEveryTickAcrossTheCountsWrap) {
  Open(ReadText(store, Reader::Saver, Key::SoundOffAfter));  // absent: one minute
  ASSERT_EQ(sound.SoundOffSeconds, 60);
  settings.water_sound_on = settings.bird_song_on = settings.jungle_sound_on = true;
  EXPECT_THAT(Ticks(59), IsEmpty());
  // The same tick silences everything first, so the eagle's first turn only stops it.
  EXPECT_THAT(Ticks(1), ElementsAre("StopAllSounds", "StopSound 4"));
  EXPECT_EQ(Switches(), std::vector<bool>(4, false));
  EXPECT_EQ(Ticks(60).back(), "StopSound 4");
  EXPECT_EQ(device.Count("StopAllSounds"), 60u);
  EXPECT_EQ(device.Count("StopSound 4"), 1u);

  // The tick that passes 86398 still silences, then starts the count again; below the delay
  // again nothing is silenced, but the switches stay off.
  sound.SoundOffCount = 86397;
  EXPECT_THAT(Ticks(2), ElementsAre("StopAllSounds", "StopAllSounds"));
  EXPECT_EQ(sound.SoundOffCount, 0);
  EXPECT_THAT(Ticks(59), ElementsAre("StopSound 4"));
  EXPECT_EQ(Switches(), std::vector<bool>(4, false));
}

}  // namespace
}  // namespace larkspill

#include "sound/ambient_sound.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "fakes/recording_sound_device.h"
#include "settings/key_table.h"
#include "settings/memory_store.h"

namespace larkspill {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

class AmbientSoundTest : public ::testing::Test {
 protected:
  void Store(const std::string& section, const std::string& key, const std::string& value) {
    store.SaveSetting(kAppName, section, key, value);
  }

  // The calls made by the next `n` runs of the saver window's one-second timer's sound duties.
  std::vector<std::string> Ticks(int n) {
    device.calls.clear();
    for (int i = 0; i < n; ++i) sound.Timer1SoundOff(), sound.Timer1Eagle();
    return device.calls;
  }

  // The session as the saver window opens it: settings read, sound-off set up, sounds started.
  void Open(const std::string& sound_off) {
    sound.SoundEagle = 1;
    sound.VolumeEagle = -775;
    sound.SoundOffSetting = sound_off;
    if (sound.SoundOffSetting != "Never") sound.SoundOff();
    sound.OpenDirectSoundSession("/a/");
    device.calls.clear();
  }

  MemoryStore store;
  testing::RecordingSoundDevice device;
  AmbientSound sound{device, store};
};

TEST_F(AmbientSoundTest, OpenLoadsTheFourWavesInOrderAndStartsTheLoopsAtTheirVolumes) {
  for (const char* key : {"SoundWater", "SoundBirds", "SoundJungle"}) Store("Two", key, "1");
  sound.VolumeWater = 0;  // both ends of the range pass through unchanged
  sound.VolumeBirds = -2500;
  sound.VolumeJungle = -1492;
  sound.SoundEagle = 1;
  sound.OpenDirectSoundSession("/a/");
  EXPECT_THAT(
      device.calls,
      ElementsAre("ReleaseSound 0", "ReleaseSound 0", "ReleaseSound 0", "ReleaseSound 0",
                  "LoadSound /a/nccf01.wav", "LoadSound /a/birds1.wav", "LoadSound /a/jungle.wav",
                  "LoadSound /a/eagle.wav", "PlaySoundLooped 1", "SetSoundVolume 1 0",  //
                  "PlaySoundLooped 2", "SetSoundVolume 2 -2500", "PlaySoundLooped 3",
                  "SetSoundVolume 3 -1492"));
  EXPECT_EQ(std::vector<int32_t>(
                {sound.WaterSound, sound.BirdsSound, sound.JungleSound, sound.EagleSound}),
            std::vector<int32_t>({1, 2, 3, 4}));

  // A second session frees the first one's sounds before loading new ones.
  device.calls.clear();
  sound.OpenDirectSoundSession("/b/");
  EXPECT_THAT(std::vector<std::string>(device.calls.begin(), device.calls.begin() + 5),
              ElementsAre("ReleaseSound 1", "ReleaseSound 2", "ReleaseSound 3", "ReleaseSound 4",
                          "LoadSound /b/nccf01.wav"));
  EXPECT_EQ(sound.WaterSound, 5);
  EXPECT_EQ(sound.EagleSound, 8);
}

TEST_F(AmbientSoundTest, SwitchesAreReadAgainAndOnlyOneStartsAndOnlyZeroStops) {
  // What the window read before is replaced by what the store holds now.
  sound.SoundWater = 1;
  sound.SoundBirds = 1;
  sound.SoundJungle = 0;
  Store("two", "SoundWater", "0");
  Store("two", "SoundBirds", "2");
  // SoundJungle absent: the saver reads "1".
  sound.VolumeJungle = -1492;

  sound.OpenDirectSoundSession("/a/");

  std::vector<std::string> after_loads(device.calls.begin() + 8, device.calls.end());
  EXPECT_THAT(after_loads,
              ElementsAre("StopSound 1", "PlaySoundLooped 3", "SetSoundVolume 3 -1492"));
  EXPECT_EQ(std::vector<int16_t>({sound.SoundWater, sound.SoundBirds, sound.SoundJungle}),
            std::vector<int16_t>({0, 2, 1}));

  device.calls.clear();
  Store("two", "SoundWater", "-1");
  Store("two", "SoundBirds", "0");
  Store("two", "SoundJungle", "0");
  sound.OpenDirectSoundSession("/a/");
  after_loads.assign(device.calls.begin() + 8, device.calls.end());
  EXPECT_THAT(after_loads, ElementsAre("StopSound 6", "StopSound 7"));
}

TEST_F(AmbientSoundTest, SoundOffTurnsListedMinutesIntoSecondsAndLeavesOtherNumbersAlone) {
  // The listed minutes, compared as numbers rather than texts; numbers not in the list keep what
  // was there (123).
  const std::vector<std::pair<std::string, int16_t>> table = {
      {"1", 60},    {"45", 2700}, {"480", 28800},   {"1.0", 60},
      {" 5 ", 300}, {"+10", 600}, {"4.8e2", 28800}, {"7", 123},
      {"0", 123},   {"-1", 123},  {"1.5", 123},     {"99999999999", 123}};
  for (const auto& [text, seconds] : table) {
    AmbientSound fresh(device, store);
    fresh.SoundOffSeconds = 123;
    fresh.SoundOffSetting = text;
    fresh.SoundOff();
    EXPECT_EQ(fresh.SoundOffSeconds, seconds) << "SoundOff \"" << text << "\"";
    EXPECT_EQ(fresh.SoundOffSetting, text);
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

  // An eagle switch that is neither 0 nor 1 sends nothing; 0 stops the eagle.
  sound.SoundEagle = 2;
  EXPECT_THAT(Ticks(60), IsEmpty());
  EXPECT_EQ(sound.EagleCount, 0);
  sound.SoundEagle = 0;
  EXPECT_THAT(Ticks(60), ElementsAre("StopSound 4"));
}

TEST_F(AmbientSoundTest, AnAbsentSoundOffSilencesOnTheSixtiethTickBeforeTheEagleCalls) {
  // The saver reads "1" for an absent SoundOff: one minute.
  Open(ReadText(store, Reader::Saver, "one", "SoundOff"));
  ASSERT_EQ(sound.SoundOffSeconds, 60);
  sound.SoundWater = sound.SoundBirds = sound.SoundJungle = 1;

  EXPECT_THAT(Ticks(59), IsEmpty());
  EXPECT_EQ(sound.SoundWater, 1);
  // The same tick silences everything first, so the eagle's first turn only stops it.
  EXPECT_THAT(Ticks(1), ElementsAre("StopAllSounds", "StopSound 4"));
  EXPECT_EQ(std::vector<int16_t>(
                {sound.SoundWater, sound.SoundBirds, sound.SoundJungle, sound.SoundEagle}),
            std::vector<int16_t>({0, 0, 0, 0}));

  // Silencing repeats on every later tick; the eagle never calls again.
  EXPECT_EQ(Ticks(60).back(), "StopSound 4");
  EXPECT_EQ(device.Count("StopAllSounds"), 60u);
  EXPECT_EQ(device.Count("StopSound 4"), 1u);
}

TEST_F(AmbientSoundTest, AMinuteValueNotInTheListSilencesOnTheFirstTick) {
  Open("7");
  EXPECT_EQ(sound.SoundOffSeconds, 0);
  EXPECT_THAT(Ticks(1), ElementsAre("StopAllSounds"));
  EXPECT_EQ(sound.SoundEagle, 0);
}

TEST_F(AmbientSoundTest, TheSoundOffCountWrapsWithoutBringingSoundBack) {
  Open("480");
  sound.SoundOffCount = 86397;
  // The tick that passes 86398 still silences, then starts the count again.
  EXPECT_THAT(Ticks(1), ElementsAre("StopAllSounds"));
  EXPECT_THAT(Ticks(1), ElementsAre("StopAllSounds"));
  EXPECT_EQ(sound.SoundOffCount, 0);
  EXPECT_EQ(sound.SoundEagle, 0);

  // Below the delay again: no more silencing, but the switches stay off.
  sound.EagleCount = 0;
  EXPECT_THAT(Ticks(60), ElementsAre("StopSound 4"));
  EXPECT_EQ(sound.SoundOffCount, 60);
}

TEST_F(AmbientSoundTest, ASoundOffTextThatIsNoNumberKeepsTheSoundOnAndSaysSo) {
  for (const std::string text : {"never", "", "off"}) {
    device.calls.clear();
    AmbientSound fresh(device, store);
    fresh.SoundOffSetting = text;
    ::testing::internal::CaptureStderr();
    fresh.SoundOff();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_THAT(err, HasSubstr("one/SoundOff holds \"" + text + "\"")) << text;
    EXPECT_EQ(fresh.SoundOffSetting, "Never");
    for (int i = 0; i < 200; ++i) fresh.Timer1SoundOff();
    EXPECT_EQ(device.Count("StopAllSounds"), 0u) << text;
    EXPECT_EQ(fresh.SoundOffCount, 0);
  }
}

}  // namespace
}  // namespace larkspill

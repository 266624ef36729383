#include "sound/ambient_sound.h"

#include <array>
#include <cstdio>
#include <optional>

#include "settings/key_table.h"

namespace larkspill {

namespace {

// The text that switches the sound-off timer off; compared exactly, with case.
constexpr const char* kNever = "Never";

struct SoundOffStep {
  int16_t minutes;
  int16_t seconds;
};

// The sound-off choices, in the order they are tried.
constexpr std::array<SoundOffStep, 19> kSoundOffSteps = {{
    {1, 60},      {2, 120},     {3, 180},     {4, 240},     {5, 300},     {10, 600},   {15, 900},
    {20, 1200},   {30, 1800},   {45, 2700},   {60, 3600},   {90, 5400},   {120, 7200}, {180, 10800},
    {240, 14400}, {300, 18000}, {360, 21600}, {420, 25200}, {480, 28800},
}};

// The sound-off count returns to 0 once it passes this many seconds.
constexpr int32_t kSoundOffCountWrap = 86398;

// The eagle calls on every this many ticks of the one-second timer.
constexpr int16_t kEagleTicks = 60;

}  // namespace

void AmbientSound::LoadSounds(const std::string& asset_path) {
  ReleaseLoops();
  device_.ReleaseSound(EagleSound);

  WaterSound = device_.LoadSound(asset_path + "nccf01.wav");
  BirdsSound = device_.LoadSound(asset_path + "birds1.wav");
  JungleSound = device_.LoadSound(asset_path + "jungle.wav");
  EagleSound = device_.LoadSound(asset_path + "eagle.wav");

  // A switch starts its loop only at exactly 1 and stops it only at exactly 0.
  auto start_loop = [this](int16_t& sound_switch, Key key, int32_t id, int16_t volume) {
    sound_switch = ReadInteger(store_, Reader::Saver, key);
    if (sound_switch == 1) {
      device_.PlaySoundLooped(id);
      device_.SetSoundVolume(id, volume);
    } else if (sound_switch == 0) {
      device_.StopSound(id);
    }
  };
  start_loop(SoundWater, Key::WaterSoundOn, WaterSound, VolumeWater);
  start_loop(SoundBirds, Key::BirdSongOn, BirdsSound, VolumeBirds);
  start_loop(SoundJungle, Key::JungleSoundOn, JungleSound, VolumeJungle);
  // The eagle waits for its first minute to pass.
}

void AmbientSound::SetSoundOffSeconds() {
  if (SoundOffSetting == kNever) return;
  const std::optional<double> minutes = ParseNumber(SoundOffSetting);
  if (!minutes) {
    // Without a number of minutes there is no time to fall silent at: the sound stays on, as
    // with the first-run choice, rather than stopping on the first second.
    std::fprintf(stderr,
                 "larkspill: setting one/SoundOff holds \"%s\", which is not \"Never\" or a "
                 "number of minutes; using Never\n",
                 ShownValue(SoundOffSetting).c_str());
    SoundOffSetting = kNever;
    return;
  }
  for (const SoundOffStep& step : kSoundOffSteps) {
    if (*minutes == step.minutes) {
      SoundOffSeconds = step.seconds;
      return;
    }
  }
}

void AmbientSound::CountTowardsSoundOff() {
  if (SoundOffSetting == kNever) return;
  SoundOffCount += 1;
  if (SoundOffCount >= SoundOffSeconds) {
    device_.StopAllSounds();
    SoundWater = 0;
    SoundBirds = 0;
    SoundJungle = 0;
    SoundEagle = 0;
  }
  if (SoundOffCount > kSoundOffCountWrap) SoundOffCount = 0;
}

void AmbientSound::CountTowardsEagleCall() {
  EagleCount += 1;
  if (EagleCount == kEagleTicks) {
    if (SoundEagle == 1) {
      device_.PlaySound(EagleSound, -1, -1);
      device_.SetSoundVolume(EagleSound, VolumeEagle);
    } else if (SoundEagle == 0) {
      device_.StopSound(EagleSound);
    }
    EagleCount = 0;
  }
}

void AmbientSound::ReleaseLoops() {
  device_.ReleaseSound(WaterSound);
  device_.ReleaseSound(BirdsSound);
  device_.ReleaseSound(JungleSound);
}

}  // namespace larkspill

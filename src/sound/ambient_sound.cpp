#include "sound/ambient_sound.h"

#include <array>
#include <cstdio>
#include <optional>

#include "settings/key_table.h"

namespace larkspill {

namespace {

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

  // A switched-on loop starts at its volume; one switched off is stopped.
  static constexpr Key kLoopSwitches[] = {Key::WaterSoundOn, Key::BirdSongOn, Key::JungleSoundOn};
  ReadSaverSettings(store_, settings_, kLoopSwitches);
  auto start_loop = [this](bool on, int32_t id, int16_t volume) {
    if (on) {
      device_.PlaySoundLooped(id);
      device_.SetSoundVolume(id, volume);
    } else {
      device_.StopSound(id);
    }
  };
  start_loop(settings_.water_sound_on, WaterSound, settings_.water_sound_volume);
  start_loop(settings_.bird_song_on, BirdsSound, settings_.bird_song_volume);
  start_loop(settings_.jungle_sound_on, JungleSound, settings_.jungle_sound_volume);
  // The eagle waits for its first minute to pass.
}

void AmbientSound::SetSoundOffSeconds() {
  if (settings_.sound_off == SoundGoesOff::Never) return;
  for (const SoundOffStep& step : kSoundOffSteps) {
    if (settings_.sound_off_minutes == step.minutes) {
      SoundOffSeconds = step.seconds;
      return;
    }
  }
}

void AmbientSound::CountTowardsSoundOff() {
  if (settings_.sound_off == SoundGoesOff::Never) return;
  SoundOffCount += 1;
  if (SoundOffCount >= SoundOffSeconds) {
    device_.StopAllSounds();
    settings_.water_sound_on = false;
    settings_.bird_song_on = false;
    settings_.jungle_sound_on = false;
    settings_.eagle_call_on = false;  // the eagle too, at the sound-off time
  }
  if (SoundOffCount > kSoundOffCountWrap) SoundOffCount = 0;
}

void AmbientSound::CountTowardsEagleCall() {
  EagleCount += 1;
  if (EagleCount == kEagleTicks) {
    if (settings_.eagle_call_on) {
      device_.PlaySound(EagleSound, -1, -1);
      device_.SetSoundVolume(EagleSound, settings_.eagle_call_volume);
    } else {
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

void AmbientSound::StopForDarkMonitor() {
  device_.StopAllSounds();
  device_.StopAllSounds();
  ReleaseLoops();
  // The released loops cannot start again; the eagle, still loaded, is switched off.
  settings_.water_sound_on = settings_.bird_song_on = settings_.jungle_sound_on = false;
  settings_.eagle_call_on = false;  // silent from now on, in the dark and after
}

}  // namespace larkspill

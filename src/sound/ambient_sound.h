#pragma once

#include <cstdint>
#include <string>

#include "settings/saver_settings.h"
#include "settings/settings_store.h"
#include "sound/sound_device.h"

namespace larkspill {

// The saver's ambient sound: water, bird song and jungle loops, the eagle's minute call and
// the sound-off time. The saver window owns one and calls it from its load and its one-second
// timer. Its switches, volumes and sound-off time are the window's settings, which silencing
// switches off.
class AmbientSound {
 public:
  AmbientSound(SoundDevice& device, SettingsStore& store, SaverSettings& settings)
      : device_(device), store_(store), settings_(settings) {}

  // Loads the four waves from `asset_path` (a folder ending in '/') and starts the switched-on
  // loops at their volumes, their switches read from the store again. The eagle is loaded, not
  // started.
  void LoadSounds(const std::string& asset_path);
  // Turns the sound-off minutes into SoundOffSeconds; a number not in the list leaves it alone.
  void SetSoundOffSeconds();
  // Once a second: counts towards the sound-off time and silences every sound once it is up.
  void CountTowardsSoundOff();
  // Once a second: counts towards the eagle's call, once a minute.
  void CountTowardsEagleCall();
  // Releases the water, bird song and jungle loops; the eagle's call is kept.
  void ReleaseLoops();
  // The monitor has been dark a while: every sound stops and the loops are released. The eagle
  // falls silent for the rest of the run as well, as after the sound-off time: its minute call
  // would otherwise sound into a dark room and wake the sound device for it.
  void StopForDarkMonitor();

  // Sound ids; 0 before the first load.
  int32_t WaterSound = 0;
  int32_t BirdsSound = 0;
  int32_t JungleSound = 0;
  int32_t EagleSound = 0;

  int16_t SoundOffSeconds = 0;
  int32_t SoundOffCount = 0;
  int16_t EagleCount = 0;

 private:
  SoundDevice& device_;
  SettingsStore& store_;
  SaverSettings& settings_;
};

}  // namespace larkspill

#pragma once

#include "fakes/call_log.h"
#include "sound/sound_device.h"

namespace larkspill::testing {

// Records every call ("SetSoundVolume 1 -911"); LoadSound hands out ids 1, 2, 3 ...
class RecordingSoundDevice : public SoundDevice, public CallLog {
 public:
  int32_t LoadSound(const std::string& p) override { return Record("LoadSound", p), ++last_id; }
  void PlaySound(int32_t id, int32_t a, int32_t b) override { Record("PlaySound", id, a, b); }
  void ReleaseSound(int32_t id) override { Record("ReleaseSound", id); }
  void PlaySoundLooped(int32_t id) override { Record("PlaySoundLooped", id); }
  void StopSound(int32_t id) override { Record("StopSound", id); }
  void StopAllSounds() override { Record("StopAllSounds"); }
  void SetSoundVolume(int32_t id, int32_t volume) override { Record("SetSoundVolume", id, volume); }

  int32_t last_id = 0;
};

}  // namespace larkspill::testing

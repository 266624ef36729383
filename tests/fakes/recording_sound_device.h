#pragma once

#include <string>
#include <vector>

#include "sound/sound_device.h"

namespace larkspill::testing {

// Records every call as one line of text ("LoadSound /a/nccf01.wav", "SetSoundVolume 1 -911").
// LoadSound hands out ids 1, 2, 3 ...
class RecordingSoundDevice : public SoundDevice {
 public:
  int32_t LoadSound(const std::string& path) override {
    calls.push_back("LoadSound " + path);
    return ++last_id;
  }
  void PlaySound(int32_t id, int32_t a, int32_t b) override {
    calls.push_back("PlaySound " + std::to_string(id) + " " + std::to_string(a) + " " +
                    std::to_string(b));
  }
  void ReleaseSound(int32_t id) override { calls.push_back("ReleaseSound " + std::to_string(id)); }
  void PlaySoundLooped(int32_t id) override {
    calls.push_back("PlaySoundLooped " + std::to_string(id));
  }
  void StopSound(int32_t id) override { calls.push_back("StopSound " + std::to_string(id)); }
  void StopAllSounds() override { calls.push_back("StopAllSounds"); }
  void SetSoundVolume(int32_t id, int32_t volume) override {
    calls.push_back("SetSoundVolume " + std::to_string(id) + " " + std::to_string(volume));
  }

  size_t Count(const std::string& call) const {
    size_t n = 0;
    for (const auto& c : calls) n += (c == call);
    return n;
  }

  std::vector<std::string> calls;
  int32_t last_id = 0;
};

}  // namespace larkspill::testing

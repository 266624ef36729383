#pragma once

#include <cstdint>
#include <string>

namespace larkspill {

// Wave sounds, loops and volumes. Every operation accepts id 0 (never loaded), released ids
// and ids of files that could not be read; none of them throws.
class SoundDevice {
 public:
  virtual ~SoundDevice() = default;

  // Reads a wave file into a new sound ready to play. A file that cannot be read still gets an
  // id; that sound stays silent and standard error names the file once.
  virtual int32_t LoadSound(const std::string& path) = 0;
  // Plays the sound once from its start. The two further arguments are always -1.
  virtual void PlaySound(int32_t id, int32_t flags1, int32_t flags2) = 0;
  virtual void ReleaseSound(int32_t id) = 0;
  // Plays the sound and repeats it without a gap until stopped.
  virtual void PlaySoundLooped(int32_t id) = 0;
  virtual void StopSound(int32_t id) = 0;
  // Stops every sound; loaded sounds stay valid.
  virtual void StopAllSounds() = 0;
  // Volume in hundredths of a decibel: 0 is the file's own level, -2500 is 25 dB quieter.
  // Takes effect on a sound that is already playing.
  virtual void SetSoundVolume(int32_t id, int32_t volume) = 0;
};

}  // namespace larkspill

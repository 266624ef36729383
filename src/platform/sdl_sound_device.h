#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "sound/sound_device.h"

struct Mix_Chunk;

namespace larkspill {

// The sound device on SDL2_mixer: each loaded sound has a mixer channel of its own, loops repeat
// without a gap, and the volume is an exact gain applied to the sound's samples. Without an
// audio device the saver runs silent: every operation is accepted and does nothing. One
// instance at a time per process, as the mixer is process-wide.
class SdlSoundDevice : public SoundDevice {
 public:
  // The mixer's output format, fixed whatever the device: SDL converts for the hardware.
  static constexpr int kFrequency = 44100;
  static constexpr int kChannels = 2;
  static constexpr int kBufferFrames = 1024;
  // The accepted volume range; -10000, 100 dB down, is silence.
  static constexpr int32_t kMinVolume = -10000;
  static constexpr int32_t kMaxVolume = 0;

  // Opens the audio device; when it cannot, standard error says why once and the device stays
  // silent.
  SdlSoundDevice();
  ~SdlSoundDevice() override;
  SdlSoundDevice(const SdlSoundDevice&) = delete;
  SdlSoundDevice& operator=(const SdlSoundDevice&) = delete;

  int32_t LoadSound(const std::string& path) override;
  void PlaySound(int32_t id, int32_t flags1, int32_t flags2) override;
  void ReleaseSound(int32_t id) override;
  void PlaySoundLooped(int32_t id) override;
  void StopSound(int32_t id) override;
  void StopAllSounds() override;
  void SetSoundVolume(int32_t id, int32_t volume) override;

  // The output format: frames per second and channels, samples signed 16-bit in native order.
  struct Format {
    int frequency;
    int channels;
  };
  // The format the mixer writes, or nullopt when running silent.
  std::optional<Format> DeviceFormat() const;
  // Why the device runs silent; empty when it has sound.
  const std::string& SilentReason() const { return silent_reason_; }

  // Linear gain of a volume in hundredths of a decibel, clamped to the accepted range.
  static double GainOf(int32_t volume);

 private:
  // A mixer channel's gain, read by the mixer thread while the sound plays.
  struct Channel {
    std::atomic<float> gain{1.0f};
  };
  struct ChunkFree {
    void operator()(Mix_Chunk* chunk) const;
  };
  // A loaded sound; a file that could not be read has no chunk and no channel.
  struct Sound {
    std::unique_ptr<Mix_Chunk, ChunkFree> chunk;
    int channel = -1;
  };

  Sound* Find(int32_t id);
  // A free mixer channel for a new sound, or -1 when the mixer has none to give.
  int TakeChannel();
  // Starts a sound from its beginning; loops -1 repeats it until stopped.
  void Start(int32_t id, int loops);

  bool open_ = false;
  bool subsystem_ = false;
  std::string silent_reason_;
  int32_t next_id_ = 1;
  std::map<int32_t, Sound> sounds_;
  std::vector<std::unique_ptr<Channel>> channels_;  // index is the mixer channel number
  std::vector<int> free_channels_;
  std::set<std::string> reported_files_;
};

}  // namespace larkspill

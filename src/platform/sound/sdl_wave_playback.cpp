// The sound device's playing of waves: how a sound's wave reaches the output. A wave in the
// mixer's own format is read from its file a buffer at a time as its channel plays; any other is
// converted and held in memory. Either way the channel's gain is applied and the channels are
// mixed on the mixer's thread.

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/files/wave_file.h"
#include "platform/sound/sdl_sound_device.h"

namespace larkspill {

// Adding and taking away 1.5 * 2^23 rounds to the nearest whole number, ties to even, as lrintf
// does (the sum keeps no bits below 1), without a call per sample; in blocks of a fixed length
// the compiler does eight samples at once.
void ScaleSamples(int16_t* samples, int count, float gain) {
  constexpr float kRound = 12582912.0f;
  auto scale = [gain](int16_t& sample) {
    const float product = static_cast<float>(sample) * gain;
    sample = static_cast<int16_t>((product + kRound) - kRound);
  };
  constexpr int kBlock = 8;
  int i = 0;
  for (; i + kBlock <= count; i += kBlock) {
    for (int j = 0; j < kBlock; ++j) scale(samples[i + j]);
  }
  for (; i < count; ++i) scale(samples[i]);
}

// Sums of a block of a fixed length, gathered apart from `out` and `in` (which may overlap), the
// compiler does sixteen at once (saturating adds).
void MixSamples(int16_t* out, const int16_t* in, int count) {
  auto mix = [](int16_t sum, int16_t sample) {
    return static_cast<int16_t>(std::clamp(sum + sample, INT16_MIN, INT16_MAX));
  };
  constexpr int kBlock = 16;
  int i = 0;
  for (; i + kBlock <= count; i += kBlock) {
    int16_t sums[kBlock];
    for (int j = 0; j < kBlock; ++j) sums[j] = mix(out[i + j], in[i + j]);
    std::memcpy(out + i, sums, sizeof sums);
  }
  for (; i < count; ++i) out[i] = mix(out[i], in[i]);
}

void SdlSoundDevice::MixHook(void* udata, uint8_t* stream, int len) {
  auto* device = static_cast<SdlSoundDevice*>(udata);
  std::lock_guard<std::mutex> mixing(device->mix_mutex_);
  int16_t* buffer = device->mix_buffer_.data();
  const int most = static_cast<int>(device->mix_buffer_.size() * sizeof(int16_t));
  for (int at = 0; at < len; at += most) {
    const int piece = std::min(len - at, most);
    for (const auto& channel : device->channels_) {
      if (!channel->playing) continue;
      Fill(*channel, reinterpret_cast<uint8_t*>(buffer), piece);
      MixSamples(reinterpret_cast<int16_t*>(stream + at), buffer,
                 piece / static_cast<int>(sizeof(int16_t)));
    }
  }
}

// A file that has become shorter or unreadable plays silence where its samples are missing.
void SdlSoundDevice::Fill(Channel& channel, uint8_t* out, int len) {
  int64_t done = 0;
  while (done < len) {
    if (channel.played >= channel.data_bytes) {
      if (!channel.loop || channel.data_bytes == 0) {
        channel.playing = false;
        break;
      }
      channel.played = 0;  // the loop's seam
    }
    const int64_t piece = std::min<int64_t>(len - done, channel.data_bytes - channel.played);
    if (channel.memory != nullptr) {
      std::memcpy(out + done, channel.memory + channel.played, static_cast<size_t>(piece));
    } else if (!ReadAt(channel.fd, out + done, static_cast<size_t>(piece),
                       channel.data_offset + channel.played)) {
      std::memset(out + done, 0, static_cast<size_t>(piece));
    }
    done += piece;
    channel.played += piece;
  }
  std::memset(out + done, 0, static_cast<size_t>(len - done));
  const float gain = channel.gain.load(std::memory_order_relaxed);
  if (gain != 1.0f) ScaleSamples(reinterpret_cast<int16_t*>(out), len / 2, gain);
}

void SdlSoundDevice::ChunkFree::operator()(Mix_Chunk* chunk) const {
  Mix_FreeChunk(chunk);
}

SdlSoundDevice::Wave SdlSoundDevice::OpenWave(const std::string& path, std::string* error) {
  Wave wave;
  RegularFile file = OpenRegularFile(path, error);
  WaveLayout layout;
  if (!file.IsOpen() || !CheckWaveFile(file.fd(), file.size(), kFrequency, &layout, error)) {
    return wave;
  }
  if (layout.InMixerFormat(kFrequency) && SDL_BYTEORDER == SDL_LIL_ENDIAN) {
    wave.data_offset = layout.data_offset;
    wave.data_bytes = layout.data_bytes & ~int64_t{3};  // whole frames only
    wave.file = std::move(file);
    return wave;
  }
  // Any other format is converted by the mixer, read from the file that was checked.
  std::FILE* stream = StreamOnCopy(file.fd());
  if (stream == nullptr) {
    *error = "the file cannot be read";
    return wave;
  }
  wave.chunk.reset(Mix_LoadWAV_RW(SDL_RWFromFP(stream, SDL_TRUE), 1));
  if (!wave.chunk) *error = ErrorText(Mix_GetError(), "unreadable");
  return wave;
}

void SdlSoundDevice::Halt(int ch) {
  std::lock_guard<std::mutex> mixing(mix_mutex_);
  channels_[ch]->playing = false;
}

void SdlSoundDevice::Start(Sound& sound, int loops) {
  const Wave& wave = sound.wave;
  std::lock_guard<std::mutex> mixing(mix_mutex_);
  Channel& channel = *channels_[sound.channel];
  channel.fd = wave.file.IsOpen() ? wave.file.fd() : -1;
  channel.memory = wave.file.IsOpen() ? nullptr : wave.chunk->abuf;
  channel.data_offset = wave.data_offset;
  channel.data_bytes = wave.file.IsOpen() ? wave.data_bytes : wave.chunk->alen;
  channel.played = 0;
  channel.loop = loops != 0;
  channel.playing = true;
}

}  // namespace larkspill

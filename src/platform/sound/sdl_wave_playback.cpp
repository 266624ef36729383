// The sound device's playing of waves: how a sound's wave reaches the mixer. A wave in the
// mixer's own format is read from its file a buffer at a time as its channel plays; any other is
// converted and held in memory. Either way the channel's gain is applied on the mixer thread.

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/files/wave_file.h"
#include "platform/sound/sdl_sound_device.h"

namespace larkspill {

namespace {

// Scales a buffer of samples by its channel's gain.
void Scale(void* stream, int len, float gain) {
  if (gain == 1.0f) return;
  ScaleSamples(static_cast<Sint16*>(stream), len / static_cast<int>(sizeof(Sint16)), gain);
}

// A channel's gain on what it mixes. Runs on the mixer thread.
void SDLCALL ApplyGain(int /*chan*/, void* stream, int len, void* udata) {
  Scale(stream, len,
        static_cast<const std::atomic<float>*>(udata)->load(std::memory_order_relaxed));
}

}  // namespace

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

// The samples of a channel playing from its file, read in place of the silence the mixer gives
// it, then scaled by its gain. Runs on the mixer thread. A file that has become shorter or
// unreadable plays silence where its samples are missing.
void SdlSoundDevice::StreamFromFile(int /*chan*/, void* stream, int len, void* udata) {
  auto* channel = static_cast<Channel*>(udata);
  auto* out = static_cast<uint8_t*>(stream);
  int64_t done = 0;
  while (done < len) {
    if (channel->played >= channel->data_bytes) {
      if (!channel->loop) break;
      channel->played = 0;
    }
    const int64_t piece = std::min<int64_t>(len - done, channel->data_bytes - channel->played);
    if (!ReadAt(channel->fd, out + done, static_cast<size_t>(piece),
                channel->data_offset + channel->played)) {
      std::memset(out + done, 0, static_cast<size_t>(piece));
    }
    done += piece;
    channel->played += piece;
  }
  std::memset(out + done, 0, static_cast<size_t>(len - done));
  Scale(stream, len, channel->gain.load(std::memory_order_relaxed));
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

void SdlSoundDevice::Start(Sound& sound, int loops) {
  const int ch = sound.channel;
  Channel& channel = *channels_[ch];
  // Stopping first clears the channel's effects, so each is registered exactly once and is in
  // place before the first sample is mixed.
  Mix_HaltChannel(ch);
  Mix_UnregisterAllEffects(ch);
  const Wave& wave = sound.wave;
  if (wave.file.IsOpen()) {
    channel.fd = wave.file.fd();
    channel.data_offset = wave.data_offset;
    channel.data_bytes = wave.data_bytes;
    channel.played = 0;
    channel.loop = loops != 0;
    Mix_RegisterEffect(ch, StreamFromFile, nullptr, &channel);
    // Silence long enough to carry the sound once, or for ever.
    const auto silence = static_cast<int64_t>(silence_.size());
    const int passes = loops < 0 ? -1
                                 : static_cast<int>(std::min<int64_t>(
                                       (wave.data_bytes + silence - 1) / silence - 1, INT32_MAX));
    Mix_PlayChannelTimed(ch, silent_chunk_.get(), passes, -1);
  } else {
    channel.fd = -1;
    Mix_RegisterEffect(ch, ApplyGain, nullptr, &channel.gain);
    Mix_PlayChannelTimed(ch, wave.chunk.get(), loops, -1);
  }
}

}  // namespace larkspill

// The scene's four sounds, synthesised: running water, jungle, bird song and an eagle's call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace larkspill::assets {

inline constexpr int kSampleRate = 44100;

// A stereo sound, samples in [-1, 1].
struct Sound {
  std::vector<float> left, right;
  size_t frames() const { return left.size(); }
};

// 16-bit PCM RIFF WAVE file, stereo, 44100 Hz.
std::vector<uint8_t> EncodeWav(const Sound& sound);

// Seamless loops: the last sample leads into the first as any two neighbours do.
Sound SynthesizeWater();
Sound SynthesizeJungle();
Sound SynthesizeBirdSong();
// A single call that starts and ends in silence.
Sound SynthesizeEagle();

}  // namespace larkspill::assets

#pragma once

#include <cstdint>
#include <string>

namespace larkspill {

// What a wave file's chunks say about its sound, once they have been checked.
struct WaveLayout {
  uint16_t format = 0;  // 1 integer PCM, 2 and 0x11 ADPCM, 3 floating point, 6 A-law, 7 mu-law
  uint16_t channels = 0;
  uint32_t frequency = 0;
  uint16_t bits = 0;  // per sample
  uint16_t block_align = 0;
  int64_t data_offset = 0;  // where the samples start in the file
  int64_t data_bytes = 0;

  // Whether the samples are 16-bit PCM stereo at `frequency`, the mixer's own format, so they
  // can be played straight from the file.
  bool InMixerFormat(int mixer_frequency) const {
    return format == 1 && channels == 2 && bits == 16 && block_align == 4 &&
           frequency == static_cast<uint32_t>(mixer_frequency);
  }
  // An upper bound of the bytes the sound takes in memory once converted to 16-bit stereo at
  // `mixer_frequency`.
  int64_t ConvertedBytes(int mixer_frequency) const;
};

// A sound not in the mixer's format is converted and held in memory; no more than this is held
// for one sound (six minutes of 16-bit stereo at 44100 Hz).
inline constexpr int64_t kMaxConvertedWaveBytes = int64_t{64} << 20;

// Checks the RIFF WAVE file open as `fd` (a regular file of `size` bytes), reading only its chunk
// headers and its format: the format against what can be played and sane limits, every chunk
// before the samples and the samples themselves against what the file really holds (a chunk that
// claims more is a lie, not a file cut short), and, for a sound to be converted, the memory it
// would take once converted for a mixer at `mixer_frequency`. False, with `error` saying what is
// wrong, for a file the mixer should not be handed.
bool CheckWaveFile(int fd, int64_t size, int mixer_frequency, WaveLayout* layout,
                   std::string* error);

}  // namespace larkspill

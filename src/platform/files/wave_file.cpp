#include "platform/files/wave_file.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/files/little_endian.h"
#include "platform/files/regular_file.h"

namespace larkspill {
namespace {

// Chunks looked at before the samples; real files have a handful.
constexpr int kMaxChunks = 256;

bool Refuse(std::string* error, std::string reason) {
  *error = std::move(reason);
  return false;
}

// The bits a sample that each playable format has.
bool BitsFit(uint16_t format, uint16_t bits) {
  switch (format) {
    case 1:  // integer PCM
      return bits == 8 || bits == 16 || bits == 24 || bits == 32;
    case 3:  // floating point
      return bits == 32 || bits == 64;
    case 6:  // A-law
    case 7:  // mu-law
      return bits == 8;
    case 2:     // Microsoft ADPCM
    case 0x11:  // IMA ADPCM
      return bits == 4;
    default:
      return false;
  }
}

// Checks the format chunk's body (`bytes` of it read, `size` claimed).
bool ReadFormat(const uint8_t* fmt, int64_t size, WaveLayout* layout, std::string* error) {
  uint16_t format = LittleEndian16(fmt);
  // The extensible format names the real one at the start of its sub-format.
  if (format == 0xFFFE && size >= 40) format = LittleEndian16(fmt + 24);
  layout->format = format;
  layout->channels = LittleEndian16(fmt + 2);
  layout->frequency = LittleEndian32(fmt + 4);
  layout->block_align = LittleEndian16(fmt + 12);
  layout->bits = LittleEndian16(fmt + 14);
  if (layout->channels < 1 || layout->channels > 8) {
    return Refuse(error, std::to_string(layout->channels) + " channels (1 to 8 can be played)");
  }
  if (layout->frequency < 1000 || layout->frequency > 384000) {
    return Refuse(error, "a sample rate of " + std::to_string(layout->frequency) +
                             " Hz (1000 to 384000 can be played)");
  }
  if (!BitsFit(format, layout->bits)) {
    return Refuse(error, "format " + std::to_string(format) + " with " +
                             std::to_string(layout->bits) +
                             " bits a sample, which cannot be played");
  }
  if (layout->block_align == 0 ||
      (layout->bits >= 8 && layout->block_align < layout->channels * layout->bits / 8)) {
    return Refuse(error, "blocks of " + std::to_string(layout->block_align) +
                             " bytes, too small for its samples");
  }
  return true;
}

}  // namespace

int64_t WaveLayout::ConvertedBytes(int mixer_frequency) const {
  if (channels == 0 || bits == 0 || frequency == 0) return 0;
  // At most this many frames: every bit of the samples' chunk a sample (block headers only
  // make it fewer). Each number stays far below 2^63: 2^32 bytes, 8 bits, 2^19 Hz.
  const int64_t frames = data_bytes * 8 / (int64_t{channels} * bits);
  return (frames * mixer_frequency / frequency + 1) * 4;
}

bool CheckWaveFile(int fd, int64_t size, int mixer_frequency, WaveLayout* layout,
                   std::string* error) {
  uint8_t riff[12];
  if (size < 12 || !ReadAt(fd, riff, sizeof riff, 0) || std::memcmp(riff, "RIFF", 4) != 0 ||
      std::memcmp(riff + 8, "WAVE", 4) != 0) {
    return Refuse(error, "not a RIFF WAVE file");
  }
  WaveLayout found;
  bool format_seen = false;
  int64_t at = 12;
  for (int chunks = 0; at + 8 <= size; ++chunks) {
    if (chunks == kMaxChunks) {
      return Refuse(error,
                    "more than " + std::to_string(kMaxChunks) + " chunks before its samples");
    }
    uint8_t header[8];
    if (!ReadAt(fd, header, sizeof header, at)) return Refuse(error, "the file cannot be read");
    const int64_t claimed = LittleEndian32(header + 4);
    const int64_t body = at + 8;
    const int64_t held = size - body;
    const bool is_data = std::memcmp(header, "data", 4) == 0;
    if (claimed > held) {
      return Refuse(error, std::string(is_data ? "its samples claim " : "a chunk claims ") +
                               std::to_string(claimed) + " bytes, but the file holds " +
                               std::to_string(held) + " after its header");
    }
    if (std::memcmp(header, "fmt ", 4) == 0 && !format_seen) {
      uint8_t fmt[40] = {};
      if (claimed < 16)
        return Refuse(error, "a format chunk of " + std::to_string(claimed) + " bytes");
      if (!ReadAt(fd, fmt, static_cast<size_t>(std::min<int64_t>(claimed, sizeof fmt)), body)) {
        return Refuse(error, "the file cannot be read");
      }
      if (!ReadFormat(fmt, claimed, &found, error)) return false;
      format_seen = true;
    } else if (is_data) {
      if (!format_seen) return Refuse(error, "its samples come before their format");
      if (claimed == 0) return Refuse(error, "no samples");
      found.data_offset = body;
      found.data_bytes = claimed;
      const bool streamed =
          found.InMixerFormat(mixer_frequency) && std::endian::native == std::endian::little;
      if (!streamed && found.ConvertedBytes(mixer_frequency) > kMaxConvertedWaveBytes) {
        return Refuse(error, std::to_string(found.ConvertedBytes(mixer_frequency)) +
                                 " bytes once converted, more than the " +
                                 std::to_string(kMaxConvertedWaveBytes) + " held for one sound");
      }
      *layout = found;
      return true;
    }
    at = body + claimed + (claimed & 1);
  }
  return Refuse(error, format_seen ? "no samples (no data chunk)" : "no format chunk");
}

}  // namespace larkspill

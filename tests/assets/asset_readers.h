// Minimal readers for the generated bitmap and wave files, strict about the formats the saver
// relies on so a malformed file fails with a message naming it.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace larkspill::test {

struct Bitmap {
  int width = 0, height = 0, bits = 0;
  std::vector<std::array<uint8_t, 3>> palette;  // 8-bit files only
  std::vector<uint8_t> index;                   // 8-bit files only, rows top to bottom
  std::vector<std::array<uint8_t, 3>> rgb;      // every pixel as red, green, blue, top to bottom
  const std::array<uint8_t, 3>& at(int x, int y) const { return rgb[size_t(y) * width + x]; }
};

struct Wave {
  int channels = 0, rate = 0, bits = 0;
  std::vector<std::vector<int16_t>> samples;  // per channel
  double seconds() const { return samples.empty() ? 0 : double(samples[0].size()) / rate; }
};

// Reads an uncompressed 8- or 24-bit bitmap; on failure returns false and says why in error.
bool ReadBitmap(const std::filesystem::path& path, Bitmap& out, std::string& error);
// Reads a 16-bit PCM RIFF WAVE file.
bool ReadWave(const std::filesystem::path& path, Wave& out, std::string& error);

bool IsKey(const std::array<uint8_t, 3>& c);
// What the 16-bit display would key out: the key colour after 5-6-5 quantisation.
bool LooksLikeKey(const std::array<uint8_t, 3>& c);
// A pink or purple blend of a creature's edge with the key colour.
bool LooksLikeKeyFringe(const std::array<uint8_t, 3>& c);

}  // namespace larkspill::test

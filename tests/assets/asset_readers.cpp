#include "asset_readers.h"

#include <fstream>
#include <iterator>

namespace larkspill::test {
namespace {

bool Load(const std::filesystem::path& path, std::vector<uint8_t>& bytes, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path.string() + ": cannot open";
    return false;
  }
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

uint32_t U16(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8);
}
uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return U16(b, at) | (U16(b, at + 2) << 16);
}

}  // namespace

bool ReadBitmap(const std::filesystem::path& path, Bitmap& out, std::string& error) {
  std::vector<uint8_t> b;
  if (!Load(path, b, error)) return false;
  auto fail = [&](const std::string& why) {
    error = path.string() + ": " + why;
    return false;
  };
  if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return fail("not a bitmap file");
  if (U32(b, 2) != b.size()) return fail("file size field disagrees with the file");
  if (U32(b, 14) != 40) return fail("not a BITMAPINFOHEADER");
  int32_t w = int32_t(U32(b, 18)), h = int32_t(U32(b, 22));
  out.bits = int(U16(b, 28));
  if (w <= 0 || h <= 0) return fail("not a bottom-up bitmap with positive size");
  if (U16(b, 26) != 1 || U32(b, 30) != 0) return fail("compressed or multi-plane");
  if (out.bits != 24 && out.bits != 8) return fail("neither 8 nor 24 bits per pixel");
  out.width = w, out.height = h;
  size_t offset = U32(b, 10);
  size_t row = (size_t(w) * out.bits / 8 + 3) & ~size_t(3);
  if (offset + row * h > b.size()) return fail("pixel data runs past the end");
  out.palette.clear();
  if (out.bits == 8) {
    uint32_t used = U32(b, 46) ? U32(b, 46) : 256;
    if (54 + used * 4 > offset) return fail("palette overlaps the pixels");
    for (uint32_t i = 0; i < used; ++i)
      out.palette.push_back({b[54 + i * 4 + 2], b[54 + i * 4 + 1], b[54 + i * 4]});
  }
  out.rgb.assign(size_t(w) * h, {0, 0, 0});
  out.index.assign(out.bits == 8 ? size_t(w) * h : 0, 0);
  for (int y = 0; y < h; ++y) {
    const uint8_t* src = &b[offset + row * size_t(h - 1 - y)];
    for (int x = 0; x < w; ++x) {
      if (out.bits == 24) {
        out.rgb[size_t(y) * w + x] = {src[x * 3 + 2], src[x * 3 + 1], src[x * 3]};
      } else {
        uint8_t i = src[x];
        if (i >= out.palette.size()) return fail("pixel index beyond the palette");
        out.index[size_t(y) * w + x] = i;
        out.rgb[size_t(y) * w + x] = out.palette[i];
      }
    }
  }
  return true;
}

bool ReadWave(const std::filesystem::path& path, Wave& out, std::string& error) {
  std::vector<uint8_t> b;
  if (!Load(path, b, error)) return false;
  auto fail = [&](const std::string& why) {
    error = path.string() + ": " + why;
    return false;
  };
  if (b.size() < 12 || std::string(b.begin(), b.begin() + 4) != "RIFF" ||
      std::string(b.begin() + 8, b.begin() + 12) != "WAVE")
    return fail("not a RIFF WAVE file");
  if (U32(b, 4) + 8 != b.size()) return fail("RIFF size field disagrees with the file");
  bool have_format = false;
  for (size_t at = 12; at + 8 <= b.size();) {
    std::string id(b.begin() + long(at), b.begin() + long(at) + 4);
    size_t size = U32(b, at + 4);
    if (at + 8 + size > b.size()) return fail("chunk " + id + " runs past the end");
    if (id == "fmt ") {
      if (U16(b, at + 8) != 1) return fail("not PCM");
      out.channels = int(U16(b, at + 10));
      out.rate = int(U32(b, at + 12));
      out.bits = int(U16(b, at + 22));
      if (out.bits != 16) return fail("not 16 bits per sample");
      if (out.channels < 1 || out.channels > 2) return fail("neither mono nor stereo");
      have_format = true;
    } else if (id == "data") {
      if (!have_format) return fail("data before format");
      size_t frames = size / (2 * size_t(out.channels));
      out.samples.assign(size_t(out.channels), std::vector<int16_t>(frames));
      for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < out.channels; ++c)
          out.samples[size_t(c)][i] = int16_t(U16(b, at + 8 + (i * out.channels + size_t(c)) * 2));
      return true;
    }
    at += 8 + size + (size & 1);
  }
  return fail("no data chunk");
}

bool IsKey(const std::array<uint8_t, 3>& c) {
  return c[0] == 255 && c[1] == 0 && c[2] == 255;
}

bool LooksLikeKey(const std::array<uint8_t, 3>& c) {
  return (c[0] >> 3) == 31 && (c[1] >> 2) == 0 && (c[2] >> 3) == 31;
}

bool LooksLikeKeyFringe(const std::array<uint8_t, 3>& c) {
  // Red and blue both high and well above green: a mix of a dark or neutral edge with magenta.
  return c[0] > 110 && c[2] > 110 && c[1] + 60 < std::min(c[0], c[2]);
}

}  // namespace larkspill::test

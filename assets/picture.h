// Pictures in memory and their encodings as Windows bitmap files.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace larkspill::assets {

struct Rgb {
  float r = 0, g = 0, b = 0;
};

inline Rgb Mix(Rgb a, Rgb b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
inline Rgb Scale(Rgb a, float s) {
  return {a.r * s, a.g * s, a.b * s};
}
inline Rgb Add(Rgb a, Rgb b) {
  return {a.r + b.r, a.g + b.g, a.b + b.b};
}
// A colour from 0-255 components.
inline Rgb Rgb255(int r, int g, int b) {
  return {r / 255.0f, g / 255.0f, b / 255.0f};
}

// A colour channel from 0 to 1 rounded to 8 bits.
inline uint8_t To8(float v) {
  float c = std::round(v * 255.0f);
  return uint8_t(c < 0 ? 0 : (c > 255 ? 255 : c));
}

// A length on the scene in the pixels of a picture painted `scale` times as large.
inline int Scaled(double length, double scale) {
  return int(std::lround(length * scale));
}

// A finished picture: 8-bit red, green, blue per pixel, rows top to bottom.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;

  Picture() = default;
  Picture(int w, int h) : width(w), height(h), rgb(size_t(w) * h * 3) {}
  uint8_t* at(int x, int y) { return &rgb[(size_t(y) * width + x) * 3]; }
  const uint8_t* at(int x, int y) const { return &rgb[(size_t(y) * width + x) * 3]; }
  void Set(int x, int y, uint8_t r, uint8_t g, uint8_t b) {
    uint8_t* p = at(x, y);
    p[0] = r, p[1] = g, p[2] = b;
  }
  void Set(int x, int y, Rgb c) { Set(x, y, To8(c.r), To8(c.g), To8(c.b)); }
};

// The exact key colour of transparent sprite pixels.
inline constexpr uint8_t kKeyR = 255, kKeyG = 0, kKeyB = 255;

// True when the display, which keeps 5, 6 and 5 bits of red, green and blue, would take this
// colour for the key colour.
inline bool LooksLikeKey(const uint8_t* p) {
  return (p[0] >> 3) == (kKeyR >> 3) && (p[1] >> 2) == (kKeyG >> 2) && (p[2] >> 3) == (kKeyB >> 3);
}

// Moves a colour that is not meant to be transparent off the key colour.
inline void KeepOffKey(uint8_t* p) {
  if (LooksLikeKey(p)) p[1] = 8;
}

// The part of a picture at (x, y) of the given size.
Picture Crop(const Picture& source, int x, int y, int width, int height);
// Shrinks a picture by averaging the source area behind each target pixel.
Picture Downscale(const Picture& source, int width, int height);

// An uncompressed 24-bit bitmap file.
std::vector<uint8_t> EncodeBmp24(const Picture& picture);
// An 8-bit bitmap file with a 256-colour palette chosen for the picture (median cut) and
// error-diffusion dithering.
std::vector<uint8_t> EncodeBmp8(const Picture& picture);

}  // namespace larkspill::assets

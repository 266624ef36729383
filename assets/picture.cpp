#include "picture.h"

#include <algorithm>
#include <cmath>

namespace larkspill::assets {
namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// File header and BITMAPINFOHEADER for a bottom-up bitmap.
void PutHeaders(std::vector<uint8_t>& out, int width, int height, int bits, uint32_t palette_bytes,
                uint32_t image_bytes) {
  uint32_t offset = 14 + 40 + palette_bytes;
  out.push_back('B');
  out.push_back('M');
  Put32(out, offset + image_bytes);
  Put32(out, 0);
  Put32(out, offset);
  Put32(out, 40);
  Put32(out, uint32_t(width));
  Put32(out, uint32_t(height));
  Put16(out, 1);
  Put16(out, uint16_t(bits));
  Put32(out, 0);  // no compression
  Put32(out, image_bytes);
  Put32(out, 2835);  // 72 dots per inch
  Put32(out, 2835);
  Put32(out, bits == 8 ? 256 : 0);
  Put32(out, 0);
}

struct Box {
  std::vector<std::array<int, 3>> colours;
};

// Splits the picture's colours into up to 256 boxes along their widest channel and returns the
// mean colour of each box.
std::vector<std::array<int, 3>> MedianCutPalette(const Picture& picture) {
  std::vector<Box> boxes(1);
  for (size_t i = 0; i < picture.rgb.size(); i += 3)
    boxes[0].colours.push_back({picture.rgb[i], picture.rgb[i + 1], picture.rgb[i + 2]});
  while (boxes.size() < 256) {
    int best = -1, best_range = 0, best_channel = 0;
    for (size_t b = 0; b < boxes.size(); ++b) {
      if (boxes[b].colours.size() < 2) continue;
      for (int c = 0; c < 3; ++c) {
        int lo = 255, hi = 0;
        for (auto& col : boxes[b].colours) lo = std::min(lo, col[c]), hi = std::max(hi, col[c]);
        // Weight green most and blue least, as the eye does.
        int range = (hi - lo) * (c == 1 ? 4 : c == 0 ? 3 : 2);
        if (range > best_range) best = int(b), best_range = range, best_channel = c;
      }
    }
    if (best < 0) break;
    auto& cols = boxes[size_t(best)].colours;
    int c = best_channel;
    std::stable_sort(cols.begin(), cols.end(),
                     [c](const auto& a, const auto& b2) { return a[c] < b2[c]; });
    Box upper;
    upper.colours.assign(cols.begin() + long(cols.size() / 2), cols.end());
    cols.resize(cols.size() / 2);
    boxes.push_back(std::move(upper));
  }
  std::vector<std::array<int, 3>> palette;
  for (auto& box : boxes) {
    long sum[3] = {0, 0, 0};
    for (auto& col : box.colours)
      for (int c = 0; c < 3; ++c) sum[c] += col[c];
    long n = long(box.colours.size());
    palette.push_back(
        {int((sum[0] + n / 2) / n), int((sum[1] + n / 2) / n), int((sum[2] + n / 2) / n)});
  }
  while (palette.size() < 256) palette.push_back({0, 0, 0});
  return palette;
}

}  // namespace

Picture Crop(const Picture& source, int x0, int y0, int width, int height) {
  Picture out(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = source.at(x0 + x, y0 + y);
      out.Set(x, y, p[0], p[1], p[2]);
    }
  return out;
}

Picture Downscale(const Picture& source, int width, int height) {
  Picture out(width, height);
  double sx = double(source.width) / width, sy = double(source.height) / height;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      double x0 = x * sx, x1 = x0 + sx, y0 = y * sy, y1 = y0 + sy;
      double sum[3] = {0, 0, 0}, weight = 0;
      for (int yy = int(y0); yy < int(std::ceil(y1)) && yy < source.height; ++yy)
        for (int xx = int(x0); xx < int(std::ceil(x1)) && xx < source.width; ++xx) {
          double w = (std::min(x1, xx + 1.0) - std::max(x0, double(xx))) *
                     (std::min(y1, yy + 1.0) - std::max(y0, double(yy)));
          const uint8_t* p = source.at(xx, yy);
          for (int c = 0; c < 3; ++c) sum[c] += w * p[c];
          weight += w;
        }
      out.Set(x, y, uint8_t(std::lround(sum[0] / weight)), uint8_t(std::lround(sum[1] / weight)),
              uint8_t(std::lround(sum[2] / weight)));
    }
  return out;
}

std::vector<uint8_t> EncodeBmp24(const Picture& picture) {
  uint32_t row = uint32_t(picture.width * 3 + 3) & ~3u;
  std::vector<uint8_t> out;
  out.reserve(54 + row * picture.height);
  PutHeaders(out, picture.width, picture.height, 24, 0, row * uint32_t(picture.height));
  for (int y = picture.height - 1; y >= 0; --y) {
    for (int x = 0; x < picture.width; ++x) {
      const uint8_t* p = picture.at(x, y);
      out.push_back(p[2]);
      out.push_back(p[1]);
      out.push_back(p[0]);
    }
    for (uint32_t pad = uint32_t(picture.width * 3); pad < row; ++pad) out.push_back(0);
  }
  return out;
}

std::vector<uint8_t> EncodeBmp8(const Picture& picture) {
  auto palette = MedianCutPalette(picture);
  // Floyd-Steinberg error diffusion onto the palette.
  std::vector<float> work(picture.rgb.begin(), picture.rgb.end());
  std::vector<uint8_t> index(size_t(picture.width) * picture.height);
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x) {
      float* p = &work[(size_t(y) * picture.width + x) * 3];
      int best = 0;
      float best_d = 1e30f;
      for (int i = 0; i < 256; ++i) {
        float dr = p[0] - palette[size_t(i)][0], dg = p[1] - palette[size_t(i)][1],
              db = p[2] - palette[size_t(i)][2];
        float d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (d < best_d) best_d = d, best = i;
      }
      index[size_t(y) * picture.width + x] = uint8_t(best);
      for (int c = 0; c < 3; ++c) {
        float err = (p[c] - palette[size_t(best)][size_t(c)]) * 0.75f;  // damped: less grain
        auto spread = [&](int dx, int dy, float f) {
          int nx = x + dx, ny = y + dy;
          if (nx < 0 || nx >= picture.width || ny >= picture.height) return;
          work[(size_t(ny) * picture.width + nx) * 3 + size_t(c)] += err * f;
        };
        spread(1, 0, 7 / 16.0f);
        spread(-1, 1, 3 / 16.0f);
        spread(0, 1, 5 / 16.0f);
        spread(1, 1, 1 / 16.0f);
      }
    }
  uint32_t row = uint32_t(picture.width + 3) & ~3u;
  std::vector<uint8_t> out;
  PutHeaders(out, picture.width, picture.height, 8, 1024, row * uint32_t(picture.height));
  for (auto& col : palette) {
    out.push_back(uint8_t(col[2]));
    out.push_back(uint8_t(col[1]));
    out.push_back(uint8_t(col[0]));
    out.push_back(0);
  }
  for (int y = picture.height - 1; y >= 0; --y) {
    for (int x = 0; x < picture.width; ++x) out.push_back(index[size_t(y) * picture.width + x]);
    for (uint32_t pad = uint32_t(picture.width); pad < row; ++pad) out.push_back(0);
  }
  return out;
}

}  // namespace larkspill::assets

// larkspill_assetgen [--scale S [--area LEFT,TOP,WIDTH,HEIGHT]] OUTPUT_FOLDER: paints every bitmap
// and synthesises every wave file of the saver into OUTPUT_FOLDER; with --scale, only the
// pictures the saver shows, painted S times as large (S from 1 to 8) for a larger screen, and with
// --area the backgrounds cover that part of the scene (in scene pixels: a desk of monitors one
// scene spreads across). The output is the same, byte for byte, on every run.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "asset_generator.h"

namespace {

// The largest background painted, in pixels: a side as long as eight 4K monitors in a row, and
// 25 million pixels in all, a little more than three 4K monitors hold (the painter then needs
// about 400 MB).
constexpr double kLargestSide = 8 * 3840;
constexpr double kMostPixels = 25e6;

// A number in plain decimal notation, sign allowed; nullopt for anything else.
std::optional<double> Decimal(const std::string& text) {
  const size_t digits = text.find_first_not_of("+-");
  if (text.empty() || digits > 1 ||
      text.find_first_not_of("0123456789.", digits) != std::string::npos)
    return std::nullopt;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || *end != '\0' || !std::isfinite(value)) return std::nullopt;
  return value;
}

// LEFT,TOP,WIDTH,HEIGHT holding at least the wide backgrounds, and no larger than the largest
// background painted at `scale`.
std::optional<larkspill::scene_layout::SceneArea> Area(const std::string& text, double scale) {
  double v[4];
  size_t start = 0;
  for (int i = 0; i < 4; ++i) {
    const size_t comma = i < 3 ? text.find(',', start) : text.size();
    if (comma == std::string::npos) return std::nullopt;
    const std::optional<double> value = Decimal(text.substr(start, comma - start));
    if (!value) return std::nullopt;
    v[i] = *value;
    start = comma + 1;
  }
  const larkspill::scene_layout::SceneArea wide;
  const larkspill::scene_layout::SceneArea area{v[0], v[1], v[2], v[3]};
  const double eps = 1e-6;
  if (area.left > wide.left + eps || area.top > wide.top + eps ||
      area.left + area.width < wide.left + wide.width - eps ||
      area.top + area.height < wide.top + wide.height - eps ||
      area.width * scale > kLargestSide || area.height * scale > kLargestSide ||
      area.width * area.height * scale * scale > kMostPixels)
    return std::nullopt;
  return area;
}

}  // namespace

int main(int argc, char** argv) {
  const bool scaled = (argc == 4 || argc == 6) && std::string(argv[1]) == "--scale";
  const bool with_area = argc == 6 && std::string(argv[3]) == "--area";
  if ((argc != 2 && !scaled) || (argc == 6 && !with_area) || argv[argc - 1][0] == '\0') {
    std::fprintf(stderr,
                 "usage: larkspill_assetgen [--scale S [--area LEFT,TOP,WIDTH,HEIGHT]] "
                 "OUTPUT_FOLDER\n");
    return 2;
  }
  std::string error;
  if (scaled) {
    char* end = nullptr;
    const double scale = std::strtod(argv[2], &end);
    const bool decimal = std::strspn(argv[2], "0123456789.") == std::strlen(argv[2]);
    if (!decimal || end == argv[2] || *end != '\0' || !(scale >= 1 && scale <= 8)) {
      std::fprintf(stderr, "larkspill_assetgen: --scale takes a number from 1 to 8, not \"%s\"\n",
                   argv[2]);
      return 2;
    }
    larkspill::scene_layout::SceneArea area;
    if (with_area) {
      const std::optional<larkspill::scene_layout::SceneArea> given = Area(argv[4], scale);
      if (!given) {
        std::fprintf(stderr,
                     "larkspill_assetgen: --area takes LEFT,TOP,WIDTH,HEIGHT in scene pixels "
                     "holding -320,0,1440,600, at scale %s at most %.0f pixels a side and "
                     "%.0f in all, not \"%s\"\n",
                     argv[2], kLargestSide, kMostPixels, argv[4]);
        return 2;
      }
      area = *given;
    }
    if (larkspill::assets::GenerateScaledPictures(argv[argc - 1], scale, error, area)) return 0;
  } else if (larkspill::assets::GenerateAssets(argv[1], error)) {
    return 0;
  }
  std::fprintf(stderr, "larkspill_assetgen: %s\n", error.c_str());
  return 1;
}

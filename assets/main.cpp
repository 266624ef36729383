// larkspill_assetgen [--scale S] OUTPUT_FOLDER: paints every bitmap and synthesises every wave
// file of the saver into OUTPUT_FOLDER; with --scale, only the pictures the saver shows, painted S
// times as large (S from 1 to 8) for a larger screen. The output is the same, byte for byte, on
// every run.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "asset_generator.h"

int main(int argc, char** argv) {
  const bool scaled = argc == 4 && std::string(argv[1]) == "--scale";
  if ((argc != 2 && !scaled) || argv[argc - 1][0] == '\0') {
    std::fprintf(stderr, "usage: larkspill_assetgen [--scale S] OUTPUT_FOLDER\n");
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
    if (larkspill::assets::GenerateScaledPictures(argv[3], scale, error)) return 0;
  } else if (larkspill::assets::GenerateAssets(argv[1], error)) {
    return 0;
  }
  std::fprintf(stderr, "larkspill_assetgen: %s\n", error.c_str());
  return 1;
}

// larkspill_assetgen OUTPUT_FOLDER: paints every bitmap and synthesises every wave file of the
// saver into OUTPUT_FOLDER. The output is the same, byte for byte, on every run.
#include <cstdio>
#include <string>

#include "asset_generator.h"

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '\0') {
    std::fprintf(stderr, "usage: larkspill_assetgen OUTPUT_FOLDER\n");
    return 2;
  }
  std::string error;
  if (!larkspill::assets::GenerateAssets(argv[1], error)) {
    std::fprintf(stderr, "larkspill_assetgen: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

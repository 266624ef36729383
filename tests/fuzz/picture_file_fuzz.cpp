// Feeds arbitrary bytes to the picture reader as a file: nothing may crash or allocate beyond the
// caps, a picture read has the size its checked headers claim, and no refused file reaches SDL.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "platform/files/picture_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace larkspill;
  static const int fd = memfd_create("picture", MFD_CLOEXEC);
  if (fd < 0 || ftruncate(fd, 0) != 0 ||
      (size > 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))) {
    std::abort();
  }
  const auto file_size = static_cast<int64_t>(size);
  std::string checked_error;
  BmpLayout layout;
  const bool checked =
      CheckBmpHeaders(std::span<const uint8_t>(data, std::min(size, kBmpHeadBytes)), file_size,
                      &layout, &checked_error);

  static std::vector<uint8_t> rows;
  for (PictureDepth depth : {PictureDepth::k565, PictureDepth::kWidened}) {
    std::string error;
    SdlSurfacePtr read = ReadScenePicture(fd, file_size, rows, depth, &error);
    if (!read) {
      if (error.empty()) std::abort();  // every refusal says why
      continue;
    }
    const auto format =
        depth == PictureDepth::k565 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888;
    if (!checked || read->w != layout.width || read->h != layout.height ||
        read->w > kMaxPictureSide || read->h > kMaxPictureSide || read->format->format != format) {
      std::abort();
    }
  }
  return 0;
}

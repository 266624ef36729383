#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/files/sdl_ptrs.h"

namespace larkspill {

// The 32-bit format pictures are widened to for composition, and the composed frame's.
inline constexpr auto kWideFormat = SDL_PIXELFORMAT_RGB888;

// What a BMP file's headers say about its picture, once they have been checked.
struct BmpLayout {
  int32_t width = 0;
  int32_t height = 0;  // rows
  bool top_down = false;
  uint16_t bits = 0;         // per pixel
  uint32_t compression = 0;  // 0 none, 1 and 2 run lengths (8 and 4 bits), 3 bit fields
  int64_t data_offset = 0;   // where the pixels start in the file
  int64_t stride = 0;        // bytes a row of an uncompressed picture takes in the file
};

// The largest picture read: no side longer than the largest display, and at most 64 MiB of
// pixels once widened to 32 bits. A scene picture is 800 x 600 at most.
inline constexpr int32_t kMaxPictureSide = 8192;
inline constexpr int64_t kMaxPicturePixels = int64_t{4096} * 4096;
// No picture file is larger (the largest picture uncompressed at 32 bits, and some).
inline constexpr int64_t kMaxPictureFileBytes = int64_t{80} << 20;
// How much of the start of a file CheckBmpHeaders looks at: the file header and the largest
// info header.
inline constexpr size_t kBmpHeadBytes = 14 + 124;

// Checks the headers of a BMP file, `head` being its first bytes (kBmpHeadBytes, or the whole
// file when shorter) and `file_size` its real size: the picture's size, depth, compression and
// palette against sane limits, and the pixels it claims against what the file holds, with
// arithmetic that cannot overflow. False, with `error` saying what is wrong, for anything a
// reader should not be handed.
bool CheckBmpHeaders(std::span<const uint8_t> head, int64_t file_size, BmpLayout* layout,
                     std::string* error);

// How a scene picture is kept: quantised to RGB565, or that widened again to the frame's 32-bit
// xRGB by repeating each colour's top bits (so black, white and magenta stay exact). Both show the
// same colours; 16 bits take half the memory, 32 bits leave room for a key's alpha.
// kWidenedUnlessLarge keeps a picture of kLargePicturePixels or more (a background painted for a
// large screen) at 16 bits, where memory matters more than the wider copy's speed.
enum class PictureDepth { k565, kWidened, kWidenedUnlessLarge };
inline constexpr int64_t kLargePicturePixels = 2'000'000;

// Reads the BMP picture of the open regular file `fd` (`size` bytes) quantised to RGB565, kept
// at `depth`. Its headers are checked first; the common uncompressed 24-bit picture is read here
// a block of rows at a time, any other kind by SDL. `rows` is scratch space kept between calls.
// Null, with `error` set, when the file is not a picture that can be read.
SdlSurfacePtr ReadScenePicture(int fd, int64_t size, std::vector<uint8_t>& rows, PictureDepth depth,
                               std::string* error);

// Reads the BMP picture of the open regular file `fd` as the file has it, by SDL once its headers
// have been checked. Null, with `error` set, when it cannot be read.
SdlSurfacePtr ReadBmp(int fd, int64_t size, std::string* error);

}  // namespace larkspill

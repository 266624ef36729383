#include "platform/files/picture_file.h"

#include <pixman.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/files/little_endian.h"
#include "platform/files/regular_file.h"

namespace larkspill {
namespace {

// Rows of the plain reader are read in blocks of about this many bytes.
constexpr int64_t kReadBlockBytes = 64 * 1024;

bool Refuse(std::string* error, std::string reason) {
  *error = std::move(reason);
  return false;
}

std::string Size(int64_t width, int64_t height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

// Copies the rectangle `w` x `h` at (x, y) of `from` to (to_x, to_y) of `to`, converting the
// pixel format: to RGB565 by dropping each colour's low bits, as SDL's conversion does; from it
// by repeating each colour's top bits (so black, white and magenta stay exact).
void Convert(pixman_image_t* from, int x, int y, pixman_image_t* to, int to_x, int to_y, int w,
             int h) {
  pixman_image_composite32(PIXMAN_OP_SRC, from, nullptr, to, x, y, 0, 0, to_x, to_y, w, h);
}

// An image over a surface's pixels in `format`.
pixman_image_t* ImageOf(const SDL_Surface* surface, pixman_format_code_t format) {
  return pixman_image_create_bits(format, surface->w, surface->h,
                                  static_cast<uint32_t*>(surface->pixels), surface->pitch);
}

// An RGB565 picture in the frame's format.
SdlSurfacePtr Widen565(const SDL_Surface* picture) {
  SdlSurfacePtr wide(SDL_CreateRGBSurfaceWithFormat(0, picture->w, picture->h, 32, kWideFormat));
  if (!wide) return nullptr;
  pixman_image_t* from = ImageOf(picture, PIXMAN_r5g6b5);
  pixman_image_t* to = ImageOf(wide.get(), PIXMAN_x8r8g8b8);
  Convert(from, 0, 0, to, 0, 0, picture->w, picture->h);
  pixman_image_unref(to);
  pixman_image_unref(from);
  return wide;
}

// The common case read directly: an uncompressed 24-bit picture, a block of rows at a time
// quantised to RGB565 and, unless kept at 16 bits, widened again.
SdlSurfacePtr ReadPlainBmp(int fd, const BmpLayout& layout, std::vector<uint8_t>& rows,
                           PictureDepth depth, std::string* error) {
  const int width = layout.width;
  const int height = layout.height;
  const bool wide_kept = depth == PictureDepth::kWidened;
  SdlSurfacePtr wide(
      wide_kept ? SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, kWideFormat)
                : SDL_CreateRGBSurfaceWithFormat(0, width, height, 16, SDL_PIXELFORMAT_RGB565));
  if (!wide) {
    *error = SDL_GetError();
    return nullptr;
  }
  const int64_t block_rows = std::clamp<int64_t>(kReadBlockBytes / layout.stride, 1, height);
  rows.resize(static_cast<size_t>(block_rows * layout.stride));
  // The file's rows are blue, green, red bytes: pixman's r8g8b8 read as a 24-bit number.
  pixman_image_t* read = pixman_image_create_bits(PIXMAN_r8g8b8, width, block_rows,
                                                  reinterpret_cast<uint32_t*>(rows.data()),
                                                  static_cast<int>(layout.stride));
  std::vector<uint16_t> quantised(static_cast<size_t>(width + 1) / 2 * 2 * block_rows);
  const int quantised_stride = (width + 1) / 2 * 4;
  pixman_image_t* rgb565 =
      pixman_image_create_bits(PIXMAN_r5g6b5, width, block_rows,
                               reinterpret_cast<uint32_t*>(quantised.data()), quantised_stride);
  pixman_image_t* to = ImageOf(wide.get(), wide_kept ? PIXMAN_x8r8g8b8 : PIXMAN_r5g6b5);
  bool read_all = true;
  for (int first = 0; first < height && read_all; first += static_cast<int>(block_rows)) {
    const int count = std::min(static_cast<int>(block_rows), height - first);
    read_all = ReadAt(fd, rows.data(), static_cast<size_t>(count * layout.stride),
                      layout.data_offset + first * layout.stride);
    if (!read_all) break;
    Convert(read, 0, 0, rgb565, 0, 0, width, count);
    if (layout.top_down) {
      Convert(rgb565, 0, 0, to, 0, first, width, count);
      continue;
    }
    for (int i = 0; i < count; ++i)
      Convert(rgb565, 0, i, to, 0, height - 1 - (first + i), width, 1);
  }
  pixman_image_unref(to);
  pixman_image_unref(rgb565);
  pixman_image_unref(read);
  if (!read_all) {
    *error = "the file ends before its last row";
    return nullptr;
  }
  return wide;
}

// Reads and checks the headers of the file.
bool ReadLayout(int fd, int64_t size, BmpLayout* layout, std::string* error) {
  uint8_t head[kBmpHeadBytes];
  const size_t length = static_cast<size_t>(std::clamp<int64_t>(size, 0, sizeof head));
  if (!ReadAt(fd, head, length, 0)) return Refuse(error, "the file cannot be read");
  return CheckBmpHeaders(std::span<const uint8_t>(head, length), size, layout, error);
}

// The picture SDL reads from the file, whose headers have been checked.
SdlSurfacePtr LoadCheckedBmp(int fd, const BmpLayout& layout, std::string* error) {
  std::FILE* stream = StreamOnCopy(fd);
  if (stream == nullptr) {
    *error = "the file cannot be read";
    return nullptr;
  }
  SdlSurfacePtr loaded(SDL_LoadBMP_RW(SDL_RWFromFP(stream, SDL_TRUE), 1));
  if (!loaded) {
    *error = SDL_GetError();
    return nullptr;
  }
  if (loaded->w != layout.width || loaded->h != layout.height) {
    *error = "the picture read is not the size its headers claim";
    return nullptr;
  }
  return loaded;
}

}  // namespace

bool CheckBmpHeaders(std::span<const uint8_t> head, int64_t file_size, BmpLayout* layout,
                     std::string* error) {
  if (file_size <= 0) return Refuse(error, "the file is empty");
  if (head.size() < 18 || head[0] != 'B' || head[1] != 'M') {
    return Refuse(error, "not a BMP picture");
  }
  if (file_size > kMaxPictureFileBytes) {
    return Refuse(error, "the file is larger (" + std::to_string(file_size) +
                             " bytes) than any picture read (" +
                             std::to_string(kMaxPictureFileBytes) + " bytes)");
  }
  const int64_t data_offset = LittleEndian32(&head[10]);
  const uint32_t info_size = LittleEndian32(&head[14]);
  if (info_size != 12 && info_size != 40 && info_size != 52 && info_size != 56 &&
      info_size != 108 && info_size != 124) {
    return Refuse(error, "a BMP header of " + std::to_string(info_size) +
                             " bytes, which is no kind this reader knows");
  }
  if (head.size() < 14 + info_size) return Refuse(error, "the file ends inside its headers");
  const uint8_t* info = &head[14];
  int64_t width = 0;
  int64_t height = 0;
  uint16_t planes = 0;
  uint16_t bits = 0;
  uint32_t compression = 0;
  uint32_t colours_used = 0;
  int64_t palette_entry = 4;
  if (info_size == 12) {
    width = LittleEndian16(info + 4);
    height = LittleEndian16(info + 6);
    planes = LittleEndian16(info + 8);
    bits = LittleEndian16(info + 10);
    palette_entry = 3;
  } else {
    width = static_cast<int32_t>(LittleEndian32(info + 4));
    height = static_cast<int32_t>(LittleEndian32(info + 8));
    planes = LittleEndian16(info + 12);
    bits = LittleEndian16(info + 14);
    compression = LittleEndian32(info + 16);
    colours_used = LittleEndian32(info + 32);
  }
  const bool top_down = height < 0;
  height = std::abs(height);  // 64-bit: the most negative 32-bit height has a magnitude too
  if (planes != 1) return Refuse(error, std::to_string(planes) + " colour planes, not 1");
  if (width < 1 || height < 1) return Refuse(error, "no pixels (" + Size(width, height) + ")");
  if (width > kMaxPictureSide || height > kMaxPictureSide || width * height > kMaxPicturePixels) {
    return Refuse(error, Size(width, height) + " pixels, more than any picture read (" +
                             std::to_string(kMaxPictureSide) + " a side, " +
                             std::to_string(kMaxPicturePixels) + " in all)");
  }
  const bool depth_ok = (compression == 0 && (bits == 1 || bits == 4 || bits == 8 || bits == 16 ||
                                              bits == 24 || bits == 32)) ||
                        (compression == 1 && bits == 8 && !top_down) ||
                        (compression == 2 && bits == 4 && !top_down) ||
                        (compression == 3 && (bits == 16 || bits == 32));
  if (!depth_ok) {
    return Refuse(error, std::to_string(bits) + " bits a pixel stored with compression " +
                             std::to_string(compression) + ", which this reader does not read");
  }
  int64_t palette_bytes = 0;
  if (bits <= 8) {
    const int64_t most = int64_t{1} << bits;
    if (colours_used > most) {
      return Refuse(error, "a palette of " + std::to_string(colours_used) + " colours for " +
                               std::to_string(bits) + "-bit pixels, which can use " +
                               std::to_string(most));
    }
    palette_bytes = (colours_used != 0 ? colours_used : most) * palette_entry;
  }
  const int64_t masks_bytes = compression == 3 && info_size == 40 ? 12 : 0;
  if (data_offset < 14 + info_size + masks_bytes + palette_bytes) {
    return Refuse(error, "its pixels start at byte " + std::to_string(data_offset) +
                             ", inside its headers and palette");
  }
  if (data_offset >= file_size) return Refuse(error, "the file ends before its pixels");
  const int64_t stride = (width * bits + 31) / 32 * 4;
  if (compression == 0 || compression == 3) {
    const int64_t held = file_size - data_offset;
    if (stride * height > held) {
      return Refuse(error, "its headers claim " + Size(width, height) + " pixels in " +
                               std::to_string(stride * height) + " bytes, but the file holds " +
                               std::to_string(held));
    }
  }
  *layout = BmpLayout{static_cast<int32_t>(width),
                      static_cast<int32_t>(height),
                      top_down,
                      bits,
                      compression,
                      data_offset,
                      stride};
  return true;
}

SdlSurfacePtr ReadBmp(int fd, int64_t size, std::string* error) {
  BmpLayout layout;
  if (!ReadLayout(fd, size, &layout, error)) return nullptr;
  return LoadCheckedBmp(fd, layout, error);
}

SdlSurfacePtr ReadScenePicture(int fd, int64_t size, std::vector<uint8_t>& rows, PictureDepth depth,
                               std::string* error) {
  BmpLayout layout;
  if (!ReadLayout(fd, size, &layout, error)) return nullptr;
  if (depth == PictureDepth::kWidenedUnlessLarge) {
    depth = int64_t{layout.width} * layout.height >= kLargePicturePixels ? PictureDepth::k565
                                                                         : PictureDepth::kWidened;
  }
  if (layout.compression == 0 && layout.bits == 24) {
    return ReadPlainBmp(fd, layout, rows, depth, error);
  }
  SdlSurfacePtr loaded = LoadCheckedBmp(fd, layout, error);
  if (!loaded) return nullptr;
  SdlSurfacePtr quantised(SDL_ConvertSurfaceFormat(loaded.get(), SDL_PIXELFORMAT_RGB565, 0));
  if (!quantised) {
    *error = SDL_GetError();
    return nullptr;
  }
  loaded.reset();
  if (depth == PictureDepth::k565) return quantised;
  SdlSurfacePtr wide = Widen565(quantised.get());
  if (!wide) *error = SDL_GetError();
  return wide;
}

}  // namespace larkspill

#include "platform/display/picture_store.h"

#include <algorithm>
#include <cstddef>

#include "platform/files/picture_file.h"
#include "platform/files/regular_file.h"
#include "scene/scene_display.h"

namespace larkspill {

SDL_Rect KeyOnMagenta(SDL_Surface* wide) {
  int left = wide->w, right = -1, top = wide->h, bottom = -1;
  for (int y = 0; y < wide->h; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(wide->pixels) +
                                            static_cast<size_t>(y) * wide->pitch);
    int first = wide->w, last = -1;
    for (int x = 0; x < wide->w; ++x) {
      const bool key = (row[x] & 0xFFFFFF) == 0xFF00FF;
      row[x] = key ? 0 : (row[x] | 0xFF000000);
      if (!key) {
        first = std::min(first, x);
        last = x;
      }
    }
    if (last < 0) continue;
    left = std::min(left, first);
    right = std::max(right, last);
    top = std::min(top, y);
    bottom = y;
  }
  if (right < 0) return {0, 0, 0, 0};
  return {left, top, right - left + 1, bottom - top + 1};
}

const Picture& PictureStore::Get(const std::string& path, bool keyed) {
  auto key = std::make_pair(path, keyed);
  if (auto it = pictures_.find(key); it != pictures_.end()) return *it->second;

  std::string error;
  RegularFile file = OpenRegularFile(path, &error);
  SdlSurfacePtr wide;
  if (file.IsOpen()) {
    ++decodes_;
    // The display shows 16 bits per pixel: every picture is quantised to RGB565 once, here, and
    // a large one kept so where no key needs an alpha.
    wide = ReadScenePicture(file.fd(), file.size(), rows_,
                            keyed ? PictureDepth::kWidened : PictureDepth::kWidenedUnlessLarge,
                            &error);
  }
  if (!wide) throw AssetError("cannot load picture " + path + ": " + error);
  const SDL_Rect shows = keyed ? KeyOnMagenta(wide.get()) : SDL_Rect{0, 0, wide->w, wide->h};
  auto made = std::make_unique<Picture>();
  const bool at_16_bits = wide->format->BitsPerPixel == 16;
  made->image = pixman_image_create_bits(
      keyed ? PIXMAN_a8r8g8b8 : (at_16_bits ? PIXMAN_r5g6b5 : PIXMAN_x8r8g8b8), wide->w, wide->h,
      static_cast<uint32_t*>(wide->pixels), wide->pitch);
  if (made->image == nullptr) throw AssetError("cannot load picture " + path + ": out of memory");
  if (shows.w > 0) {
    const int bytes = wide->format->BytesPerPixel;
    made->showing = pixman_image_create_bits(
        pixman_image_get_format(made->image), shows.w, shows.h,
        reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(wide->pixels) +
                                    ptrdiff_t{shows.y} * wide->pitch + ptrdiff_t{shows.x} * bytes),
        wide->pitch);
    if (made->showing == nullptr) {
      throw AssetError("cannot load picture " + path + ": out of memory");
    }
  }
  made->shows = shows;
  made->pixels = std::move(wide);
  made->keyed = keyed;
  return *pictures_.emplace(key, std::move(made)).first->second;
}

}  // namespace larkspill

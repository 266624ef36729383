#pragma once

#include <pixman.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/files/sdl_ptrs.h"

namespace larkspill {

// A picture as the composer draws it: 32-bit pixels quantised to RGB565 and widened again; an
// opaque one as pixman's x8r8g8b8, a keyed one as a8r8g8b8 with its magenta at alpha 0.
struct Picture {
  SdlSurfacePtr pixels;
  pixman_image_t* image = nullptr;  // over `pixels`
  bool keyed = false;
  // The part that shows: the whole of an opaque picture, the box around a keyed one's pixels
  // that are not its key (empty when there are none), and `image` cut to it (the same pixels).
  // Only this part is drawn, so a creature's frame changes no more of the screen than it covers.
  SDL_Rect shows{};
  pixman_image_t* showing = nullptr;
  Picture() = default;
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;
  ~Picture() {
    if (showing != nullptr) pixman_image_unref(showing);
    if (image != nullptr) pixman_image_unref(image);
  }
};

// The pictures of the scene's files, each read once per way of drawing it.
class PictureStore {
 public:
  // The picture in the file at `path`, keyed (magenta left undrawn) or opaque. Throws
  // AssetError naming the file and what is wrong with it.
  const Picture& Get(const std::string& path, bool keyed);
  void Clear() { pictures_.clear(); }
  // How many files were read so far.
  int decodes() const { return decodes_; }

 private:
  std::map<std::pair<std::string, bool>, std::unique_ptr<Picture>> pictures_;
  std::vector<uint8_t> rows_;  // rows of the picture file being read
  int decodes_ = 0;
};

// Makes magenta (255, 0, 255) in a widened picture its transparent key: alpha 0 there (and the
// colour too, as pixman's premultiplied pixels have it), alpha 255 everywhere else. Gives the box
// around the pixels that are not the key (empty, w and h 0, when all are).
SDL_Rect KeyOnMagenta(SDL_Surface* wide);

}  // namespace larkspill

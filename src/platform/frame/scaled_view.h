#pragma once

#include <SDL.h>
#include <pixman.h>

#include <memory>
#include <vector>

#include "platform/frame/frame_composer.h"

namespace larkspill {

// Where the frame goes on a window: as large as fits, centred, with black bars on the other two
// sides. A window too small to hold a whole pixel of it in one direction shows nothing (w = 0).
struct ViewPlace {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
  bool operator==(const ViewPlace&) const = default;
};
ViewPlace PlaceView(int window_w, int window_h, int frame_w, int frame_h);

// A text drawn again at a scaled screen's size, and the window pixels it covers.
struct SharpText {
  std::shared_ptr<const TextPixels> text;
  int32_t x = 0;               // where its top left corner goes on the window
  int32_t y = 0;
  pixman_box32_t box{};        // the window pixels it covers, inside the view
  pixman_box32_t frame_box{};  // the text's place on the frame
};

// The frame as one window shows it. At the frame's own size the window's pixels are the frame's;
// at any other the scene is scaled to the view with a bilinear filter, and the texts drawn over
// it at the view's size, so they stay as sharp as the window's pixels allow.
class ScaledView {
 public:
  // Places the frame on a window of `window_w` x `window_h`.
  void Place(int window_w, int window_h, int frame_w, int frame_h);
  const ViewPlace& place() const { return place_; }
  // The frame shown pixel for pixel.
  bool exact() const { return exact_; }
  double scale_x() const { return scale_x_; }
  double scale_y() const { return scale_y_; }
  pixman_box32_t view_box() const {
    return {place_.x, place_.y, place_.x + place_.w, place_.y + place_.h};
  }

  // The window pixels a frame box reaches on the view, a frame pixel more on each side.
  pixman_box32_t WindowBox(const pixman_box32_t& frame_box) const;
  // `text`, rendered at the view's size, for a text drawn at `frame_box` on the frame.
  SharpText Sharp(std::shared_ptr<const TextPixels> text, const pixman_box32_t& frame_box) const;
  // Adds to `out` the window pixels that show `frame_changed` (the whole view when `whole`), and
  // where the texts were or now are when their place changed; `texts` (this frame's) replace
  // the last ones.
  void Changes(const Region& frame_changed, std::vector<SharpText> texts, bool whole,
               Region& out);

  // Paints the window's `box` (inside the view) into `target`, whose pixel (0, 0) is the
  // window's (origin_x, origin_y); `target_surface` is the same pixels for SDL, where texts are
  // blended. `frame` is what an exact view copies, `scene` what a scaled one filters.
  void Paint(pixman_image_t* frame, pixman_image_t* scene, const pixman_box32_t& box,
             pixman_image_t* target, SDL_Surface* target_surface, int origin_x,
             int origin_y) const;

 private:
  ViewPlace place_;
  bool exact_ = true;
  double scale_x_ = 1;
  double scale_y_ = 1;
  std::vector<SharpText> texts_;
};

}  // namespace larkspill

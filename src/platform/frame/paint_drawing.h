#pragma once

#include <SDL.h>
#include <pixman.h>

#include <cstdint>
#include <memory>

#include "platform/files/sdl_ptrs.h"

namespace larkspill {

// A text ready to draw: its pixels (32-bit ARGB, straight alpha, as SDL_ttf renders them), and
// an identity for what made them, so a scaled screen can ask for the same text at its own size.
struct TextPixels {
  SdlSurfacePtr surface;
  uint64_t id = 0;
};

// One drawing of a frame: a picture at its place, a text at its place, or the place filled with
// `colour` (0xRRGGBB). Two drawings that compare equal leave the same pixels.
struct Drawing {
  // Opaque: x8r8g8b8 (or r5g6b5); keyed: a8r8g8b8, each pixel either its key (0) or opaque.
  pixman_image_t* picture = nullptr;
  std::shared_ptr<const TextPixels> text;  // alive while a frame shows it
  pixman_box32_t where{};
  uint32_t colour = 0;
  bool opaque = false;
  bool operator==(const Drawing& other) const {
    return picture == other.picture && text == other.text && colour == other.colour &&
           where.x1 == other.where.x1 && where.y1 == other.where.y1 &&
           where.x2 == other.where.x2 && where.y2 == other.where.y2;
  }
};

// Draws `drawing` into `target` inside `clip` (both in the target's pixels, the drawing placed
// at its own). `target_surface` is the same pixels for SDL, where texts are blended.
void PaintDrawing(const Drawing& drawing, pixman_image_t* target, SDL_Surface* target_surface,
                  const pixman_box32_t& clip);

}  // namespace larkspill

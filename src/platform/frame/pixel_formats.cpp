#include "platform/frame/pixel_formats.h"

namespace larkspill {

pixman_format_code_t PixmanFormatOf(Uint32 sdl_format) {
  switch (sdl_format) {
    case SDL_PIXELFORMAT_RGB888: return PIXMAN_x8r8g8b8;
    case SDL_PIXELFORMAT_ARGB8888: return PIXMAN_a8r8g8b8;
    case SDL_PIXELFORMAT_BGR888: return PIXMAN_x8b8g8r8;
    case SDL_PIXELFORMAT_ABGR8888: return PIXMAN_a8b8g8r8;
    case SDL_PIXELFORMAT_RGBX8888: return PIXMAN_r8g8b8x8;
    case SDL_PIXELFORMAT_RGBA8888: return PIXMAN_r8g8b8a8;
    case SDL_PIXELFORMAT_BGRX8888: return PIXMAN_b8g8r8x8;
    case SDL_PIXELFORMAT_BGRA8888: return PIXMAN_b8g8r8a8;
    case SDL_PIXELFORMAT_ARGB2101010: return PIXMAN_a2r10g10b10;
    // Three bytes a pixel: SDL names them in memory order, pixman as a 24-bit number.
    case SDL_PIXELFORMAT_RGB24: return PIXMAN_b8g8r8;
    case SDL_PIXELFORMAT_BGR24: return PIXMAN_r8g8b8;
    case SDL_PIXELFORMAT_RGB565: return PIXMAN_r5g6b5;
    case SDL_PIXELFORMAT_BGR565: return PIXMAN_b5g6r5;
    case SDL_PIXELFORMAT_RGB555: return PIXMAN_x1r5g5b5;
    case SDL_PIXELFORMAT_BGR555: return PIXMAN_x1b5g5r5;
    default: return static_cast<pixman_format_code_t>(0);
  }
}

}  // namespace larkspill

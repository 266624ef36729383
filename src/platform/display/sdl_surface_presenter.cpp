#include "platform/display/sdl_surface_presenter.h"

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

bool SdlSurfacePresenter::Size(int* w, int* h, bool* renewed) {
  SDL_Surface* surface = SDL_GetWindowSurface(window_);
  if (surface == nullptr) return false;
  *renewed = surface != surface_ || surface->w != surface_w_ || surface->h != surface_h_;
  surface_ = surface;
  surface_w_ = surface->w;
  surface_h_ = surface->h;
  *w = surface->w;
  *h = surface->h;
  return true;
}

void SdlSurfacePresenter::Show(const ScaledView& view, const FrameComposer& frame,
                               const Region& boxes, bool whole) {
  SDL_Surface* surface = surface_;
  const pixman_format_code_t format = PixmanFormatOf(surface->format->format);
  if (format == 0 || (boxes.Empty() && !whole)) return;
  if (SDL_LockSurface(surface) != 0) return;
  pixman_image_t* target = pixman_image_create_bits(
      format, surface->w, surface->h, static_cast<uint32_t*>(surface->pixels), surface->pitch);
  if (target != nullptr) {
    if (whole) {
      const pixman_color_t black{0, 0, 0, 0xFFFF};
      const pixman_box32_t all{0, 0, surface->w, surface->h};
      pixman_image_fill_boxes(PIXMAN_OP_SRC, target, &black, 1, &all);
    }
    for (const pixman_box32_t& box : boxes.Boxes()) {
      view.Paint(frame.frame(), frame.scene(), box, target, surface, 0, 0);
    }
    pixman_image_unref(target);
  }
  SDL_UnlockSurface(surface);
  if (whole) {
    SDL_UpdateWindowSurface(window_);
    return;
  }
  rects_.clear();
  for (const pixman_box32_t& box : boxes.Boxes()) {
    rects_.push_back({box.x1, box.y1, box.x2 - box.x1, box.y2 - box.y1});
  }
  if (!rects_.empty()) {
    SDL_UpdateWindowSurfaceRects(window_, rects_.data(), static_cast<int>(rects_.size()));
  }
}

}  // namespace larkspill

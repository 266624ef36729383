#include "platform/x11/sdl_surface_presenter.h"

#include "platform/frame/pixel_formats.h"

namespace larkspill {

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

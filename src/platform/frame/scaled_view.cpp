#include "platform/frame/scaled_view.h"

#include <algorithm>
#include <cmath>
#include <span>

namespace larkspill {

ViewPlace PlaceView(int window_w, int window_h, int frame_w, int frame_h) {
  const int w = window_w;
  const int h = window_h;
  if (w <= 0 || h <= 0 || frame_w <= 0 || frame_h <= 0) return {};
  const float want_aspect = static_cast<float>(frame_w) / frame_h;
  const float real_aspect = static_cast<float>(w) / h;
  // A frame made for the window, its width rounded to whole pixels at the window's height, fills
  // it: its width is off by less than a frame pixel, where a bar would be a line of black.
  const bool made_for_it = std::abs(int64_t{frame_w} * h - int64_t{w} * frame_h) < h;
  ViewPlace view;
  if (made_for_it || std::fabs(want_aspect - real_aspect) < 0.0001F) {
    view = {0, 0, w, h};
  } else if (want_aspect > real_aspect) {
    view.w = w;
    view.h = static_cast<int>(std::floor(frame_h * (static_cast<float>(w) / frame_w)));
    view.y = (h - view.h) / 2;
  } else {
    view.h = h;
    view.w = static_cast<int>(std::floor(frame_w * (static_cast<float>(h) / frame_h)));
    view.x = (w - view.w) / 2;
  }
  if (view.w <= 0 || view.h <= 0) return {};
  return view;
}

void ScaledView::Place(int window_w, int window_h, int frame_w, int frame_h) {
  place_ = PlaceView(window_w, window_h, frame_w, frame_h);
  exact_ = place_.w == frame_w && place_.h == frame_h;
  scale_x_ = place_.w > 0 ? static_cast<double>(place_.w) / frame_w : 1;
  scale_y_ = place_.h > 0 ? static_cast<double>(place_.h) / frame_h : 1;
  texts_.clear();
}

pixman_box32_t ScaledView::WindowBox(const pixman_box32_t& frame_box) const {
  auto at = [](int64_t frame, double scale, int place) {
    return static_cast<int32_t>(std::clamp<int64_t>(std::llround(frame * scale) + place,
                                                    -(int64_t{1} << 30), int64_t{1} << 30));
  };
  return {at(int64_t{frame_box.x1} - 1, scale_x_, place_.x),
          at(int64_t{frame_box.y1} - 1, scale_y_, place_.y),
          at(int64_t{frame_box.x2} + 1, scale_x_, place_.x),
          at(int64_t{frame_box.y2} + 1, scale_y_, place_.y)};
}

SharpText ScaledView::Sharp(std::shared_ptr<const TextPixels> text,
                            const pixman_box32_t& frame_box) const {
  const SDL_Surface* surface = text->surface.get();
  // Frame places are far inside 32 bits once a text is on the frame at all.
  const auto left = std::clamp<int64_t>(std::lround(frame_box.x1 * scale_x_) + place_.x,
                                        -(int64_t{1} << 30), int64_t{1} << 30);
  const auto top = std::clamp<int64_t>(std::lround(frame_box.y1 * scale_y_) + place_.y,
                                       -(int64_t{1} << 30), int64_t{1} << 30);
  const pixman_box32_t view = view_box();
  auto clamp = [](int64_t v, int32_t low, int32_t high) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, low, high));
  };
  return {std::move(text),
          static_cast<int32_t>(left),
          static_cast<int32_t>(top),
          {clamp(left, view.x1, view.x2), clamp(top, view.y1, view.y2),
           clamp(left + surface->w, view.x1, view.x2), clamp(top + surface->h, view.y1, view.y2)},
          frame_box};
}

void ScaledView::Changes(const Region& frame_changed, std::vector<SharpText> texts, bool whole,
                         Region& out) {
  const pixman_box32_t view = view_box();
  if (IsEmpty(view)) return;
  if (whole) {
    out.Add(view.x1, view.y1, place_.w, place_.h, view);
    texts_ = std::move(texts);
    return;
  }
  if (exact_) out.AddMoved(frame_changed, place_.x, place_.y, view);
  for (const pixman_box32_t& b :
       exact_ ? std::span<const pixman_box32_t>{} : frame_changed.Boxes()) {
    // A filtered window pixel reads the frame pixels on both sides of its centre: one frame pixel
    // more on each side holds every window pixel a change reaches.
    const auto left = static_cast<int64_t>(std::floor((b.x1 - 1) * scale_x_));
    const auto top = static_cast<int64_t>(std::floor((b.y1 - 1) * scale_y_));
    const auto right = static_cast<int64_t>(std::ceil((b.x2 + 1) * scale_x_));
    const auto bottom = static_cast<int64_t>(std::ceil((b.y2 + 1) * scale_y_));
    out.Add(left + place_.x, top + place_.y, right - left, bottom - top, view);
  }
  for (const std::vector<SharpText>* list : {&texts_, &texts}) {
    for (const SharpText& text : *list) {
      if (frame_changed.Touches(text.frame_box)) {
        out.Add(text.box.x1, text.box.y1, text.box.x2 - text.box.x1, text.box.y2 - text.box.y1,
                view);
      }
    }
  }
  texts_ = std::move(texts);
}

void ScaledView::Paint(pixman_image_t* frame, pixman_image_t* scene, const pixman_box32_t& box,
                       pixman_image_t* target, SDL_Surface* target_surface, int origin_x,
                       int origin_y) const {
  const int w = box.x2 - box.x1;
  const int h = box.y2 - box.y1;
  if (w <= 0 || h <= 0) return;
  if (exact_) {
    pixman_image_composite32(PIXMAN_OP_SRC, frame, nullptr, target, box.x1 - place_.x,
                             box.y1 - place_.y, 0, 0, box.x1 - origin_x, box.y1 - origin_y, w, h);
    return;
  }
  // The window pixel whose centre is at u reads the frame at (u - the view's left) / scale.
  pixman_transform_t to_frame;
  pixman_transform_init_scale(&to_frame, pixman_double_to_fixed(1 / scale_x_),
                              pixman_double_to_fixed(1 / scale_y_));
  pixman_image_set_transform(scene, &to_frame);
  pixman_image_set_filter(scene, PIXMAN_FILTER_BILINEAR, nullptr, 0);
  // The frame's edge pixels carry on beyond it, so the view's edge is not darkened.
  pixman_image_set_repeat(scene, PIXMAN_REPEAT_PAD);
  pixman_image_composite32(PIXMAN_OP_SRC, scene, nullptr, target, box.x1 - place_.x,
                           box.y1 - place_.y, 0, 0, box.x1 - origin_x, box.y1 - origin_y, w, h);
  pixman_image_set_transform(scene, nullptr);
  pixman_image_set_filter(scene, PIXMAN_FILTER_NEAREST, nullptr, 0);
  pixman_image_set_repeat(scene, PIXMAN_REPEAT_NONE);

  for (const SharpText& text : texts_) {
    const pixman_box32_t inside = Intersect(text.box, box);
    if (IsEmpty(inside)) continue;
    SDL_Rect clip{inside.x1 - origin_x, inside.y1 - origin_y, inside.x2 - inside.x1,
                  inside.y2 - inside.y1};
    SDL_Rect at{text.x - origin_x, text.y - origin_y, 0, 0};
    SDL_SetClipRect(target_surface, &clip);
    SDL_BlitSurface(text.text->surface.get(), nullptr, target_surface, &at);
    SDL_SetClipRect(target_surface, nullptr);
  }
}

}  // namespace larkspill

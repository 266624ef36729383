#include "platform/frame/frame_composer.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/files/picture_file.h"

namespace larkspill {
namespace {

bool Covers(const pixman_box32_t& outer, const pixman_box32_t& inner) {
  return outer.x1 <= inner.x1 && outer.y1 <= inner.y1 && outer.x2 >= inner.x2 &&
         outer.y2 >= inner.y2;
}

bool SameBox(const pixman_box32_t& a, const pixman_box32_t& b) {
  return a.x1 == b.x1 && a.y1 == b.y1 && a.x2 == b.x2 && a.y2 == b.y2;
}

// One colour of RGB565 widened to 8 bits by repeating its top bits, as pixman does.
inline uint32_t Widen565(uint32_t p) {
  const uint32_t r = p >> 11, g = (p >> 5) & 63, b = p & 31;
  return 0xFF000000u | (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
}

// A row of `w` RGB565 pixels widened into 32-bit ones. Repeating a colour's top bits is a
// multiplication: r8 = r5 * 33 / 4 and g8 = g6 * 65 / 16, which SSE2 does for eight pixels at
// once, each colour kept where it lies in the 16 bits and the product's high half taken.
void Widen565Row(const uint16_t* in, uint32_t* out, int w) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i red = _mm_set1_epi16(static_cast<int16_t>(0xF800));
  const __m128i green = _mm_set1_epi16(0x07E0);
  const __m128i blue = _mm_set1_epi16(0x001F);
  const __m128i alpha = _mm_set1_epi16(static_cast<int16_t>(0xFF00));
  const __m128i times_red = _mm_set1_epi16(33 * 8);      // (r5 << 11) * 264 >> 16 = r5 * 33 / 4
  const __m128i times_green = _mm_set1_epi16(65 * 128);  // (g6 << 5) * 8320 >> 16 = g6 * 65 / 16
  for (; i + 8 <= w; i += 8) {
    const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    const __m128i r = _mm_mulhi_epu16(_mm_and_si128(p, red), times_red);
    const __m128i g = _mm_mulhi_epu16(_mm_and_si128(p, green), times_green);
    const __m128i b = _mm_mulhi_epu16(_mm_slli_epi16(_mm_and_si128(p, blue), 11), times_red);
    const __m128i green_blue = _mm_or_si128(_mm_slli_epi16(g, 8), b);
    const __m128i alpha_red = _mm_or_si128(r, alpha);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                     _mm_unpacklo_epi16(green_blue, alpha_red));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 4),
                     _mm_unpackhi_epi16(green_blue, alpha_red));
  }
#endif
  for (; i < w; ++i) out[i] = Widen565(in[i]);
}

// Calls `row(in, out)` for each row of a w x h box of `from` at (x, y) and of `to` at (to_x,
// to_y). A box is a few hundred bytes a row in pictures of up to megabytes, so each row starts
// with a wait for memory unless the rows two ahead are asked for first (which halves the time a
// pixel takes when neither picture is in the cache, as between frames).
template <typename Row>
void ForEachRowAhead(pixman_image_t* from, int x, int y, pixman_image_t* to, int to_x, int to_y,
                     int w, int h, Row row) {
  const int from_bytes = PIXMAN_FORMAT_BPP(pixman_image_get_format(from)) / 8;
  const int to_bytes = PIXMAN_FORMAT_BPP(pixman_image_get_format(to)) / 8;
  const auto* from_bits = reinterpret_cast<const uint8_t*>(pixman_image_get_data(from));
  auto* to_bits = reinterpret_cast<uint8_t*>(pixman_image_get_data(to));
  const int from_stride = pixman_image_get_stride(from);
  const int to_stride = pixman_image_get_stride(to);
  constexpr int kRowsAhead = 2;
  constexpr int kLine = 64;
  for (int r = 0; r < h; ++r) {
    const uint8_t* in = from_bits + ptrdiff_t{y + r} * from_stride + ptrdiff_t{x} * from_bytes;
    uint8_t* out = to_bits + ptrdiff_t{to_y + r} * to_stride + ptrdiff_t{to_x} * to_bytes;
    if (r + kRowsAhead < h) {
      for (int at = 0; at < w * from_bytes; at += kLine) {
        __builtin_prefetch(in + kRowsAhead * from_stride + at);
      }
      for (int at = 0; at < w * to_bytes; at += kLine) {
        __builtin_prefetch(out + kRowsAhead * to_stride + at, 1);
      }
    }
    row(in, out);
  }
}

// Draws a row of `w` pixels of a keyed picture over a 32-bit frame. A keyed picture's pixels are
// either its key, all bits clear, or opaque, so drawing it over is taking the picture's pixel
// wherever its alpha is set: exactly what pixman's OVER gives for such pixels, for about half its
// time.
void DrawKeyedRow(const uint32_t* in, uint32_t* out, int w) {
  int i = 0;
#if defined(__SSE2__)
  for (; i + 4 <= w; i += 4) {
    const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    const __m128i shown = _mm_srai_epi32(p, 31);  // all ones where the alpha is set
    const __m128i under = _mm_loadu_si128(reinterpret_cast<const __m128i*>(out + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                     _mm_or_si128(_mm_and_si128(shown, p), _mm_andnot_si128(shown, under)));
  }
#endif
  for (; i < w; ++i) {
    if (in[i] & 0x80000000u) out[i] = in[i];
  }
}

bool Is32BitRgb(pixman_format_code_t format) {
  return format == PIXMAN_x8r8g8b8 || format == PIXMAN_a8r8g8b8;
}

}  // namespace

void PaintDrawing(const Drawing& drawing, pixman_image_t* target, SDL_Surface* target_surface,
                  const pixman_box32_t& clip) {
  const pixman_box32_t box = Intersect(drawing.where, clip);
  if (IsEmpty(box)) return;
  const int w = box.x2 - box.x1;
  const int h = box.y2 - box.y1;
  const int from_x = box.x1 - drawing.where.x1;
  const int from_y = box.y1 - drawing.where.y1;
  if (drawing.text) {
    SDL_Rect inside{box.x1, box.y1, w, h};
    SDL_Rect at{drawing.where.x1, drawing.where.y1, 0, 0};
    SDL_SetClipRect(target_surface, &inside);
    SDL_BlitSurface(drawing.text->surface.get(), nullptr, target_surface, &at);
    SDL_SetClipRect(target_surface, nullptr);
  } else if (drawing.picture != nullptr && drawing.opaque &&
             pixman_image_get_format(drawing.picture) == PIXMAN_r5g6b5 &&
             PIXMAN_FORMAT_BPP(pixman_image_get_format(target)) == 32) {
    // pixman has no quick way for this pair and takes three times as long.
    ForEachRowAhead(drawing.picture, from_x, from_y, target, box.x1, box.y1, w, h,
                    [w](const uint8_t* in, uint8_t* out) {
                      Widen565Row(reinterpret_cast<const uint16_t*>(in),
                                  reinterpret_cast<uint32_t*>(out), w);
                    });
  } else if (drawing.picture != nullptr && !drawing.opaque &&
             pixman_image_get_format(drawing.picture) == PIXMAN_a8r8g8b8 &&
             Is32BitRgb(pixman_image_get_format(target))) {
    ForEachRowAhead(drawing.picture, from_x, from_y, target, box.x1, box.y1, w, h,
                    [w](const uint8_t* in, uint8_t* out) {
                      DrawKeyedRow(reinterpret_cast<const uint32_t*>(in),
                                   reinterpret_cast<uint32_t*>(out), w);
                    });
  } else if (drawing.picture != nullptr) {
    // An opaque picture replaces what is there; a keyed one shows it where its key is.
    pixman_image_composite32(drawing.opaque ? PIXMAN_OP_SRC : PIXMAN_OP_OVER, drawing.picture,
                             nullptr, target, from_x, from_y, 0, 0, box.x1, box.y1, w, h);
  } else {
    const pixman_color_t colour{static_cast<uint16_t>(((drawing.colour >> 16) & 0xFF) * 257),
                                static_cast<uint16_t>(((drawing.colour >> 8) & 0xFF) * 257),
                                static_cast<uint16_t>((drawing.colour & 0xFF) * 257), 0xFFFF};
    pixman_image_fill_boxes(PIXMAN_OP_SRC, target, &colour, 1, &box);
  }
}

FrameComposer::FrameComposer(uint32_t* pixels, int width, int height, int stride)
    : width_(width), height_(height), bounds_{0, 0, width, height} {
  frame_ = pixman_image_create_bits(PIXMAN_x8r8g8b8, width, height, pixels, stride);
  frame_surface_.reset(
      SDL_CreateRGBSurfaceWithFormatFrom(pixels, width, height, 32, stride, kWideFormat));
  // Until the first frame covers it whole, the frame is black.
  Drawing black{.where = bounds_, .opaque = true};
  shown_.push_back(black);
  shown_known_ = true;
  layers_[0] = {frame_, frame_surface_.get(), true};
  PaintOn(layers_[0], black, bounds_);
}

FrameComposer::~FrameComposer() {
  ForgetPictureChanges(true);
  KeepScene(false);
  if (frame_ != nullptr) pixman_image_unref(frame_);
}

void FrameComposer::KeepScene(bool keep) {
  if (!keep) {
    if (scene_ != nullptr) pixman_image_unref(scene_);
    scene_ = nullptr;
    scene_surface_.reset();
    scene_pixels_ = {};
    return;
  }
  if (scene_ != nullptr) return;
  scene_pixels_.assign(static_cast<size_t>(width_) * height_, 0);
  scene_ =
      pixman_image_create_bits(PIXMAN_x8r8g8b8, width_, height_, scene_pixels_.data(), width_ * 4);
  scene_surface_.reset(SDL_CreateRGBSurfaceWithFormatFrom(scene_pixels_.data(), width_, height_, 32,
                                                          width_ * 4, kWideFormat));
  layers_[1] = {scene_, scene_surface_.get(), false};
  if (shown_known_) {
    for (const Drawing& d : shown_) PaintOn(layers_[1], d, bounds_);
  }
}

void FrameComposer::PaintOn(const Layer& layer, const Drawing& drawing,
                            const pixman_box32_t& clip) {
  if (drawing.text && !layer.texts) return;
  PaintDrawing(drawing, layer.image, layer.surface, clip);
}

void FrameComposer::Add(Drawing drawing) {
  pending_.push_back(std::move(drawing));
  if (pending_.size() >= kMaxPendingDrawings) Compose();
}

void FrameComposer::Compose() {
  if (pending_.empty()) return;
  if (before_writing_) before_writing_();
  if (++composes_ % kPictureChangeFrames == 0) ForgetPictureChanges(false);
  size_t cover = pending_.size();
  for (size_t i = pending_.size(); i-- > 0;) {
    if (pending_[i].opaque && Covers(pending_[i].where, bounds_)) {
      cover = i;
      break;
    }
  }

  // The places that changed, gathered first and made a region at once.
  std::vector<pixman_box32_t>& places = places_;
  places.clear();
  auto add = [&](const pixman_box32_t& b) { places.push_back(b); };
  if (cover < pending_.size()) {
    std::vector<Drawing> frame(std::make_move_iterator(pending_.begin() + cover),
                               std::make_move_iterator(pending_.end()));
    if (shown_known_) {
      for (size_t i = 0; i < std::max(frame.size(), shown_.size()); ++i) {
        const Drawing* now = i < frame.size() ? &frame[i] : nullptr;
        const Drawing* before = i < shown_.size() ? &shown_[i] : nullptr;
        if (now != nullptr && before != nullptr) {
          if (*now == *before || AddPictureChange(*before, *now, &places)) continue;
        }
        if (now != nullptr) add(now->where);
        if (before != nullptr) add(before->where);
      }
    } else {
      add(bounds_);
    }
    shown_ = std::move(frame);
    shown_known_ = true;
    Repaint(places);
  } else if (shown_known_ && shown_.size() + pending_.size() <= kMaxShownDrawings) {
    // Drawn over the frame as it is: the frame shows the old list followed by the new drawings.
    for (const Drawing& d : pending_) add(d.where);
    shown_.insert(shown_.end(), std::make_move_iterator(pending_.begin()),
                  std::make_move_iterator(pending_.end()));
    Repaint(places);
  } else {
    for (const Drawing& d : pending_) {
      PaintAll(d);
      changed_.Add(d.where.x1, d.where.y1, int64_t{d.where.x2} - d.where.x1,
                   int64_t{d.where.y2} - d.where.y1, bounds_);
    }
    shown_.clear();
    shown_known_ = false;
  }
  pending_.clear();
}

// Composes the frame (and the scene) again where the places are: in each box of their region,
// every drawing that touches it, in order, from the last one that covers the box (what lies under
// an opaque drawing cannot show).
void FrameComposer::Repaint(std::span<const pixman_box32_t> places) {
  Region region;
  region.Add(places, bounds_);
  for (const pixman_box32_t& box : region.Boxes()) {
    size_t first = 0;
    for (size_t i = shown_.size(); i-- > 0;) {
      if (shown_[i].opaque && Covers(shown_[i].where, box)) {
        first = i;
        break;
      }
    }
    for (size_t i = first; i < shown_.size(); ++i) {
      for (const Layer& layer : layers()) PaintOn(layer, shown_[i], box);
    }
    pixels_composed_ += static_cast<int64_t>(box.x2 - box.x1) * (box.y2 - box.y1);
  }
  changed_.Add(region);
}

bool FrameComposer::AddPictureChange(const Drawing& before, const Drawing& now,
                                     std::vector<pixman_box32_t>* places) {
  const pixman_box32_t& at = now.where;
  if (now.picture == nullptr || before.picture == nullptr || now.text || before.text ||
      now.opaque != before.opaque || !SameBox(at, before.where)) {
    return false;
  }
  const pixman_format_code_t format = pixman_image_get_format(now.picture);
  for (pixman_image_t* picture : {before.picture, now.picture}) {
    if (pixman_image_get_width(picture) != at.x2 - at.x1 ||
        pixman_image_get_height(picture) != at.y2 - at.y1 ||
        pixman_image_get_format(picture) != format) {
      return false;
    }
  }
  auto [entry, made] = picture_changes_.try_emplace({before.picture, now.picture});
  if (made) {
    pixman_image_ref(before.picture);
    pixman_image_ref(now.picture);
    entry->second.tiles = DifferingTiles(before.picture, now.picture, kTile);
  }
  entry->second.used = composes_;
  for (const pixman_box32_t& t : entry->second.tiles) {
    places->push_back({t.x1 + at.x1, t.y1 + at.y1, t.x2 + at.x1, t.y2 + at.y1});
  }
  return true;
}

void FrameComposer::ForgetPictureChanges(bool all) {
  for (auto entry = picture_changes_.begin(); entry != picture_changes_.end();) {
    if (all || entry->second.used + kPictureChangeFrames < composes_) {
      pixman_image_unref(entry->first.first);
      pixman_image_unref(entry->first.second);
      entry = picture_changes_.erase(entry);
    } else {
      ++entry;
    }
  }
}

void FrameComposer::PaintAll(const Drawing& drawing) {
  for (const Layer& layer : layers()) PaintOn(layer, drawing, bounds_);
}

}  // namespace larkspill

#include "platform/frame/paint_drawing.h"

#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/frame/frame_region.h"

namespace larkspill {

namespace {

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

}  // namespace larkspill

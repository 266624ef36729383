// The places a frame changed: pixman regions of boxes that never overlap, and the tiles where two
// pictures of one size differ.
#include <algorithm>
#include <cstring>

#include "platform/frame/frame_composer.h"

namespace larkspill {

std::vector<pixman_box32_t> DifferingTiles(pixman_image_t* a, pixman_image_t* b, int tile) {
  const int w = pixman_image_get_width(a);
  const int h = pixman_image_get_height(a);
  const int bytes = PIXMAN_FORMAT_BPP(pixman_image_get_format(a)) / 8;
  const auto* pa = reinterpret_cast<const uint8_t*>(pixman_image_get_data(a));
  const auto* pb = reinterpret_cast<const uint8_t*>(pixman_image_get_data(b));
  const int sa = pixman_image_get_stride(a);
  const int sb = pixman_image_get_stride(b);
  std::vector<pixman_box32_t> boxes;
  for (int y0 = 0; y0 < h; y0 += tile) {
    const int y1 = std::min(y0 + tile, h);
    for (int x0 = 0; x0 < w; x0 += tile) {
      const int x1 = std::min(x0 + tile, w);
      bool differ = false;
      for (int y = y0; y < y1 && !differ; ++y) {
        differ =
            std::memcmp(pa + ptrdiff_t{y} * sa + x0 * bytes, pb + ptrdiff_t{y} * sb + x0 * bytes,
                        static_cast<size_t>((x1 - x0) * bytes)) != 0;
      }
      if (!differ) continue;
      if (!boxes.empty() && boxes.back().y1 == y0 && boxes.back().x2 == x0) {
        boxes.back().x2 = x1;
      } else {
        boxes.push_back({x0, y0, x1, y1});
      }
    }
  }
  return boxes;
}

pixman_box32_t Intersect(const pixman_box32_t& a, const pixman_box32_t& b) {
  return {std::max(a.x1, b.x1), std::max(a.y1, b.y1), std::min(a.x2, b.x2), std::min(a.y2, b.y2)};
}

void Region::Add(int64_t x, int64_t y, int64_t w, int64_t h, const pixman_box32_t& clip) {
  pixman_box32_t box{static_cast<int32_t>(std::clamp<int64_t>(x, clip.x1, clip.x2)),
                     static_cast<int32_t>(std::clamp<int64_t>(y, clip.y1, clip.y2)),
                     static_cast<int32_t>(std::clamp<int64_t>(x + w, clip.x1, clip.x2)),
                     static_cast<int32_t>(std::clamp<int64_t>(y + h, clip.y1, clip.y2))};
  if (IsEmpty(box)) return;
  pixman_region32_union_rect(&region_, &region_, box.x1, box.y1,
                             static_cast<unsigned>(box.x2 - box.x1),
                             static_cast<unsigned>(box.y2 - box.y1));
}

void Region::Add(std::span<const pixman_box32_t> boxes, const pixman_box32_t& clip) {
  std::vector<pixman_box32_t> inside;
  inside.reserve(boxes.size());
  for (const pixman_box32_t& box : boxes) {
    const pixman_box32_t part = Intersect(box, clip);
    if (!IsEmpty(part)) inside.push_back(part);
  }
  if (inside.empty()) return;
  pixman_region32_t added;
  pixman_region32_init_rects(&added, inside.data(), static_cast<int>(inside.size()));
  pixman_region32_union(&region_, &region_, &added);
  pixman_region32_fini(&added);
}

void Region::AddMoved(const Region& other, int dx, int dy, const pixman_box32_t& clip) {
  if (other.Empty() || IsEmpty(clip)) return;
  pixman_region32_t moved;
  pixman_region32_init(&moved);
  pixman_region32_copy(&moved, &other.region_);
  pixman_region32_translate(&moved, dx, dy);
  pixman_region32_intersect_rect(&moved, &moved, clip.x1, clip.y1,
                                 static_cast<unsigned>(clip.x2 - clip.x1),
                                 static_cast<unsigned>(clip.y2 - clip.y1));
  pixman_region32_union(&region_, &region_, &moved);
  pixman_region32_fini(&moved);
}

void Region::Clip(const pixman_box32_t& box) {
  if (IsEmpty(box)) return Clear();
  pixman_region32_intersect_rect(&region_, &region_, box.x1, box.y1,
                                 static_cast<unsigned>(box.x2 - box.x1),
                                 static_cast<unsigned>(box.y2 - box.y1));
}

bool Region::Touches(const pixman_box32_t& box) const {
  if (IsEmpty(box)) return false;
  pixman_box32_t copy = box;
  return pixman_region32_contains_rectangle(&region_, &copy) != PIXMAN_REGION_OUT;
}

int64_t Region::Area() const {
  int64_t area = 0;
  for (const pixman_box32_t& box : Boxes()) {
    area += static_cast<int64_t>(box.x2 - box.x1) * (box.y2 - box.y1);
  }
  return area;
}

std::span<const pixman_box32_t> Region::Boxes() const {
  int count = 0;
  const pixman_box32_t* boxes = pixman_region32_rectangles(&region_, &count);
  return {boxes, static_cast<size_t>(count)};
}

}  // namespace larkspill

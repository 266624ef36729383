#pragma once

#include <pixman.h>

#include <cstdint>
#include <span>
#include <vector>

namespace larkspill {

// A set of pixels of the frame or of a window, as pixman keeps it: its rectangles never overlap,
// so nothing in it is composed or sent twice.
class Region {
 public:
  Region() { pixman_region32_init(&region_); }
  ~Region() { pixman_region32_fini(&region_); }
  Region(const Region&) = delete;
  Region& operator=(const Region&) = delete;

  // Adds the part of the rectangle (x, y, w, h) inside `clip`; nothing when it is empty.
  void Add(int64_t x, int64_t y, int64_t w, int64_t h, const pixman_box32_t& clip);
  void Add(const Region& other) { pixman_region32_union(&region_, &region_, &other.region_); }
  // Adds the parts of the boxes inside `clip` at once: one sort instead of a union per box.
  void Add(std::span<const pixman_box32_t> boxes, const pixman_box32_t& clip);
  // Adds `other` moved by (dx, dy), the part inside `clip`.
  void AddMoved(const Region& other, int dx, int dy, const pixman_box32_t& clip);
  // Keeps only the part inside `box`.
  void Clip(const pixman_box32_t& box);
  void Clear() { pixman_region32_clear(&region_); }
  bool Empty() const { return pixman_region32_not_empty(&region_) == 0; }
  bool Touches(const pixman_box32_t& box) const;
  int64_t Area() const;
  std::span<const pixman_box32_t> Boxes() const;
  pixman_region32_t* get() { return &region_; }

 private:
  mutable pixman_region32_t region_;
};

// The tiles, `tile` pixels square, where two pictures of the same size and format differ, runs
// of neighbouring ones along a row of tiles as one box; in the pictures' own pixels.
std::vector<pixman_box32_t> DifferingTiles(pixman_image_t* a, pixman_image_t* b, int tile);

// The box of pixels both boxes hold (empty, x1 >= x2 or y1 >= y2, when none).
pixman_box32_t Intersect(const pixman_box32_t& a, const pixman_box32_t& b);
inline bool IsEmpty(const pixman_box32_t& box) { return box.x1 >= box.x2 || box.y1 >= box.y2; }

}  // namespace larkspill

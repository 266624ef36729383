#pragma once

#include <SDL.h>
#include <pixman.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "platform/files/sdl_ptrs.h"

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

// The frame: the drawings it is asked for, composed into its pixels. Drawings are collected
// until Compose; only the places where this frame's list of drawings differs from the one its
// pixels show are composed again, each with every drawing that touches it, in order. A picture
// that only gives way to another of its size at the same place (the water's next picture) changes
// only the tiles where the two differ, found once per pair of pictures. What changed since the
// windows were last shown is kept for them as a region.
//
// With a scene layer kept, the drawings are composed into it as into the frame, texts left out:
// a scaled screen shows the scene filtered to its size and the texts rendered at that size.
//
// Pictures and fills are composed by pixman; texts are blended by SDL, as they always were.
class FrameComposer {
 public:
  // Composes into `pixels`, 32-bit xRGB, `stride` bytes a row, owned by the caller (it may be
  // memory shared with the X server).
  FrameComposer(uint32_t* pixels, int width, int height, int stride);
  ~FrameComposer();
  FrameComposer(const FrameComposer&) = delete;
  FrameComposer& operator=(const FrameComposer&) = delete;

  // Called before the frame's pixels are written, so whoever reads them can finish first.
  void SetBeforeWriting(std::function<void()> wait) { before_writing_ = std::move(wait); }
  // Keeps the scene layer from now on (composed whole at the next Compose), or drops it.
  void KeepScene(bool keep);

  // Adds a drawing to the frame being made; composes early when too many pile up.
  void Add(Drawing drawing);
  // Brings the frame up to date with the drawings added since.
  void Compose();

  int width() const { return width_; }
  int height() const { return height_; }
  pixman_image_t* frame() const { return frame_; }
  SDL_Surface* frame_surface() const { return frame_surface_.get(); }
  // What a scaled screen shows under its texts: the scene layer, or the frame while the frame's
  // drawings are not known (then without texts of their own).
  pixman_image_t* scene() const { return texts_known() && scene_ != nullptr ? scene_ : frame_; }
  bool texts_known() const { return shown_known_; }
  // The drawings the composed frame shows, when known.
  const std::vector<Drawing>& shown() const { return shown_; }
  // The parts of the frame composed since ClearChanged.
  const Region& changed() const { return changed_; }
  void ClearChanged() { changed_.Clear(); }
  int64_t pixels_composed() const { return pixels_composed_; }

  // Drawings one frame may pile up before they are composed anyway, so a caller that never
  // composes cannot grow the list without bound.
  static constexpr size_t kMaxPendingDrawings = 4096;
  // Drawings kept for a frame that has nothing covering it whole; beyond this the frame's
  // pixels are taken as they are and the next frame that covers it whole is composed in full.
  static constexpr size_t kMaxShownDrawings = 256;
  // The side of the square tiles two pictures are compared by.
  static constexpr int kTile = 16;
  // A pair of pictures not drawn one after the other for this many frames is forgotten.
  static constexpr uint64_t kPictureChangeFrames = 600;

 private:
  // A picture the drawings are composed into, and whether it shows their texts.
  struct Layer {
    pixman_image_t* image = nullptr;
    SDL_Surface* surface = nullptr;  // the same pixels, for SDL's text blending
    bool texts = true;
  };
  // The frame, and the scene layer while it is kept.
  std::span<const Layer> layers() const { return {layers_.data(), scene_ != nullptr ? 2u : 1u}; }
  static void PaintOn(const Layer& layer, const Drawing& drawing, const pixman_box32_t& clip);
  void Repaint(std::span<const pixman_box32_t> places);
  // Where drawing `now` changes the pixels `before` left, when it only shows another picture of
  // the same size and kind at the same place: the differing tiles, placed. False otherwise.
  bool AddPictureChange(const Drawing& before, const Drawing& now,
                        std::vector<pixman_box32_t>* places);
  void ForgetPictureChanges(bool all);
  void PaintAll(const Drawing& drawing);

  int width_;
  int height_;
  pixman_box32_t bounds_;
  pixman_image_t* frame_ = nullptr;
  SdlSurfacePtr frame_surface_;  // the same pixels, for SDL's text blending
  pixman_image_t* scene_ = nullptr;
  SdlSurfacePtr scene_surface_;
  std::vector<uint32_t> scene_pixels_;
  std::array<Layer, 2> layers_;
  std::function<void()> before_writing_;
  std::vector<Drawing> pending_;
  std::vector<Drawing> shown_;
  std::vector<pixman_box32_t> places_;  // scratch: where this frame's drawings changed
  bool shown_known_ = false;
  // Where two pictures differ, and the frame it was last used in. The entry holds a reference on
  // both pictures, so neither address can name another picture while it is kept.
  struct PictureChange {
    std::vector<pixman_box32_t> tiles;
    uint64_t used = 0;
  };
  std::map<std::pair<pixman_image_t*, pixman_image_t*>, PictureChange> picture_changes_;
  uint64_t composes_ = 0;
  Region changed_;
  int64_t pixels_composed_ = 0;
};

// Draws `drawing` into `target` inside `clip` (both in the target's pixels, the drawing placed
// at its own). `target_surface` is the same pixels for SDL, where texts are blended.
void PaintDrawing(const Drawing& drawing, pixman_image_t* target, SDL_Surface* target_surface,
                  const pixman_box32_t& clip);

// The tiles, `tile` pixels square, where two pictures of the same size and format differ, runs
// of neighbouring ones along a row of tiles as one box; in the pictures' own pixels.
std::vector<pixman_box32_t> DifferingTiles(pixman_image_t* a, pixman_image_t* b, int tile);

// The box of pixels both boxes hold (empty, x1 >= x2 or y1 >= y2, when none).
pixman_box32_t Intersect(const pixman_box32_t& a, const pixman_box32_t& b);
inline bool IsEmpty(const pixman_box32_t& box) { return box.x1 >= box.x2 || box.y1 >= box.y2; }

}  // namespace larkspill

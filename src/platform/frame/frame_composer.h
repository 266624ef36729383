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
#include "platform/frame/frame_region.h"
#include "platform/frame/paint_drawing.h"

namespace larkspill {

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

}  // namespace larkspill

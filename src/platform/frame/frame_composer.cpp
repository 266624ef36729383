#include "platform/frame/frame_composer.h"

#include <algorithm>
#include <iterator>

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

}  // namespace

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

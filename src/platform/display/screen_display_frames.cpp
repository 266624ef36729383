// The display's frames for its screens: a frame for each screen's fit (its own shape, or its part
// of a desk one scene spreads across), shared by screens alike, made again when the screens change.
#include <algorithm>
#include <cmath>

#include "platform/display/screen_display.h"

namespace larkspill {

// The frame a screen shows: the one already made for its fit (screens alike share one), one kept
// from before, or a new one fitted to its shape (or to its part of the desk), of the shipped
// pictures filtered to its size or of those painted at its scale once they are read.
size_t ScreenDisplay::FrameFor(size_t screen, const ScreenPlace& place,
                               std::vector<std::unique_ptr<Frame>>& kept) {
  const PaintedSet* painted = nullptr;
  double scale = 1;
  SceneFit fit = SceneFit::Exact();
  bool texts = true;
  if (place.width > 0 && place.height > 0) {
    scale = desk_ ? DeskPaintScale(desk_->monitors[screen]) : SceneFit::ScreenScale(place.height);
    const auto set = painted_sets_.find(scale);
    if (set != painted_sets_.end()) painted = &set->second;
    if (!desk_) {
      fit = SceneFit::For(place.width, place.height, painted != nullptr);
    } else {
      const SceneFit& part = desk_->monitors[screen];
      fit = part;
      texts = screen == desk_->primary;
      if (!painted || scale != part.scale) {
        // Until the desk is painted for, its part of the shipped pictures at the scene's scale;
        // a monitor smaller than the scene shows pictures painted at the scene's scale.
        const double s = painted ? scale : 1;
        fit.scale = s;
        fit.width = std::max(1L, std::lround(part.width / part.scale * s));
        fit.height = std::max(1L, std::lround(part.height / part.scale * s));
      }
      if (!painted) {
        fit.margin = scene_layout::kWideMargin;
        fit.margin_top = 0;
      }
    }
  }
  for (size_t i = 0; i < frames_.size(); ++i) {
    const Frame& frame = *frames_[i];
    if (frame.fit == fit && frame.painted == painted && frame.texts == texts) return i;
  }
  for (auto frame = kept.begin(); frame != kept.end(); ++frame) {
    if ((*frame)->fit == fit && (*frame)->painted == painted && (*frame)->texts == texts) {
      frames_.push_back(std::move(*frame));
      kept.erase(frame);
      return frames_.size() - 1;
    }
  }
  auto frame = std::make_unique<Frame>();
  frame->fit = fit;
  frame->scale = scale;
  frame->painted = painted;
  frame->texts = texts;
  const int w = frame->fit.width;
  const int h = frame->fit.height;
  frame->memory = screens_->MakeFrameMemory(w, h);
  frame->composer =
      std::make_unique<FrameComposer>(frame->memory->pixels(), w, h, frame->memory->stride());
  frame->composer->SetBeforeWriting(
      [memory = frame->memory.get()] { memory->WaitBeforeWriting(); });
  frames_.push_back(std::move(frame));
  return frames_.size() - 1;
}

SceneEdges ScreenDisplay::CreatureEdges() const {
  if (!desk_) return {};
  // The monitors' bounding box, never less than the scene: the desk's backgrounds may reach further.
  double left = 0;
  double right = scene_layout::kWidth;
  for (const SceneFit& part : desk_->monitors) {
    if (part.width <= 0) continue;
    left = std::min(left, part.left);
    right = std::max(right, part.left + part.width / part.scale);
  }
  // Creatures' places are 16 bits.
  return {static_cast<int32_t>(std::max(std::floor(left), -30000.0)),
          static_cast<int32_t>(std::min(std::ceil(right), 30000.0))};
}

void ScreenDisplay::FitDesk(const std::vector<ScreenPlace>& places) {
  desk_.reset();
  if (spread_ && places.size() > 1) {
    // The desk in the desktop's units; each screen keeps its own pixels.
    std::vector<MonitorPlace> monitors;
    for (const ScreenPlace& place : places) {
      const int32_t unit = std::max(place.scale, 1);
      monitors.push_back({place.x / unit, place.y / unit, place.width / unit, place.height / unit,
                          place.width, place.height, place.primary});
    }
    desk_ = DeskFit::For(monitors);
  }
  const scene_layout::SceneArea area = desk_ ? desk_->area : scene_layout::SceneArea{};
  if (area != painted_area_) {
    ForgetPainted();
    painted_area_ = area;
  }
}

// Lets go of the pictures painted for other backgrounds, and of any painting asked for them.
void ScreenDisplay::ForgetPainted() {
  DropFrames();
  if (stop_reading_) stop_reading_->store(true);
  if (painted_read_.valid()) painted_read_.wait();  // at most one picture's read
  painted_read_ = {};
  stop_reading_.reset();
  painted_sets_.clear();
  painted_folders_.clear();
  unpainted_.clear();
  planned_.clear();
}

bool ScreenDisplay::Refit() {
  screens_shown_.clear();
  std::vector<std::unique_ptr<Frame>> kept = std::move(frames_);
  frames_.clear();
  const std::vector<ScreenPlace> places = screens_->List();
  FitDesk(places);
  // Even with no screen yet there is a frame to draw into.
  if (places.empty()) FrameFor(0, ScreenPlace{}, kept);
  for (size_t i = 0; i < places.size(); ++i)
    screens_shown_.emplace_back().frame = FrameFor(i, places[i], kept);
  for (const auto& frame : kept) pixels_composed_before_ += frame->composer->pixels_composed();
  kept.clear();
  for (const auto& frame : frames_) {
    if (frame->composer->frame() == nullptr || frame->composer->frame_surface() == nullptr) {
      return false;
    }
  }
  for (size_t i = 0; i < screens_shown_.size(); ++i) {
    Frame& frame = *frames_[screens_shown_[i].frame];
    screens_shown_[i].presenter = screens_->MakePresenter(i, *frame.composer, *frame.memory);
  }
  return true;
}

void ScreenDisplay::DropFrames() {
  screens_shown_.clear();
  for (const auto& frame : frames_) pixels_composed_before_ += frame->composer->pixels_composed();
  frames_.clear();
}

// Presenters for the screens as they are now, each with the frame for its shape: a screen of a
// shape already shown keeps its frame, its pictures and everything drawn; a new shape gets a new
// fit at once. Every screen is sent whole at the next frame; pictures are painted for a new scale.
void ScreenDisplay::FollowScreens() {
  screens_shown_.clear();
  if (!screens_->Follow()) return;
  Refit();
  frame_shown_ = false;
  PlanPaintedPictures();
}

}  // namespace larkspill

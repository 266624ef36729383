#pragma once

#include <cstdint>
#include <string>

#include "scene/clock.h"
#include "scene/scene_display.h"

namespace larkspill {

// The frame rate written in the frame's bottom-left corner, as the hosts' own savers show it for
// -fps: the frames shown over the last whole second, added over each frame just before it is
// shown.
class FpsOverlay {
 public:
  explicit FpsOverlay(Clock& clock) : clock_(clock) {}

  // Counts the frame, and adds the figure to it once a second has been measured.
  void AddTo(SceneFrame& frame);
  // "FPS: 29.9" once a second has been measured; empty before.
  const std::string& Text() const { return text_; }

  static constexpr const char* kFont = "Liberation Mono";
  static constexpr int32_t kFontSize = 14;
  static constexpr int32_t kX = 4;
  static constexpr int32_t kY = 578;
  static constexpr int32_t kWhite = 0xFFFFFF;

 private:
  Clock& clock_;
  bool started_ = false;
  uint32_t second_start_ = 0;  // tick at which the second being counted began
  int frames_ = 0;             // frames shown in it so far
  std::string text_;
};

}  // namespace larkspill

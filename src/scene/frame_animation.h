#pragma once

#include <cstdint>

#include "scene/tick_counts.h"

namespace larkspill {

// Which frame of a picture shows: how many frames it has, the one shown, the delay between
// frames and when the frame last changed.
class FrameAnimation {
 public:
  FrameAnimation() = default;
  FrameAnimation(int32_t frames, int32_t frame, int32_t delay, uint32_t now)
      : frames_(frames), frame_(frame), delay_(delay), changed_(now) {}

  // Once the delay has passed since the last change (the tick difference taken modulo 2^32),
  // moves on to the next frame, after the last to the first.
  void NextIfDue(uint32_t now) {
    if (!DelayPassed(changed_, now, delay_)) return;
    frame_ = frame_ >= 1 && frame_ < frames_ ? frame_ + 1 : 1;
    changed_ = now;
  }
  int32_t Frame() const { return frame_; }

 private:
  int32_t frames_ = 1;
  int32_t frame_ = 1;
  int32_t delay_ = 0;
  uint32_t changed_ = 0;
};

}  // namespace larkspill

#pragma once

#include <cstdint>

#include "scene/tick_counts.h"

namespace larkspill {

// A sprite's animation as the scene keeps it: how many frames it has, the one shown, its frame
// delay and when the frame last changed. The display only shows the frame it is told.
class SpriteAnimation {
 public:
  SpriteAnimation(int32_t frames, int32_t frame, int32_t delay, uint32_t now)
      : frames_(frames), frame_(frame), delay_(delay), changed_(now) {}

  // Once the delay has passed since the last change (the tick difference taken modulo 2^32),
  // moves on to the next frame, after the last to the first, and returns it; 0 while not due.
  int32_t NextIfDue(uint32_t now) {
    if (!DelayPassed(changed_, now, delay_)) return 0;
    frame_ = frame_ >= 1 && frame_ < frames_ ? frame_ + 1 : 1;
    changed_ = now;
    return frame_;
  }

 private:
  int32_t frames_;
  int32_t frame_;
  int32_t delay_;
  uint32_t changed_;
};

}  // namespace larkspill

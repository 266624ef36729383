#pragma once

#include <cstdint>

namespace larkspill {

// When a creature's steps fall due. A creature takes one step every so many frames of a 60 Hz
// screen (its delay rounded up to whole frames), whatever rate frames are really drawn at, so it
// crosses the scene at the same speed on every monitor. Steps are counted from a fixed origin,
// not from the last step, so they spread evenly over the frames at any rate and a frame that
// comes late takes the steps it missed.
class StepSchedule {
 public:
  // Frames of 60 Hz between two steps of a creature whose delay is `delay` milliseconds: at
  // least one.
  static int64_t FramesAt60Hz(int32_t delay);

  // How many steps to take now. The first call, and the first after Restart(), gives one step
  // and starts the count there; a changed delay, or more than ten seconds since the last look,
  // starts it again too. Tick differences are taken
  // modulo 2^32, so the tick counter wrapping round changes nothing.
  int64_t StepsDue(uint32_t now, int32_t delay);
  // The creature paused (it rested): its next step comes at once and the count starts again.
  void Restart() { counting_ = false; }

 private:
  bool counting_ = false;
  uint32_t origin_ = 0;  // tick of the step the count started at
  int64_t frames_ = 1;   // frames of 60 Hz a step
  int64_t taken_ = 0;    // steps since the origin, the one at the origin aside
};

}  // namespace larkspill

#include "scene/step_schedule.h"

namespace larkspill {

namespace {

// Time is counted in thirds of a millisecond, so that a frame of 60 Hz is a whole 50 of them.
constexpr int64_t kThirdsPerFrame = 50;
// Steps fall due half a frame before their 60 Hz frame would start: at 60 Hz every step lands on
// the frame it always did, with half a frame to spare either side for frames drawn early or late.
constexpr int64_t kHalfFrame = kThirdsPerFrame / 2;
// Longer than this without a look (the process was stopped, a test's clock jumped): the time is
// not made up in steps, which could be millions; the count starts again.
constexpr int64_t kLongestCatchUpMs = 10'000;

}  // namespace

int64_t StepSchedule::FramesAt60Hz(int32_t delay) {
  if (delay <= 0) return 1;
  return (static_cast<int64_t>(delay) * 60 + 999) / 1000;
}

int64_t StepSchedule::StepsDue(uint32_t now, int32_t delay) {
  const int64_t frames = FramesAt60Hz(delay);
  const int64_t elapsed = static_cast<uint32_t>(now - origin_);
  if (!counting_ || frames != frames_ || elapsed > kLongestCatchUpMs + 50 * frames) {
    counting_ = true;
    origin_ = now, frames_ = frames, taken_ = 0;
    return 1;
  }
  const int64_t due = (3 * elapsed + kHalfFrame) / (kThirdsPerFrame * frames_);
  const int64_t steps = due > taken_ ? due - taken_ : 0;
  taken_ += steps;
  // Three steps are a whole number of milliseconds: the origin moves up by them, so the time
  // since it stays small and never meets the tick counter's wrap. The latest step is left after
  // it, which keeps the origin at or before now.
  const int64_t triples = taken_ > 0 ? (taken_ - 1) / 3 : 0;
  origin_ += static_cast<uint32_t>(triples * kThirdsPerFrame * frames_);
  taken_ -= 3 * triples;
  return steps;
}

}  // namespace larkspill

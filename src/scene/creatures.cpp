#include "scene/creatures.h"

#include <cmath>

#include "scene/tick_counts.h"

namespace larkspill {

namespace {

// Seconds a single bird rests between flights.
constexpr int16_t kSingleBirdRest = 30;

}  // namespace

void Creature::Attach(Random& random, Pictures pictures, FrameAnimation animation, int16_t x,
                      int16_t y) {
  random_ = &random;
  pictures_ = pictures, animation_ = animation;
  x_ = x, y_ = y;
}

void Creature::MoveTo(int16_t x, int16_t y) {
  if (random_ == nullptr) return;  // not built: the display could not be opened
  x_ = x, y_ = y;
}

void Creature::DrawOn(SceneFrame& frame) const {
  frame.Picture(pictures_, animation_.Frame(), x_, y_, /*roams=*/true);
}

void Creature::StepIfDue(uint32_t now, int32_t delay) {
  const int64_t due = steps_.StepsDue(now, delay);
  for (int64_t i = 0; i < due; ++i) Step();
  if (due > 0) last_step_ = now;
}

int32_t Creature::RandomInt(int32_t n, int32_t k) {
  return static_cast<int32_t>(std::floor(random_->Next() * n + k));
}

void Flock::Step() {
  MoveTo(static_cast<int16_t>(X() + 1), Y());
}

void Flock::ReEnterIfGone(bool never_rests) {
  if (X() <= RightOf(1)) return;
  MoveTo(LeftOf(118), static_cast<int16_t>(RandomInt(500, 10)));
  if (!never_rests) flying = false, rested = 0;
}

void Flock::Rest(double rest_seconds) {
  CountUp(rested);
  if (rested < rest_seconds) return;
  if (!flying) RestartSteps();  // its rest is not made up in steps
  rested = 0, flying = true;
}

void SingleBird::Step() {
  if (!flying) return;  // it left among the steps of one frame: the rest of them wait with it
  ++steps;
  int16_t y = Y();
  if (steps == 2) --y, steps = 0;
  MoveTo(static_cast<int16_t>(X() + 1), y);
  if (X() > RightOf(1)) {
    MoveTo(LeftOf(75), static_cast<int16_t>(RandomInt(1000, 200)));
    flying = false, rested = 0;
  }
}

void SingleBird::Rest() {
  CountUp(rested);
  if (rested < kSingleBirdRest) return;
  if (!flying) RestartSteps();  // the rest is not made up in steps
  rested = 0, flying = true;
}

void DriftingButterfly::Step() {
  last_draw = static_cast<int16_t>(RandomInt(2, 1));
  if (last_draw == 2) {
    MoveTo(static_cast<int16_t>(X() - 1), static_cast<int16_t>(Y() + 1));
  } else {
    MoveTo(X(), static_cast<int16_t>(Y() - 1));
  }
}

void DriftingButterfly::ReEnterIfGone() {
  if (X() < LeftOf(75)) MoveTo(RightOf(5), static_cast<int16_t>(RandomInt(500, 60)));
}

void ClimbingButterfly::Step() {
  last_draw = static_cast<int16_t>(RandomInt(3, 1));
  MoveTo(X(), static_cast<int16_t>(last_draw == 2 ? Y() + 1 : Y() - 1));
}

void ClimbingButterfly::Drift() {
  MoveTo(static_cast<int16_t>(X() - 1), Y());
}

void ClimbingButterfly::ReEnterIfGone() {
  if (Y() < -50) MoveTo(static_cast<int16_t>(RandomInt(800, 1)), 605);
}

}  // namespace larkspill

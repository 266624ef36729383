#pragma once

#include <cstdint>

#include "scene/frame_animation.h"
#include "scene/random.h"
#include "scene/scene_display.h"
#include "scene/step_schedule.h"

namespace larkspill {

// A creature of the scene: its pictures, the frame it shows, its place and when its steps fall
// due.
class Creature {
 public:
  virtual ~Creature() = default;

  // Gives the creature its pictures and their animation, and places it at (x, y).
  void Attach(Random& random, Pictures pictures, FrameAnimation animation, int16_t x, int16_t y);
  // Puts it somewhere else; a creature never attached (the display could not be opened) stays.
  void MoveTo(int16_t x, int16_t y);

  // Moves on to its next frame once its frame delay has passed.
  void AnimateIfDue(uint32_t now) { animation_.NextIfDue(now); }
  // Adds it, as it is now, to the frame.
  void DrawOn(SceneFrame& frame) const;

  // Where it comes in and goes out; the scene's own edges until told.
  void SetEdges(SceneEdges edges) { edges_ = edges; }

  int32_t Frame() const { return animation_.Frame(); }
  int16_t X() const { return x_; }
  int16_t Y() const { return y_; }
  uint32_t LastStep() const { return last_step_; }
  void SetLastStep(uint32_t tick) { last_step_ = tick; }

  // One step of its flight.
  virtual void Step() = 0;
  // Takes the steps due by `now`: one every `delay` milliseconds rounded up to whole frames of
  // 60 Hz, at the same pace whatever the frame rate (none, one or several in a frame). The first
  // step after it started or rested comes at once.
  void StepIfDue(uint32_t now, int32_t delay);
  // It paused (rested, or was not shown): the next StepIfDue steps at once and counts from there,
  // without making up the pause.
  void RestartSteps() { steps_.Restart(); }

 protected:
  // Int(r * n + k): a random whole number from k to k + n - 1.
  int32_t RandomInt(int32_t n, int32_t k);
  // Scene x just beyond the left or right edge: `by` pixels out.
  int16_t LeftOf(int32_t by) const { return static_cast<int16_t>(edges_.left - by); }
  int16_t RightOf(int32_t by) const { return static_cast<int16_t>(edges_.right + by); }

 private:
  Random* random_ = nullptr;
  Pictures pictures_;
  FrameAnimation animation_;
  int16_t x_ = 0;
  int16_t y_ = 0;
  uint32_t last_step_ = 0;
  SceneEdges edges_;
  StepSchedule steps_;
};

// The flock flies level to the right, a pixel a step; past the right edge it comes back at the
// left, and rests there unless it is told never to.
class Flock : public Creature {
 public:
  void Step() override;
  // After leaving past the right edge: back at the left somewhere from y 10 to 509, resting
  // unless `never_rests`.
  void ReEnterIfGone(bool never_rests);
  // One second of rest; it flies again once it has rested `rest_seconds`.
  void Rest(double rest_seconds);

  bool flying = true;
  int16_t rested = 0;  // seconds
};

// A single bird flies right and climbs a pixel every second step. Past the right edge it goes
// back to the left, somewhere from y 200 to 1199 (often below the screen, from where it climbs
// into view), and rests for half a minute.
class SingleBird : public Creature {
 public:
  void Step() override;
  // One second of rest; it flies again after thirty.
  void Rest();

  bool flying = false;
  int16_t rested = 0;  // seconds
  int16_t steps = 0;   // since it last climbed
};

// The first kind of butterfly: even odds of a pixel down and left, or a pixel up, a slow
// leftward flutter; past the left edge it comes back at the right.
class DriftingButterfly : public Creature {
 public:
  void Step() override;
  void ReEnterIfGone();
  int16_t last_draw = 0;  // 2: it went down and left; 1: up
};

// The second kind: one chance in three of a pixel down, two of a pixel up, a slow climb, with a
// pixel left every drift; past the top it comes back from below somewhere along the bottom.
class ClimbingButterfly : public Creature {
 public:
  void Step() override;
  void Drift();
  void ReEnterIfGone();
  int16_t last_draw = 0;  // 2: it went down; 1 or 3: up
};

}  // namespace larkspill

// Creatures keep their pace in time, whatever rate frames are drawn at.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "scene/creatures.h"
#include "scene_harness.h"

namespace larkspill::testing {
namespace {

// A creature that only counts its steps.
struct CountedSteps : Creature {
  void Step() override { ++steps; }
  int64_t steps = 0;
};

// The steps a creature takes in each frame of `seconds` at `rate` frames a second, frame times
// in whole milliseconds as the tick count gives them, from `start`.
std::vector<int64_t> StepsPerFrame(double rate, int32_t delay, double seconds, uint32_t start) {
  CountedSteps creature;
  std::vector<int64_t> per_frame;
  for (int64_t frame = 0; frame < std::llround(seconds * rate); ++frame) {
    const int64_t before = creature.steps;
    creature.StepIfDue(start + static_cast<uint32_t>(std::llround(frame * 1000 / rate)), delay);
    per_frame.push_back(creature.steps - before);
  }
  return per_frame;
}

// Steps a second at 60 Hz: one every `delay` rounded up to whole frames of 60 Hz.
double StepsASecondAt60Hz(int32_t delay) {
  return 60.0 / std::max(1.0, std::ceil(delay * 60 / 1000.0));
}

TEST(CreatureTiming, EveryRateFrom24To240HzGivesThe60HzPaceSpreadEvenlyOverTheFrames) {
  // The butterflies' 6, 15 and 25 ms, the birds' BirdSpeed from 1 to 100; the tick count wraps
  // round in the middle of each run.
  for (double rate : {24.0, 60.0, 144.0, 165.0, 240.0}) {
    for (int32_t delay : {6, 15, 25, 1, 34, 51, 100}) {
      SCOPED_TRACE(std::to_string(rate) + " Hz, delay " + std::to_string(delay));
      const std::vector<int64_t> steps = StepsPerFrame(rate, delay, 10, 0xFFFFFFFFu - 5000);
      const double per_second = StepsASecondAt60Hz(delay);
      int64_t taken = 0;
      for (size_t frame = 0; frame < steps.size(); ++frame) {
        taken += steps[frame];
        // Never more than a step from where time puts it: the pace holds at every frame.
        const double by_time = 1 + frame / rate * per_second;
        ASSERT_NEAR(static_cast<double>(taken), by_time, 1.0) << "frame " << frame;
      }
      // Evenly: frames take the same number of steps, or one more.
      const auto [fewest, most] = std::ranges::minmax(std::vector(steps.begin() + 1, steps.end()));
      EXPECT_LE(most - fewest, 1);
    }
  }
}

TEST(CreatureTiming, At60HzStepsFallOnTheFramesTheyAlwaysDidEvenWithFramesEarlyOrLate) {
  // Frames 16.67 ms apart, then each up to 3 ms early or late: a step every ceil(delay / 16.67)
  // frames, on the first frame and every so many after it.
  for (int jitter : {0, 3}) {
    for (int32_t delay : {6, 15, 25, 30, 50, 100}) {
      SCOPED_TRACE("delay " + std::to_string(delay) + " jitter " + std::to_string(jitter));
      const int64_t every = static_cast<int64_t>(std::ceil(delay * 60 / 1000.0));
      CountedSteps creature;
      for (int64_t frame = 0; frame < 600; ++frame) {
        const int64_t off = jitter * ((frame * 7919) % 3 - 1);  // -j, 0 or +j, in no order
        const int64_t before = creature.steps;
        creature.StepIfDue(static_cast<uint32_t>(1000 + std::llround(frame * 50 / 3.0) + off),
                           delay);
        ASSERT_EQ(creature.steps - before, frame % every == 0 ? 1 : 0) << "frame " << frame;
      }
    }
  }
}

TEST(CreatureTiming, AFrameLateTakesTheStepsItMissedButARestOrALongStopIsNotMadeUp) {
  CountedSteps butterfly;
  butterfly.StepIfDue(500, 15);
  butterfly.StepIfDue(1500, 15);  // a second with no frame: the sixty steps of it at once
  EXPECT_EQ(butterfly.steps, 61);
  butterfly.StepIfDue(31500, 15);  // the process stood still half a minute: it goes on from here
  EXPECT_EQ(butterfly.steps, 62);
  butterfly.StepIfDue(31517, 15);
  EXPECT_EQ(butterfly.steps, 63);

  // The flock rests ten seconds after leaving; flying again, it steps at once and then every
  // 33 ms, not the three hundred steps of its rest.
  Harness h;
  SaverWindow& w = h.Load({{"one", "BirdTimer", "10"}}, "Birds");
  w.flock.MoveTo(801, 100);
  h.clock.Advance(34), w.OnFrame();
  ASSERT_FALSE(w.flock.flying);
  for (int second = 0; second < 10; ++second) h.clock.Advance(1000), w.LetRestedBirdsFly();
  ASSERT_TRUE(w.flock.flying);
  const int32_t rested_at = w.flock.X();
  h.clock.Advance(17), w.OnFrame();
  EXPECT_EQ(w.flock.X(), rested_at + 1);
  h.clock.Advance(17), w.OnFrame();
  h.clock.Advance(17), w.OnFrame();
  EXPECT_EQ(w.flock.X(), rested_at + 2);
}

TEST(CreatureTiming, ASingleBirdLeavingAmongOneFramesStepsRestsWhereItWasPlaced) {
  Harness h;
  SaverWindow& w = h.Load({}, "SingleBird");
  SingleBird& bird = w.single_birds[0];
  bird.flying = true, bird.MoveTo(790, 300);
  w.OnFrame();  // 791: its first step
  h.random.values = {0.0};
  h.clock.Advance(1000), w.OnFrame();  // thirty steps due: past the edge after the eleventh
  EXPECT_EQ(std::pair(int32_t{bird.X()}, int32_t{bird.Y()}), std::pair(-75, 200));
  EXPECT_FALSE(bird.flying);
}

}  // namespace
}  // namespace larkspill::testing

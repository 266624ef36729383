#include <gtest/gtest.h>

#include "scene_harness.h"

namespace larkspill::testing {
namespace {

// Three minutes of frames and timers at 60 frames a second, the tick count wrapping to 0 a
// minute in: everything paced by ticks keeps its pace across the wrap.
TEST(LongRun, TheTickCountWrapChangesNothing) {
  Harness h;
  h.FirstRun();
  h.Set("one", "BirdTimer", "Always");  // the flock never rests, so its steps can be counted
  h.Set("one", "ScrollSec", "60");
  h.clock.ticks = 0xFFFFFFFFu - 60'000u;
  SaverWindow& w = h.Load();
  h.sound.calls.clear();

  std::vector<int> flock_steps_per_second;
  std::vector<int16_t> scenes;
  int steps = 0;
  for (int frame = 1; frame <= 180 * 60; ++frame) {
    h.clock.Advance(frame % 3 == 0 ? 16 : 17);  // 50 ms every three frames
    w.Timers().RunDue(h.clock.TickCount());
    w.OnFrame();
    steps += static_cast<int>(h.display.Count("MoveSpriteX 6 1"));
    h.display.calls.clear();
    if (frame % 60 == 0) {
      flock_steps_per_second.push_back(steps);
      scenes.push_back(w.CurrentWaterfall);
      steps = 0;
    }
  }
  ASSERT_FALSE(w.Ended());
  // BirdSpeed 25 against frames of 16 or 17 ms: a step every second frame, 30 a second.
  for (size_t second = 1; second < flock_steps_per_second.size(); ++second) {
    EXPECT_NEAR(flock_steps_per_second[second], 30, 1) << "second " << second;
  }
  // The scenes took turns each minute, across the wrap as before it.
  EXPECT_EQ(scenes[58], 1);
  EXPECT_EQ(scenes[61], 2);
  EXPECT_EQ(scenes[121], 1);
  // The eagle called on the 60th, 120th and 180th second.
  EXPECT_EQ(h.sound.Count("PlaySound 4 -1 -1"), 3u);
}

}  // namespace
}  // namespace larkspill::testing

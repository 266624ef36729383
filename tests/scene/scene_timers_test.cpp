// The timer schedule and the window's timers: scene rotation, the birds' rest, and a long run
// across the tick wrap.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "scene/window_timer.h"
#include "scene_harness.h"

namespace larkspill::testing {
namespace {

TEST(SceneTimers, ScenesTakeTurnsEveryScrollSecSecondsOnlyWithBothEnabled) {
  struct Case {
    const char *wf1, *wf2, *scroll_sec;
    int ticks;
    std::vector<int> changes;  // tick numbers at which the scene changed
    int16_t last_scene;
  };
  const Case cases[] = {
      {"1", "1", "60", 180, {60, 120, 180}, 2}, {"1", "1", "1", 3, {1, 2, 3}, 2},
      {"1", "0", "60", 300, {}, 1},             {"0", "1", "2", 10, {}, 2},
      {"1", "1", "0", 100, {}, 1},              {"1", "1", "-60", 100, {}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.wf1) + c.wf2 + " every " + c.scroll_sec);
    Harness h;
    SaverWindow& w = h.Load({{"one", "waterfall1", c.wf1}, {"one", "waterfall2", c.wf2},
                             {"one", "ScrollSec", c.scroll_sec}});
    std::vector<int> changes;
    int16_t scene = w.CurrentWaterfall;
    for (int t = 1; t <= c.ticks; ++t) {
      w.Timer1_Timer();
      if (w.CurrentWaterfall != scene) {
        changes.push_back(t);
        EXPECT_EQ(w.ScrollCount, 0);
        scene = w.CurrentWaterfall;
      }
    }
    EXPECT_EQ(changes, c.changes);
    EXPECT_EQ(w.CurrentWaterfall, c.last_scene);
  }
}

// The flock rests BirdTimer seconds (20 when it is no number) after leaving; the single birds
// first fly 6 and 16 seconds in, then 30 seconds after leaving.
TEST(SceneTimers, FlockAndSingleBirdsRestUnlessAlways) {
  // BirdTimer, the creatures on, and the ticks on which the flock and each single bird first fly
  // (0: not within 100 ticks).
  const std::tuple<const char*, const char*, int, int, int> cases[] = {
      {"10", "Birds SingleBird", 10, 6, 16}, {"60", "Birds SingleBird", 60, 6, 16},
      {"soon", "Birds", 20, 0, 0},           {"Always", "Birds SingleBird", 0, 0, 0}};
  for (const auto& [bird_timer, creatures, flock, bird1, bird2] : cases) {
    SCOPED_TRACE(std::string(bird_timer) + " " + creatures);
    Harness h;
    SaverWindow& w = h.Load({{"one", "BirdTimer", bird_timer}}, creatures);
    w.FlockActive = false;  // as the edge rule leaves it
    w.FlockWait = 0;
    std::vector<int> first(3);
    for (int t = 1; t <= 100; ++t) {
      w.Timer3_Timer();
      const bool active[3] = {w.FlockActive, w.Bird1Active, w.Bird2Active};
      for (int i = 0; i < 3; ++i)
        if (first[i] == 0 && active[i]) first[i] = t;
    }
    EXPECT_EQ(first, (std::vector<int>{flock, bird1, bird2}));
  }
  Harness h;
  SaverWindow& w = h.Load({}, "SingleBird");
  w.Bird1Active = false, w.Bird1Wait = 0;
  for (int t = 1; t < 30; ++t) w.Timer3_Timer();
  EXPECT_FALSE(w.Bird1Active);
  w.Timer3_Timer();
  EXPECT_TRUE(w.Bird1Active);
}

// Also across the tick wrap; a disabled or zero-interval timer never fires.
TEST(TimerSchedule, FiresOnItsIntervalKeepsPhaseAndNeverBursts) {
  TimerSchedule timers;
  std::string order;
  const uint32_t t0 = 0xFFFFF000u;  // the tick count wraps while it runs
  timers.Add("Timer1", 1000, true, [&] { order += '1'; }, t0);
  const size_t five = timers.Add("Timer5", 0, false, [&] { order += '5'; }, t0);
  for (uint32_t t : {999, 1016, 2000}) timers.RunDue(t0 + t);  // a frame late, phase kept
  EXPECT_EQ(order, "11");
  EXPECT_EQ(timers.MillisecondsUntilDue(t0 + 2400), 600u);
  timers.SetEnabled(five, true, t0 + 2400);               // enabled with no interval: still nothing
  for (uint32_t t : {9500, 9600}) timers.RunDue(t0 + t);  // seven missed: one tick, not seven
  EXPECT_EQ(order, "111");
  timers.SetInterval(five, 7500);
  timers.RunDue(t0 + 9800);  // due at 9900, counted from its enabling, not from its adding
  EXPECT_EQ(order, "111");
  timers.RunDue(t0 + 10500);
  EXPECT_EQ(order, "11115");
  timers.SetEnabled(five, false, t0 + 10500);
  timers.SetEnabled(0, false, t0 + 10500);
  EXPECT_EQ(timers.MillisecondsUntilDue(t0 + 10500), UINT32_MAX);
}

// Three minutes at 60 frames a second, the tick count wrapping to 0 a minute in.
TEST(LongRun, TheTickCountWrapChangesNothing) {
  Harness h;
  h.clock.ticks = 0xFFFFFFFFu - 60'000u;
  // The flock never rests, so its steps can be counted.
  SaverWindow& w = h.Load({{"one", "BirdTimer", "Always"}, {"one", "ScrollSec", "60"}});
  std::vector<int> steps(180);  // the flock's steps in each second
  std::vector<int16_t> scenes;
  int drifts = 0;
  for (int frame = 0; frame < 180 * 60; ++frame) {
    h.clock.Advance(frame % 3 == 2 ? 16 : 17);  // 50 ms every three frames
    w.Timers().RunDue(h.clock.TickCount());
    w.OnFrame();
    steps[frame / 60] += static_cast<int>(h.display.Count("MoveSpriteX 6 1"));
    drifts += static_cast<int>(h.display.Count("MoveSpriteX 4 -1"));
    h.display.calls.clear();
    if (frame % 60 == 59) scenes.push_back(w.CurrentWaterfall);
  }
  ASSERT_FALSE(w.Ended());
  // BirdSpeed 25 against frames of 16 or 17 ms: a step every second frame, 30 a second.
  for (size_t second = 1; second < steps.size(); ++second)
    EXPECT_NEAR(steps[second], 30, 1) << "second " << second;
  // The scenes took turns each minute, across the wrap as before it.
  EXPECT_EQ(std::vector<int16_t>({scenes[58], scenes[61], scenes[121]}),
            std::vector<int16_t>({1, 2, 1}));
  EXPECT_EQ(drifts, 180 * 5);  // the second kind drift a pixel each 200 ms
  EXPECT_EQ(h.sound.Count("PlaySound 4 -1 -1"), 3u);  // the eagle, on each minute
}

}  // namespace
}  // namespace larkspill::testing

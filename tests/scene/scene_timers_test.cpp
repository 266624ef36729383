// The timer schedule and the window's timers: scene rotation, the birds' rest, and a long run
// across the tick wrap.
#include <gtest/gtest.h>

#include <string>
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
      {"1", "1", "60", 180, {60, 120, 180}, 2},
      {"1", "1", "1", 3, {1, 2, 3}, 2},
      {"1", "0", "60", 300, {}, 1},
      {"0", "1", "2", 10, {}, 2},
      {"1", "1", "0", 100, {}, 1},
      {"1", "1", "-60", 100, {}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.wf1) + c.wf2 + " every " + c.scroll_sec);
    Harness h;
    h.FirstRun();
    h.Set("one", "waterfall1", c.wf1);
    h.Set("one", "waterfall2", c.wf2);
    h.Set("one", "ScrollSec", c.scroll_sec);
    SaverWindow& w = h.Load();
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

TEST(SceneTimers, FlockRestsForBirdTimerSecondsAfterLeaving) {
  struct Case {
    const char* bird_timer;
    int revived_on;  // tick on which the flock flies again; 0: never within 100
  };
  const Case cases[] = {{"10", 10}, {"60", 60}, {"Always", 0}, {"soon", 20}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bird_timer);
    Harness h;
    h.OnlyCreatures(true, false, false, false);
    SaverWindow& w = h.Load();
    w.BirdTimer = c.bird_timer;
    w.FlockActive = false;  // as the edge rule leaves it
    w.FlockWait = 0;
    int revived = 0;
    for (int t = 1; t <= 100 && revived == 0; ++t) {
      w.Timer3_Timer();
      if (w.FlockActive) revived = t;
    }
    EXPECT_EQ(revived, c.revived_on);
  }
}

TEST(SceneTimers, SingleBirdsFirstFlyAtSixAndSixteenSecondsThenEveryThirty) {
  struct Case {
    const char *bird_timer, *single_bird;
    int bird1_first, bird2_first;
  };
  const Case cases[] = {{"20", "1", 6, 16}, {"Always", "1", 0, 0}, {"20", "0", 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.bird_timer) + " single " + c.single_bird);
    Harness h;
    h.OnlyCreatures(true, c.single_bird[0] == '1', false, false);
    h.Set("one", "BirdTimer", c.bird_timer);
    SaverWindow& w = h.Load();
    int first1 = 0, first2 = 0;
    for (int t = 1; t <= 100; ++t) {
      w.Timer3_Timer();
      if (w.Bird1Active && first1 == 0) first1 = t;
      if (w.Bird2Active && first2 == 0) first2 = t;
    }
    EXPECT_EQ(first1, c.bird1_first);
    EXPECT_EQ(first2, c.bird2_first);
  }

  // A bird that left the screen flies again on the thirtieth tick after.
  Harness h;
  h.OnlyCreatures(false, true, false, false);
  SaverWindow& w = h.Load();
  w.Bird1Active = false;
  w.Bird1Wait = 0;
  for (int t = 1; t < 30; ++t) w.Timer3_Timer();
  EXPECT_FALSE(w.Bird1Active);
  w.Timer3_Timer();
  EXPECT_TRUE(w.Bird1Active);
}

// Timers keep their phase, never burst after a stall, run across the tick wrap, and a disabled
// or zero-interval timer never fires.
TEST(TimerSchedule, FiresOnItsIntervalKeepsPhaseAndNeverBursts) {
  TimerSchedule timers;
  std::string order;
  const uint32_t t0 = 0xFFFFF000u;  // the tick count wraps while it runs
  timers.Add(
      "Timer1", 1000, true, [&] { order += '1'; }, t0);
  const size_t five = timers.Add(
      "Timer5", 0, false, [&] { order += '5'; }, t0);
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
  int steps = 0, drifts = 0;
  for (int frame = 1; frame <= 180 * 60; ++frame) {
    h.clock.Advance(frame % 3 == 0 ? 16 : 17);  // 50 ms every three frames
    w.Timers().RunDue(h.clock.TickCount());
    w.OnFrame();
    steps += static_cast<int>(h.display.Count("MoveSpriteX 6 1"));
    drifts += static_cast<int>(h.display.Count("MoveSpriteX 4 -1"));
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
  EXPECT_EQ(drifts, 180 * 5);  // the second kind drift a pixel each 200 ms
  // The eagle called on the 60th, 120th and 180th second.
  EXPECT_EQ(h.sound.Count("PlaySound 4 -1 -1"), 3u);
}

}  // namespace
}  // namespace larkspill::testing

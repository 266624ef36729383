// The window's timers: scene rotation, the birds' rest, the power-off timer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scene_harness.h"

namespace larkspill::testing {
namespace {

TEST(SceneTimers, ScenesTakeTurnsEveryScrollSecSecondsOnlyWithBothEnabled) {
  struct Case {
    const char* wf1;
    const char* wf2;
    const char* scroll_sec;
    int ticks;
    std::vector<int> changes;  // tick numbers at which the scene changed
    int16_t last_scene;
  };
  const Case cases[] = {
      {"1", "1", "60", 180, {60, 120, 180}, 2},
      {"1", "1", "2", 5, {2, 4}, 1},
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

TEST(SceneTimers, ScrollCountGoesBackToZeroAfterItsLimit) {
  Harness h;
  h.FirstRun();
  h.Set("one", "waterfall2", "0");
  SaverWindow& w = h.Load();
  w.ScrollCount = 28799999;
  w.Timer1_Timer();
  EXPECT_EQ(w.ScrollCount, 28800000);
  w.Timer1_Timer();
  EXPECT_EQ(w.ScrollCount, 0);
}

TEST(SceneTimers, OneSecondTickSetsTheClockAndRunsTheSoundDuties) {
  Harness h;
  h.FirstRun();
  h.Set("one", "SoundOff", "1");
  SaverWindow& w = h.Load();
  h.clock.seconds_since_midnight = 43200;
  w.Timer1_Timer();
  EXPECT_DOUBLE_EQ(w.ClockTime, 0.5);
  EXPECT_EQ(w.Sound.SoundOffCount, 1);
  EXPECT_EQ(w.Sound.EagleCount, 1);
}

TEST(SceneTimers, FlockRestsForBirdTimerSecondsAfterLeaving) {
  struct Case {
    const char* bird_timer;
    int revived_on;  // tick on which the flock flies again; 0: never within 100
  };
  const Case cases[] = {
      {"10", 10}, {"20", 20}, {"60", 60}, {"Always", 0}, {"soon", 20}, {"", 20},
  };
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
    const char* bird_timer;
    const char* single_bird;
    int bird1_first;
    int bird2_first;
  };
  const Case cases[] = {
      {"20", "1", 6, 16}, {"10", "1", 6, 16}, {"Always", "1", 0, 0}, {"20", "0", 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.bird_timer) + " single " + c.single_bird);
    Harness h;
    h.OnlyCreatures(true, c.single_bird[0] == '1', false, false);
    h.Set("one", "BirdTimer", c.bird_timer);
    SaverWindow& w = h.Load();
    int first1 = 0;
    int first2 = 0;
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

TEST(SceneTimers, WindowTimersAndThePowerOffTimerSilencingAMinuteAfterTheMonitorWentDark) {
  Harness h;
  h.FirstRun();
  SaverWindow& w = h.Load();
  TimerSchedule& timers = w.Timers();
  ASSERT_EQ(timers.Count(), 4u);
  struct Expected {
    const char* name;
    uint32_t interval;
    bool enabled;
  };
  const Expected expected[] = {{"Timer1", 1000, true},
                               {"Timer3", 1000, true},
                               {"Timer4", 200, true},
                               {"Timer5", 15000, false}};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(timers.At(i).name, expected[i].name);
    EXPECT_EQ(timers.At(i).interval, expected[i].interval);
    EXPECT_EQ(timers.At(i).enabled, expected[i].enabled);
  }

  w.EnableTimer5();
  w.EnableTimer5();  // a second power-off changes nothing
  const std::vector<std::string> silence = {"StopAllSounds", "StopAllSounds", "ReleaseSound 1",
                                            "ReleaseSound 2", "ReleaseSound 3"};
  for (int tick = 1; tick <= 6; ++tick) {
    h.sound.calls.clear();
    h.clock.Advance(15000);
    timers.RunDue(h.clock.ticks);
    EXPECT_EQ(w.Timer5Count, tick < 4 ? tick : 4) << tick;
    EXPECT_EQ(h.sound.calls, tick == 4 ? silence : std::vector<std::string>{}) << tick;
  }
  EXPECT_FALSE(w.Ended());
}

}  // namespace
}  // namespace larkspill::testing

#include "scene/window_timer.h"

#include <gtest/gtest.h>

namespace larkspill {
namespace {

TEST(TimerSchedule, FiresOnItsIntervalKeepsPhaseAndNeverBursts) {
  TimerSchedule timers;
  int ticks = 0;
  uint32_t start = 0xFFFFF000u;  // the tick count wraps while it runs
  timers.Add("Timer1", 1000, true, [&] { ++ticks; }, start);
  timers.RunDue(start + 999);
  EXPECT_EQ(ticks, 0);
  timers.RunDue(start + 1016);  // a frame late
  EXPECT_EQ(ticks, 1);
  timers.RunDue(start + 2000);  // phase kept: due again at 2000, not at 2016
  EXPECT_EQ(ticks, 2);
  EXPECT_EQ(timers.MillisecondsUntilDue(start + 2400), 600u);
  timers.RunDue(start + 9500);  // seven intervals missed: one tick, not seven
  EXPECT_EQ(ticks, 3);
  timers.RunDue(start + 9600);
  EXPECT_EQ(ticks, 3);
  timers.RunDue(start + 10500);
  EXPECT_EQ(ticks, 4);
}

TEST(TimerSchedule, DisabledAndZeroIntervalTimersNeverFire) {
  TimerSchedule timers;
  std::string order;
  size_t five = timers.Add("Timer5", 0, false, [&] { order += '5'; }, 0);
  timers.Add("Timer4", 200, true, [&] { order += '4'; }, 0);
  timers.RunDue(1000);
  timers.SetEnabled(five, true, 1000);  // enabled with no interval: still nothing
  timers.RunDue(2000);
  EXPECT_EQ(order, "44");
  timers.SetInterval(five, 500);
  timers.RunDue(2200);  // counted from its enabling at 1000
  EXPECT_EQ(order, "4454");
  EXPECT_EQ(timers.MillisecondsUntilDue(2200), 200u);
  timers.SetEnabled(five, false, 2200);
  timers.SetEnabled(1, false, 2200);
  EXPECT_EQ(timers.MillisecondsUntilDue(2200), UINT32_MAX);
}

}  // namespace
}  // namespace larkspill

#include "scene/window_timer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace larkspill {
namespace {

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
  timers.SetEnabled(five, false, t0 + 10500), timers.SetEnabled(0, false, t0 + 10500);
  EXPECT_EQ(timers.MillisecondsUntilDue(t0 + 10500), UINT32_MAX);
}

}  // namespace
}  // namespace larkspill

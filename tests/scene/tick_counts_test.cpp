#include "scene/tick_counts.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace larkspill {
namespace {

// The tick count wraps round to 0 every 49.7 days: a delay passes as many milliseconds after its
// start across the wrap as anywhere else. The second counters (a bird's rest, the power-off
// ticks) stop at their maximum instead of turning negative.
TEST(TickCounts, DelaysPassAcrossTheWrapAndCountersStopAtTheirMaximum) {
  const struct {
    uint32_t since, now;
    int64_t delay;
    bool passed;
  } cases[] = {
      {1000, 1031, 32, false},
      {1000, 1032, 32, true},
      {0xFFFFFFF0u, 0x0Fu, 32, false},
      {0xFFFFFFF0u, 0x10u, 32, true},
      {0xFFFFFFFFu, 0, 1, true},
      {7, 7, 0, true},
      {7, 7, -5, true},
      {0, 0xFFFFFFFFu, 4294967295, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DelayPassed(c.since, c.now, c.delay), c.passed) << c.since << " " << c.now;
  }
  EXPECT_EQ(TicksSince(0xFFFFFFF0u, 0x10u), 32u);

  int16_t count = 32765;
  for (int i = 0; i < 4; ++i) CountUp(count);
  EXPECT_EQ(count, 32767);
}

}  // namespace
}  // namespace larkspill

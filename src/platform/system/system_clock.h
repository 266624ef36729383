#pragma once

#include "scene/clock.h"

namespace larkspill {

// The machine's clocks: a monotonic millisecond count and the local time of day.
class SystemClock : public Clock {
 public:
  uint32_t TickCount() override;
  double SecondsSinceMidnight() override;
  // The locale's time format (%X), so set the locale from the environment at start.
  std::string TimeText(double day_fraction) override;
};

}  // namespace larkspill

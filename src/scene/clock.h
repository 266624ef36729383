#pragma once

#include <cstdint>
#include <string>

namespace larkspill {

// Time as the saver sees it.
class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds from a monotonic clock, truncated to 32 bits: it wraps after 49.7 days.
  // Differences are taken on uint32_t.
  virtual uint32_t TickCount() = 0;
  // Local time of day in seconds since midnight, with fraction.
  virtual double SecondsSinceMidnight() = 0;
  // The time of day (a fraction of a day, 0 = midnight) as text in the user's locale time
  // format, hours, minutes and seconds, no date.
  virtual std::string TimeText(double day_fraction) = 0;
};

}  // namespace larkspill

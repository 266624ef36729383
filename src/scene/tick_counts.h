#pragma once

#include <cstdint>
#include <limits>

namespace larkspill {

// Milliseconds from tick `since` to tick `now`. The tick count wraps round to 0 every 49.7 days;
// taken modulo 2^32 the difference stays right across the wrap.
constexpr uint32_t TicksSince(uint32_t since, uint32_t now) {
  return now - since;
}

// Whether `delay` milliseconds have passed from tick `since` to tick `now`, across the wrap too;
// a delay of 0 or less has always passed.
constexpr bool DelayPassed(uint32_t since, uint32_t now, int64_t delay) {
  return static_cast<int64_t>(TicksSince(since, now)) >= delay;
}

// Counts one more, stopping at the counter's maximum rather than wrapping round to negative.
inline void CountUp(int16_t& counter) {
  if (counter < std::numeric_limits<int16_t>::max()) ++counter;
}

}  // namespace larkspill

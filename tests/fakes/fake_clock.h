#pragma once

#include <cmath>
#include <cstdio>
#include <string>

#include "scene/clock.h"

namespace larkspill::testing {

// A clock moved by hand. Ticks and the time of day advance together through Advance().
class FakeClock : public Clock {
 public:
  uint32_t TickCount() override { return ticks; }
  double SecondsSinceMidnight() override { return seconds_since_midnight; }
  std::string TimeText(double day_fraction) override {
    const long s = std::lround(day_fraction * 86400.0) % 86400;
    char text[16];
    std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    return text;
  }
  void Advance(uint32_t milliseconds) {
    ticks += milliseconds;
    seconds_since_midnight = std::fmod(seconds_since_midnight + milliseconds / 1000.0, 86400.0);
  }

  uint32_t ticks = 0;
  double seconds_since_midnight = 12 * 3600.0;
};

}  // namespace larkspill::testing

#include "platform/system/system_clock.h"

#include <sys/time.h>
#include <time.h>

#include <cmath>

namespace larkspill {

uint32_t SystemClock::TickCount() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

double SystemClock::SecondsSinceMidnight() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  time_t now = ts.tv_sec;
  tm local{};
  localtime_r(&now, &local);
  return local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + ts.tv_nsec / 1e9;
}

std::string SystemClock::TimeText(double day_fraction) {
  double fraction = day_fraction - std::floor(day_fraction);
  long seconds = std::lround(fraction * 86400.0) % 86400;
  tm t{};
  t.tm_hour = static_cast<int>(seconds / 3600);
  t.tm_min = static_cast<int>(seconds / 60 % 60);
  t.tm_sec = static_cast<int>(seconds % 60);
  t.tm_mday = 1;
  t.tm_year = 100;
  char text[64];
  size_t n = strftime(text, sizeof text, "%X", &t);
  return std::string(text, n);
}

}  // namespace larkspill

#include "startup/power_watch.h"

#include "scene/tick_counts.h"

namespace larkspill {

PowerWatch::PowerWatch(SaverWindow& window, MonitorPower& power) : window_(window), power_(power) {}

void PowerWatch::Start() {
  power_.AllowPowerSaving(!window_.settings.keep_monitor_on);
}

void PowerWatch::Poll(uint32_t now) {
  if (polled_ && !DelayPassed(last_poll_, now, kPollMilliseconds)) return;
  polled_ = true;
  last_poll_ = now;
  const bool off = power_.PoweredOff();
  const bool went_dark = off && !was_off_;
  was_off_ = off;
  if (!went_dark) return;
  ++went_dark_;
  if (window_.settings.keep_monitor_on) {
    // The desktop has already powered the monitor down by the time we see it, so keeping it on
    // means turning it straight back on; still dark at the next look, it is turned on again.
    ++kept_on_;
    power_.ForceOn();
    was_off_ = false;
    return;
  }
  window_.StartPowerOffCountdown();
}

uint32_t PowerWatch::MillisecondsToNextLook(uint32_t now) const {
  if (!polled_) return 0;
  const uint32_t since = now - last_poll_;
  return since >= kPollMilliseconds ? 0 : kPollMilliseconds - since;
}

void PowerWatch::RunTimers(uint32_t now, bool screens_dark) {
  TimerSchedule& timers = window_.Timers();
  // In light, and at the look that found the monitor dark (which may have started a timer from
  // now), the timers run as they are.
  const bool dark = was_off_ || screens_dark;
  const bool catch_up = dark && ran_dark_;
  ran_dark_ = dark;
  if (!catch_up) {
    timers.RunDue(now);
    timers_at_ = now;
    return;
  }
  // A second holds a handful of firings; the bound only guards against a timer of no interval.
  constexpr int kMostFirings = 1000;
  for (int fired = 0; fired < kMostFirings && !window_.EndStatus(); ++fired) {
    const uint32_t until = timers.MillisecondsUntilDue(timers_at_);
    if (until == UINT32_MAX || static_cast<uint32_t>(now - timers_at_) < until) break;
    timers_at_ += until;
    timers.RunDue(timers_at_);
  }
  timers_at_ = now;
}

}  // namespace larkspill

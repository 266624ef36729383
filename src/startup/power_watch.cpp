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

}  // namespace larkspill

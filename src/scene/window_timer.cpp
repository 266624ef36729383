#include "scene/window_timer.h"

#include <limits>
#include <utility>

#include "scene/tick_counts.h"

namespace larkspill {

size_t TimerSchedule::Add(std::string name, uint32_t interval, bool enabled,
                          std::function<void()> handler, uint32_t now) {
  timers_.push_back(WindowTimer{std::move(name), interval, enabled, std::move(handler), now});
  return timers_.size() - 1;
}

void TimerSchedule::SetEnabled(size_t index, bool enabled, uint32_t now) {
  WindowTimer& t = timers_.at(index);
  if (enabled && !t.enabled) t.last = now;
  t.enabled = enabled;
}

void TimerSchedule::SetInterval(size_t index, uint32_t interval) {
  timers_.at(index).interval = interval;
}

void TimerSchedule::RunDue(uint32_t now) {
  for (size_t i = 0; i < timers_.size(); ++i) {
    WindowTimer& t = timers_[i];
    if (!t.enabled || t.interval == 0) continue;
    if (!DelayPassed(t.last, now, t.interval)) continue;
    t.last += t.interval;
    // More than a whole interval behind: start again from now rather than catch up.
    if (DelayPassed(t.last, now, t.interval)) t.last = now;
    // The handler may add, enable or disable timers, so it is called on a copy.
    std::function<void()> handler = t.handler;
    if (handler) handler();
  }
}

uint32_t TimerSchedule::MillisecondsUntilDue(uint32_t now) const {
  uint32_t best = std::numeric_limits<uint32_t>::max();
  for (const WindowTimer& t : timers_) {
    if (!t.enabled || t.interval == 0) continue;
    uint32_t elapsed = TicksSince(t.last, now);
    uint32_t wait = elapsed >= t.interval ? 0 : t.interval - elapsed;
    if (wait < best) best = wait;
  }
  return best;
}

}  // namespace larkspill

#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace larkspill {

// A window timer: an interval, an enabled flag and a handler. Interval 0 never fires.
struct WindowTimer {
  std::string name;
  uint32_t interval = 0;
  bool enabled = false;
  std::function<void()> handler;
  uint32_t last = 0;  // tick of the last firing or of the enabling
};

// The timers of one window, run from the event loop between input and the frame.
class TimerSchedule {
 public:
  // Adds a timer; it starts counting from `now`. Returns its index.
  size_t Add(std::string name, uint32_t interval, bool enabled, std::function<void()> handler,
             uint32_t now);
  // Enables or disables a timer; enabling a disabled timer restarts its count from `now`.
  void SetEnabled(size_t index, bool enabled, uint32_t now);
  void SetInterval(size_t index, uint32_t interval);
  const WindowTimer& At(size_t index) const { return timers_[index]; }
  size_t Count() const { return timers_.size(); }

  // Runs each enabled timer whose interval has passed, in the order added, each at most once:
  // a timer that is late fires once, never in a burst, and keeps its phase when it can.
  // Tick differences are taken modulo 2^32.
  void RunDue(uint32_t now);

  // Milliseconds until the next enabled timer is due (0 when one is due now); UINT32_MAX when
  // none is enabled.
  uint32_t MillisecondsUntilDue(uint32_t now) const;

 private:
  std::vector<WindowTimer> timers_;
};

}  // namespace larkspill

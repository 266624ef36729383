#include "startup/power_hook.h"

#include <utility>

namespace larkspill {

PowerHook::PowerHook(SaverWindow& window, MonitorPower& power) : window_(window), power_(power) {}

void PowerHook::HookWindow(WindowProcedure previous) {
  previous_ = std::move(previous);
}

int32_t PowerHook::WindowProc(uint32_t message, uint32_t wParam, int32_t lParam) {
  if (message == kWmSysCommand && wParam == kScMonitorPower) {
    if (window_.PwrSave != 0) {
      // The desktop has already powered the monitor down by the time we hear of it, so
      // withholding the command means turning the monitor straight back on.
      ++withheld_;
      power_.ForceOn();
      return 0;
    }
    window_.EnableTimer5();
  }
  return previous_ ? previous_(message, wParam, lParam) : 0;
}

void PowerHook::Start() {
  power_.AllowPowerSaving(window_.PwrSave == 0);
}

void PowerHook::Poll(uint32_t now) {
  if (polled_ && static_cast<uint32_t>(now - last_poll_) < kPollMilliseconds) return;
  polled_ = true;
  last_poll_ = now;
  const bool off = power_.PoweredOff();
  if (off && !was_off_) {
    const int withheld_before = withheld_;
    WindowProc(kWmSysCommand, kScMonitorPower, kMonitorPowerOff);
    // A withheld command has turned the monitor on again; if it is still dark at the next
    // look, the command goes again.
    was_off_ = withheld_ == withheld_before;
    return;
  }
  was_off_ = off;
}

}  // namespace larkspill

#pragma once

#include "scene/monitor_power.h"
#include "scene/window_system.h"

typedef struct _XDisplay Display;

namespace larkspill {

// The monitor's power on X11, through DPMS. Keeping it on switches DPMS's own time-outs off for
// the run and puts them back at the end; the X screen saver's idle clock, which screen lockers
// wait on, is never held or reset.
class X11MonitorPower : public MonitorPower {
 public:
  explicit X11MonitorPower(WindowSystem& windows) : windows_(windows) {}
  ~X11MonitorPower() override;
  X11MonitorPower(const X11MonitorPower&) = delete;
  X11MonitorPower& operator=(const X11MonitorPower&) = delete;

  bool PoweredOff() override { return windows_.MonitorPoweredOff(); }
  void AllowPowerSaving(bool allow) override;
  void ForceOn() override;

 private:
  // A connection to a display whose monitors take DPMS commands.
  bool Dpms();

  WindowSystem& windows_;
  Display* display_ = nullptr;
  bool tried_ = false;
  bool dpms_held_off_ = false;
};

}  // namespace larkspill

#pragma once

#include <filesystem>

#include "platform/x11/dpms.h"
#include "platform/x11/power_saving_record.h"
#include "scene/monitor_power.h"
#include "scene/window_system.h"

namespace larkspill {

// The monitor's power on X11, through DPMS. Keeping it on switches DPMS's own time-outs off for
// the run and puts them back at the end; the X screen saver's idle clock, which screen lockers
// wait on, is never held or reset. While the time-outs are off a note in the runtime folder says
// so, and a saver that was killed has them put back by the next start.
class X11MonitorPower : public MonitorPower {
 public:
  // `record`: where the note lives (PowerSavingRecordPath); empty keeps no note.
  X11MonitorPower(WindowSystem& windows, Dpms& dpms, const std::filesystem::path& record);
  ~X11MonitorPower() override;
  X11MonitorPower(const X11MonitorPower&) = delete;
  X11MonitorPower& operator=(const X11MonitorPower&) = delete;

  bool PoweredOff() override { return windows_.MonitorPoweredOff(); }
  void AllowPowerSaving(bool allow) override;
  void ForceOn() override;

 private:
  WindowSystem& windows_;
  Dpms& dpms_;
  PowerSavingRecord record_;
  bool dpms_held_off_ = false;
};

}  // namespace larkspill

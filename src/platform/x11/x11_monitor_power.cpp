#include "platform/x11/x11_monitor_power.h"

namespace larkspill {

X11MonitorPower::X11MonitorPower(WindowSystem& windows, Dpms& dpms,
                                 const std::filesystem::path& record)
    : windows_(windows), dpms_(dpms), record_(record) {
  PutBackPowerSavingLeftOff(record, dpms_);
}

X11MonitorPower::~X11MonitorPower() {
  AllowPowerSaving(true);
}

void X11MonitorPower::AllowPowerSaving(bool allow) {
  if (!allow && !dpms_held_off_ && dpms_.Capable() && dpms_.Enabled()) {
    record_.NoteHeldOff();
    dpms_.SetEnabled(false);
    dpms_held_off_ = true;
  } else if (allow && dpms_held_off_) {
    dpms_.SetEnabled(true);
    dpms_held_off_ = false;
    record_.NoteGivenBack();
  }
}

void X11MonitorPower::ForceOn() {
  if (dpms_.Capable()) dpms_.ForceOn();
}

}  // namespace larkspill

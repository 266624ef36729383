#include "platform/x11/x11_monitor_power.h"

#include <X11/Xlib.h>
#include <X11/extensions/dpms.h>

namespace larkspill {

X11MonitorPower::~X11MonitorPower() {
  if (display_ == nullptr) return;
  if (dpms_held_off_) DPMSEnable(display_);
  XCloseDisplay(display_);
}

void X11MonitorPower::AllowPowerSaving(bool allow) {
  if (!Dpms()) return;
  CARD16 level = 0;
  BOOL enabled = False;
  if (!allow && !dpms_held_off_ && DPMSInfo(display_, &level, &enabled) && enabled) {
    DPMSDisable(display_);
    dpms_held_off_ = true;
  } else if (allow && dpms_held_off_) {
    DPMSEnable(display_);
    dpms_held_off_ = false;
  }
  XFlush(display_);
}

void X11MonitorPower::ForceOn() {
  if (!Dpms()) return;
  DPMSForceLevel(display_, DPMSModeOn);
  XFlush(display_);
}

bool X11MonitorPower::Dpms() {
  if (display_ == nullptr && !tried_) {
    tried_ = true;
    display_ = XOpenDisplay(nullptr);
  }
  int event_base = 0, error_base = 0;
  return display_ != nullptr && DPMSQueryExtension(display_, &event_base, &error_base) &&
         DPMSCapable(display_);
}

}  // namespace larkspill

#include "platform/x11/dpms.h"

#include <X11/Xlib.h>
#include <X11/extensions/dpms.h>

namespace larkspill {

XlibDpms::~XlibDpms() {
  if (display_ != nullptr) XCloseDisplay(display_);
}

bool XlibDpms::Capable() {
  if (display_ == nullptr && !tried_) {
    tried_ = true;
    display_ = XOpenDisplay(nullptr);
  }
  int event_base = 0, error_base = 0;
  return display_ != nullptr && DPMSQueryExtension(display_, &event_base, &error_base) &&
         DPMSCapable(display_);
}

bool XlibDpms::Enabled() {
  CARD16 level = 0;
  BOOL enabled = False;
  return Capable() && DPMSInfo(display_, &level, &enabled) && enabled;
}

void XlibDpms::SetEnabled(bool enabled) {
  if (!Capable()) return;
  if (enabled) {
    DPMSEnable(display_);
  } else {
    DPMSDisable(display_);
  }
  XFlush(display_);
}

void XlibDpms::ForceOn() {
  if (!Capable()) return;
  DPMSForceLevel(display_, DPMSModeOn);
  XFlush(display_);
}

}  // namespace larkspill

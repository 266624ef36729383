#pragma once

#include <filesystem>
#include <system_error>

#include "scene/monitor_power.h"

namespace larkspill {

// The monitor's power, with a switch for tests and benchmarks on X servers that have no power
// management of their own (Xvfb, Xvnc, Xorg's dummy driver): while the named file exists every
// monitor counts as powered off. Everything else is the real monitor's.
class MonitorPowerSwitch : public MonitorPower {
 public:
  MonitorPowerSwitch(MonitorPower& real, std::filesystem::path off_while_exists)
      : real_(real), off_file_(std::move(off_while_exists)) {}

  bool PoweredOff() override {
    std::error_code error;
    return std::filesystem::exists(off_file_, error) || real_.PoweredOff();
  }
  void AllowPowerSaving(bool allow) override { real_.AllowPowerSaving(allow); }
  void ForceOn() override { real_.ForceOn(); }

 private:
  MonitorPower& real_;
  std::filesystem::path off_file_;
};

}  // namespace larkspill

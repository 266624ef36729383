#pragma once

namespace larkspill {

// The monitor's power as the saver can steer it from its own full-screen window.
class MonitorPower {
 public:
  virtual ~MonitorPower() = default;
  // True while the monitor is powered down (standby, suspend or off).
  virtual bool PoweredOff() = 0;
  // True: the monitor may power down at the desktop's time-outs.
  // False: its power-down time-outs are held off (never the idle clock screen lockers use).
  virtual void AllowPowerSaving(bool allow) = 0;
  // Turns a powered-down monitor back on.
  virtual void ForceOn() = 0;
};

}  // namespace larkspill

#pragma once

#include <cstdint>
#include <functional>

#include "scene/monitor_power.h"
#include "scene/saver_window.h"

namespace larkspill {

// The window messages the power hook knows by number.
inline constexpr uint32_t kWmCreate = 0x0001;
inline constexpr uint32_t kWmSysCommand = 0x0112;
inline constexpr uint32_t kScMonitorPower = 0xF170;
// The power command's lParam when the monitor is being powered down.
inline constexpr int32_t kMonitorPowerOff = 2;

// A window procedure: a message, its two parameters, a result.
using WindowProcedure = std::function<int32_t(uint32_t message, uint32_t wParam, int32_t lParam)>;

// The saver window's power plumbing. The desktop powers the monitor down on its own time-outs;
// the hook notices, sends the power-off command through WindowProc, and WindowProc acts on it as
// the PwrSave setting says: withheld (the monitor is turned on again at once), or let through
// with the power-off timer Timer5 enabled so the sounds fall silent a minute later.
class PowerHook {
 public:
  // How often the monitor's power state is looked at.
  static constexpr uint32_t kPollMilliseconds = 1000;

  PowerHook(SaverWindow& window, MonitorPower& power);

  // Puts WindowProc in front of `previous`, the procedure that gets every message it passes on.
  void HookWindow(WindowProcedure previous);

  // The power-off command (WM_SYSCOMMAND with wParam exactly SC_MONITORPOWER): with PwrSave
  // not 0 it is withheld, the monitor is turned back on and 0 is returned without the previous
  // procedure seeing it; with PwrSave 0 Timer5 is enabled and the command passes on unchanged.
  // Every other message goes to the previous procedure unchanged.
  int32_t WindowProc(uint32_t message, uint32_t wParam, int32_t lParam);

  // Sets the desktop's power saving from PwrSave; called once the saver window has loaded.
  void Start();
  // Called from the run loop: about once a second, looks at the monitor and sends the
  // power-off command when it has gone dark since the last look.
  void Poll(uint32_t now);

  // How many power-off commands were withheld so far.
  int Withheld() const { return withheld_; }

 private:
  SaverWindow& window_;
  MonitorPower& power_;
  WindowProcedure previous_;
  bool polled_ = false;
  uint32_t last_poll_ = 0;
  bool was_off_ = false;
  int withheld_ = 0;
};

}  // namespace larkspill

#pragma once

#include <cstdint>

#include "scene/monitor_power.h"
#include "scene/saver_window.h"

namespace larkspill {

// Watches the monitor's power for the saver window. The desktop powers the monitor down on its
// own time-outs; as the PwrSave setting says, the watch turns it straight back on, or lets it
// stay dark and starts the window's power-off countdown so the sounds fall silent a minute later.
// While it is dark the saver draws nothing and the watch keeps the scene's time.
class PowerWatch {
 public:
  // How often the monitor's power state is looked at.
  static constexpr uint32_t kPollMilliseconds = 1000;

  PowerWatch(SaverWindow& window, MonitorPower& power);

  // Sets the desktop's power saving from PwrSave; called once the saver window has loaded.
  void Start();
  // Called from the run loop: about once a second, looks at the monitor and acts when it has
  // gone dark since the last look. A monitor turned back on that is still dark at the next look
  // counts as gone dark again.
  void Poll(uint32_t now);

  // True while every monitor is dark and left dark (PwrSave 0): nothing need be drawn.
  bool Dark() const { return was_off_; }
  // Milliseconds until the next look at the monitor.
  uint32_t MillisecondsToNextLook(uint32_t now) const;
  // Runs the window's timers that are due by `now`, from the run loop. While dark (the monitor,
  // or `screens_dark`: the screens take no frames) the loop wakes only for a look a second: then
  // each timer fires at the times it was due, as often as in light, so the scene's time goes on.
  void RunTimers(uint32_t now, bool screens_dark = false);

  // How many times the monitor was seen going dark, and how many of those it was turned back on.
  int WentDark() const { return went_dark_; }
  int KeptOn() const { return kept_on_; }

 private:
  SaverWindow& window_;
  MonitorPower& power_;
  bool polled_ = false;
  uint32_t last_poll_ = 0;
  bool was_off_ = false;
  uint32_t timers_at_ = 0;  // the time the timers have been run up to
  bool ran_dark_ = false;   // the last run of the timers was in the dark
  int went_dark_ = 0;
  int kept_on_ = 0;
};

}  // namespace larkspill

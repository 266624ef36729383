#pragma once

#include <cstdint>
#include <string>

namespace larkspill {

struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

// The desktop around the saver: window search, desktop size, cursor, the saver-running flag,
// monitor power and the single-instance test.
class WindowSystem {
 public:
  virtual ~WindowSystem() = default;
  // True when a top-level window with exactly this title exists.
  virtual bool FindWindowByTitle(const std::string& title) = 0;
  // The desktop's rectangle in screen coordinates.
  virtual Rect DesktopRect() = 0;
  // Hides (false) or shows (true) the pointer over the saver.
  virtual void ShowCursor(bool show) = 0;
  // Records whether a screen saver runs; the desktop is told where it has a way to hear it.
  virtual void SetScreenSaverRunning(bool running) = 0;
  // True while the monitor is powered down (DPMS standby, suspend or off).
  virtual bool MonitorPoweredOff() = 0;
  // True exactly when another instance of this program runs. The first call takes the
  // instance lock for this process; the lock dies with the process.
  virtual bool PreviousInstanceRunning() = 0;
};

}  // namespace larkspill

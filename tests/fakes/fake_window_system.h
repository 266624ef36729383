#pragma once

#include "fakes/call_log.h"
#include "scene/window_system.h"

namespace larkspill::testing {

// A desktop whose answers the test sets; cursor, saver-running and instance calls are recorded.
class FakeWindowSystem : public WindowSystem, public CallLog {
 public:
  bool FindWindowByTitle(const std::string& t) override { return std::ranges::count(titles, t); }
  Rect DesktopRect() override { return {0, 0, 1920, 1080}; }
  void ShowCursor(bool show) override { Record("ShowCursor", show); }
  void SetScreenSaverRunning(bool running) override { Record("SetScreenSaverRunning", running); }
  bool MonitorPoweredOff() override { return false; }
  bool PreviousInstanceRunning() override { return Record("PreviousInstanceRunning"), previous; }

  std::vector<std::string> titles;  // top-level windows that exist
  bool previous = false;            // what PreviousInstanceRunning says
};

}  // namespace larkspill::testing

#pragma once

#include <string>
#include <vector>

#include "startup/window_system.h"

namespace larkspill::testing {

// A desktop whose answers are set by the test; cursor and saver-running calls are recorded as
// text ("ShowCursor 0", "SetScreenSaverRunning 1").
class FakeWindowSystem : public WindowSystem {
 public:
  bool FindWindowByTitle(const std::string& title) override {
    for (const auto& t : window_titles) {
      if (t == title) return true;
    }
    return false;
  }
  Rect DesktopRect() override { return desktop; }
  void ShowCursor(bool show) override {
    Record(std::string("ShowCursor ") + (show ? "1" : "0"));
    (show ? cursor_shows : cursor_hides) += 1;
  }
  void SetScreenSaverRunning(bool running) override {
    Record(std::string("SetScreenSaverRunning ") + (running ? "1" : "0"));
    saver_running = running;
  }
  bool MonitorPoweredOff() override { return monitor_off; }
  bool PreviousInstanceRunning() override { return previous_instance; }

  std::vector<std::string> window_titles;  // top-level windows that exist
  Rect desktop{0, 0, 1920, 1080};
  bool monitor_off = false;
  bool previous_instance = false;
  bool saver_running = false;
  int cursor_hides = 0;
  int cursor_shows = 0;
  std::vector<std::string> calls;
  std::vector<std::string>* journal = nullptr;  // when set, every call is copied here too

 private:
  void Record(std::string call) {
    if (journal) journal->push_back(call);
    calls.push_back(std::move(call));
  }
};

}  // namespace larkspill::testing

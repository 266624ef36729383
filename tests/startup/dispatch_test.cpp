#include "startup/dispatch.h"

#include <gtest/gtest.h>

#include "scene/exit_status.h"

namespace larkspill {
namespace {

class StubWindows : public WindowSystem {
 public:
  bool FindWindowByTitle(const std::string& title) override {
    searched.push_back(title);
    return display_properties && title == "Display Properties";
  }
  Rect DesktopRect() override { return {}; }
  void ShowCursor(bool) override {}
  void SetScreenSaverRunning(bool) override {}
  bool MonitorPoweredOff() override { return false; }
  bool PreviousInstanceRunning() override {
    ++instance_checks;
    return other_instance;
  }
  bool display_properties = false;
  bool other_instance = false;
  int instance_checks = 0;
  std::vector<std::string> searched;
};

struct Ran {
  std::string mode;
  ModeRunners runners;
  Ran() {
    runners.saver = [this] { mode = "saver"; return 0; };
    runners.preview = [this] { mode = "preview"; return 0; };
    runners.settings = [this] { mode = "settings"; return 0; };
    runners.password = [this] { mode = "password"; return 0; };
    runners.host = [this] { mode = "host"; return 0; };
  }
};

TEST(Dispatch, SingleInstanceRule) {
  struct Case {
    std::vector<std::string> args;
    bool other_instance;
    bool display_properties;
    const char* runs;
  };
  const Case cases[] = {
      {{"/s"}, false, false, "saver"},
      {{"/s"}, true, false, ""},  // refused: another saver runs
      {{"/s"}, true, true, "saver"},  // the display settings' preview is the other instance
      {{}, true, false, "saver"},     // an empty command line is never refused
      {{"/c"}, true, false, "settings"},
      {{"/p", "5"}, true, false, "preview"},
      {{"/a"}, true, false, "password"},
      {{"-root"}, true, false, "host"},  // hosts start one per monitor
      {{"/x"}, false, false, ""},
  };
  for (const Case& c : cases) {
    StubWindows windows;
    windows.other_instance = c.other_instance;
    windows.display_properties = c.display_properties;
    Ran ran;
    EXPECT_EQ(Main(ParseStartup(c.args, nullptr), windows, ran.runners), kExitOk);
    EXPECT_EQ(ran.mode, c.runs) << (c.args.empty() ? "(none)" : c.args[0]);
    // Every instance that does anything joins the instance lock.
    EXPECT_EQ(windows.instance_checks, c.args == std::vector<std::string>{"/x"} ? 0 : 1);
  }
}

TEST(Dispatch, BadHostArgumentsEndWithAUsageError) {
  StubWindows windows;
  Ran ran;
  testing::internal::CaptureStderr();
  EXPECT_EQ(Main(ParseStartup({"--window-id", "nope"}, nullptr), windows, ran.runners), kExitUsage);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("nope"), std::string::npos);
  EXPECT_EQ(ran.mode, "");
}

}  // namespace
}  // namespace larkspill

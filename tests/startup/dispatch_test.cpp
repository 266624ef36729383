#include "startup/dispatch.h"

#include <gtest/gtest.h>

#include "fakes/fake_window_system.h"
#include "scene/exit_status.h"

namespace larkspill {
namespace {

// Notes which mode ran.
struct Ran {
  std::string mode;
  ModeRunners runners{[this] { return Run("saver"); }, [this] { return Run("preview"); },
                      [this] { return Run("settings"); }, [this] { return Run("password"); },
                      [this] { return Run("host"); }};
  int Run(const char* name) {
    mode = name;
    return 0;
  }
};

TEST(Dispatch, SingleInstanceRule) {
  struct Case {
    std::vector<std::string> args;
    bool other_instance, display_properties;
    const char* runs;
  } cases[] = {
      {{"/s"}, false, false, "saver"},
      {{"/s"}, true, false, ""},      // refused: another saver runs
      {{"/s"}, true, true, "saver"},  // the display settings' preview is the other instance
      {{}, true, false, "saver"},     // an empty command line is never refused
      {{"/c"}, true, false, "settings"},
      {{"/p", "5"}, true, false, "preview"},
      {{"/a"}, true, false, "password"},
      {{"-root"}, true, false, "host"},  // hosts start one per monitor
      {{"/x"}, false, false, ""}};
  for (const Case& c : cases) {
    testing::FakeWindowSystem windows;
    windows.previous_instance = c.other_instance;
    if (c.display_properties) windows.window_titles = {"Display Properties"};
    Ran ran;
    EXPECT_EQ(Main(ParseStartup(c.args, nullptr), windows, ran.runners), kExitOk);
    EXPECT_EQ(ran.mode, c.runs) << (c.args.empty() ? "(none)" : c.args[0]);
    // Every instance that does anything joins the instance lock.
    EXPECT_EQ(windows.Count("PreviousInstanceRunning"),
              c.args == std::vector<std::string>{"/x"} ? 0u : 1u);
  }
}

TEST(Dispatch, BadHostArgumentsEndWithAUsageError) {
  testing::FakeWindowSystem windows;
  Ran ran;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Main(ParseStartup({"--window-id", "nope"}, nullptr), windows, ran.runners), kExitUsage);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("nope"), std::string::npos);
  EXPECT_EQ(ran.mode, "");
}

}  // namespace
}  // namespace larkspill

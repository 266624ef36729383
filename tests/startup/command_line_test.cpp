#include "startup/command_line.h"

#include <gtest/gtest.h>

namespace larkspill {
namespace {

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> args;
  size_t start = 0;
  while (start <= line.size() && !line.empty()) {
    size_t space = line.find(' ', start);
    args.push_back(line.substr(start, space - start));
    if (space == std::string::npos) break;
    start = space + 1;
  }
  return args;
}

TEST(CommandLine, SwitchPicksTheMode) {
  struct Case {
    std::vector<std::string> args;
    Mode mode;
  };
  const Case cases[] = {
      {{"/s"}, Mode::Saver},
      {{"/S"}, Mode::Saver},
      {{"  /S  "}, Mode::Saver},
      {{"/save", "now"}, Mode::Saver},
      {{"/s:123"}, Mode::Saver},
      {{}, Mode::SaverNoCheck},
      {{""}, Mode::SaverNoCheck},
      {{"   "}, Mode::SaverNoCheck},
      {{"/c"}, Mode::Settings},
      {{"/C:123"}, Mode::Settings},
      {{"/c", "4567"}, Mode::Settings},
      {{"/a"}, Mode::Password},
      {{"/p", "123"}, Mode::Preview},
      {{"-s"}, Mode::None},
      {{"s"}, Mode::None},
      {{"c"}, Mode::None},
      {{"/x"}, Mode::None},
      {{"/"}, Mode::None},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const auto& a : c.args) shown += "[" + a + "]";
    EXPECT_EQ(ParseStartup(c.args, nullptr).mode, c.mode) << shown;
  }
  EXPECT_EQ(NormalizeCommandLine("  /P 0X1A  "), "/p 0x1a");
}

TEST(CommandLine, PreviewTakesTheLongestNumericTail) {
  struct Case {
    const char* line;
    bool has_number;
    int32_t handle;
  };
  const Case cases[] = {
      {"/p 1234", true, 1234}, {"/p1234", true, 1234}, {"/p   1234  ", true, 1234},
      {"/p:1234", true, 1234}, {"/p -77", true, -77},  {"/p 2147483647", true, 2147483647},
      {"/p", false, 0},        {"/p abc", false, 0},   {"/p 99999999999", false, 0},
      {"/p 12.6", true, 13},
  };
  for (const Case& c : cases) {
    StartupOptions o = ParseStartup(Split(c.line), nullptr);
    EXPECT_EQ(o.mode, Mode::Preview) << c.line;
    EXPECT_EQ(o.preview_has_number, c.has_number) << c.line;
    EXPECT_EQ(o.PreviewParent, c.handle) << c.line;
  }
}

TEST(CommandLine, HostsNameTheirWindow) {
  struct Case {
    std::vector<std::string> args;
    const char* environment;  // XSCREENSAVER_WINDOW, as xscreensaver starts a saver
    Mode mode;
    uint64_t window;
    bool root, error;
  };
  const Case cases[] = {
      {{"-root"}, nullptr, Mode::Host, 0, true, false},
      {{"--window-id", "0x2a00007"}, nullptr, Mode::Host, 0x2a00007, false, false},
      {{"-window-id", "12345"}, nullptr, Mode::Host, 12345, false, false},
      {{"--window-id=0X10"}, nullptr, Mode::Host, 16, false, false},
      {{}, "0x400001", Mode::Host, 0x400001, false, false},
      {{"-root"}, "4194305", Mode::Host, 4194305, false, false},
      {{"/c"}, "0x400001", Mode::Settings, 0, false, false},  // the dialog stays a dialog
      {{"--window-id"}, nullptr, Mode::Host, 0, false, true},
      {{"--window-id", "zz"}, nullptr, Mode::Host, 0, false, true},
      {{"--window-id", "0"}, nullptr, Mode::Host, 0, false, true},
      {{"--window-id", "0x"}, nullptr, Mode::Host, 0, false, true},
      {{"--window-id", "99999999999"}, nullptr, Mode::Host, 0, false, true},
      {{}, "junk", Mode::Host, 0, false, true},
  };
  for (const Case& c : cases) {
    StartupOptions o = ParseStartup(c.args, c.environment);
    SCOPED_TRACE((c.args.empty() ? "" : c.args.back()) + " " +
                 (c.environment ? c.environment : ""));
    EXPECT_EQ(o.mode, c.mode);
    EXPECT_EQ(!o.error.empty(), c.error);
    if (c.error || c.mode != Mode::Host) continue;
    EXPECT_EQ(o.host_window, c.window);
    EXPECT_TRUE(o.host_root || !c.root);
  }
}

}  // namespace
}  // namespace larkspill

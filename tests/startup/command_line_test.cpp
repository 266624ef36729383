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
      {"/p 1234", true, 1234},   {"/p1234", true, 1234},    {"/p   1234  ", true, 1234},
      {"/p:1234", true, 1234},   {"/p -77", true, -77},     {"/p 2147483647", true, 2147483647},
      {"/p", false, 0},          {"/p abc", false, 0},      {"/p 99999999999", false, 0},
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
  StartupOptions o = ParseStartup({"-root"}, nullptr);
  EXPECT_EQ(o.mode, Mode::Host);
  EXPECT_TRUE(o.host_root);
  o = ParseStartup({"--window-id", "0x2a00007"}, nullptr);
  EXPECT_EQ(o.mode, Mode::Host);
  EXPECT_EQ(o.host_window, 0x2a00007u);
  o = ParseStartup({"-window-id", "12345"}, nullptr);
  EXPECT_EQ(o.host_window, 12345u);
  o = ParseStartup({"--window-id=0X10"}, nullptr);
  EXPECT_EQ(o.host_window, 16u);
  // xscreensaver names the window in the environment and passes -root or nothing.
  o = ParseStartup({}, "0x400001");
  EXPECT_EQ(o.mode, Mode::Host);
  EXPECT_EQ(o.host_window, 0x400001u);
  o = ParseStartup({"-root"}, "4194305");
  EXPECT_EQ(o.host_window, 4194305u);
  // The environment does not turn the settings dialog into a saver.
  EXPECT_EQ(ParseStartup({"/c"}, "0x400001").mode, Mode::Settings);

  for (auto args : {std::vector<std::string>{"--window-id"},
                    std::vector<std::string>{"--window-id", "zz"},
                    std::vector<std::string>{"--window-id", "0"},
                    std::vector<std::string>{"--window-id", "0x"},
                    std::vector<std::string>{"--window-id", "99999999999"}}) {
    o = ParseStartup(args, nullptr);
    EXPECT_EQ(o.mode, Mode::Host);
    EXPECT_FALSE(o.error.empty()) << args.back();
  }
  EXPECT_FALSE(ParseStartup({}, "junk").error.empty());
}

}  // namespace
}  // namespace larkspill

#include "startup/command_line.h"

#include <gtest/gtest.h>

#include "fakes/fake_display.h"
#include "settings/memory_store.h"
#include "startup/fps_overlay.h"
#include "startup/overridden_store.h"

namespace larkspill {
namespace {

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> args;
  for (size_t start = 0, space = 0; !line.empty() && space != std::string::npos; start = space + 1)
    args.push_back(line.substr(start, (space = line.find(' ', start)) - start));
  return args;
}

TEST(CommandLine, SwitchPicksTheMode) {
  const std::pair<std::vector<std::string>, Mode> cases[] = {
      {{"/s"}, Mode::Saver},         {{"/S"}, Mode::Saver},         {{"  /S  "}, Mode::Saver},
      {{"/save", "now"}, Mode::Saver}, {{"/s:123"}, Mode::Saver},   {{}, Mode::SaverNoCheck},
      {{""}, Mode::SaverNoCheck},    {{"   "}, Mode::SaverNoCheck}, {{"/c"}, Mode::Settings},
      {{"/C:123"}, Mode::Settings},  {{"/c", "4567"}, Mode::Settings}, {{"/a"}, Mode::Password},
      {{"/p", "123"}, Mode::Preview}, {{"-s"}, Mode::None},         {{"s"}, Mode::None},
      {{"/x"}, Mode::None},          {{"/"}, Mode::None}};
  for (const auto& [args, mode] : cases)
    EXPECT_EQ(ParseStartup(args, nullptr).mode, mode) << (args.empty() ? "" : args[0]);
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
    uint64_t window;          // 0: an error, or the root window with -root alone
  } cases[] = {
      {{"-root"}, nullptr, 0},
      {{"--window-id", "0x2a00007"}, nullptr, 0x2a00007},
      {{"-window-id", "12345"}, nullptr, 12345},
      {{"--window-id=0X10"}, nullptr, 16},
      {{}, "0x400001", 0x400001},
      {{"-root"}, "4194305", 4194305},
      {{"--window-id"}, nullptr, 0},
      {{"--window-id", "zz"}, nullptr, 0},
      {{"--window-id", "0"}, nullptr, 0},
      {{"--window-id", "0x"}, nullptr, 0},
      {{"--window-id", "0x100000000"}, nullptr, 0},
      {{}, "junk", 0}};
  for (const Case& c : cases) {
    StartupOptions o = ParseStartup(c.args, c.environment);
    SCOPED_TRACE((c.args.empty() ? "" : c.args.back()) + " " + (c.environment ? c.environment : ""));
    EXPECT_EQ(o.mode, Mode::Host);
    const bool root = c.args == std::vector<std::string>{"-root"} && c.environment == nullptr;
    EXPECT_EQ(o.error.empty(), c.window != 0 || root);
    if (o.error.empty()) { EXPECT_EQ(o.host_window, c.window); }
    EXPECT_TRUE(o.host_root || !root);
  }
  EXPECT_EQ(ParseStartup({"/c"}, "0x400001").mode, Mode::Settings);  // the dialog stays a dialog
}

TEST(CommandLine, HostOptionsOverrideSettingsForOneRun) {
  struct Case {
    std::vector<std::string> args;
    // one/waterfall1, one/waterfall2, one/Clock, two/SoundWater, two/SoundEagle ("-": as stored),
    // then n for no sound, f for the frame rate shown, w for a warning.
    std::string reads;
  } cases[] = {{{"-root"}, "- - - - -"},
               {{"-root", "-waterfall", "2"}, "0 1 - - -"},
               {{"-root", "--waterfall=1"}, "1 0 - - -"},
               {{"-root", "-waterfall", "BOTH"}, "1 1 - - -"},
               {{"-root", "-waterfall", "3"}, "- - - - -w"},
               {{"-root", "-waterfall"}, "- - - - -w"},
               {{"-root", "-no-clock", "--clock"}, "- - 1 - -"},
               {{"-root", "-no-sound"}, "- - - 0 0n"},
               {{"-root", "--sound", "-fps"}, "- - - 1 1f"},
               // Options it does not know are passed over, as the hosts' own savers do.
               {{"-root", "-geometry", "1x1", "-fps", "--visual", "default"}, "- - - - -f"}};
  for (const Case& c : cases) {
    StartupOptions o = ParseStartup(c.args, "0x400001");
    SCOPED_TRACE(c.args.size() > 1 ? c.args[1] : c.args[0]);
    EXPECT_EQ(o.mode, Mode::Host);
    MemoryStore file;
    for (const char* key : {"waterfall1", "waterfall2", "Clock", "SoundWater", "SoundEagle"})
      file.SaveSetting(kAppName, key[0] == 'S' ? "two" : "one", key, "-");
    file.ClearWrites();
    OverriddenStore store(file, o.overrides);
    std::string reads;
    for (const char* key : {"Waterfall1", "WATERFALL2", "clock", "soundwater", "SoundEagle"})
      reads += (reads.empty() ? "" : " ") +
               store.GetSetting(kAppName, tolower(key[0]) == 's' ? "Two" : "One", key, "");
    if (o.no_sound) reads += 'n';
    if (o.show_fps) reads += 'f';
    if (!o.warnings.empty()) reads += 'w';
    EXPECT_EQ(reads, c.reads);
    // A write goes to the store as written, never as the option says.
    store.SaveSetting(kAppName, "One", "Waterfall1", "1");
    ASSERT_EQ(file.Writes().size(), 1u);
    EXPECT_EQ(file.GetSetting(kAppName, "one", "waterfall1", ""), "1");
  }
  EXPECT_EQ(ParseStartup({"--help"}, nullptr).mode, Mode::Help);
  EXPECT_EQ(ParseStartup({"-root", "-help"}, "0x400001").mode, Mode::Help);
  EXPECT_EQ(ParseStartup({"-fps"}, nullptr).mode, Mode::None);  // no host, no saver
}

TEST(FpsOverlay, ShowsTheFramesOfTheLastSecondOverEachFrame) {
  testing::FakeClock clock;
  testing::FakeDisplay display(clock);
  FpsOverlay fps(display, clock);
  auto flips = [&](int n, uint32_t step) {
    for (int i = 0; i < n; ++i) fps.Flip(), clock.Advance(step);
  };
  flips(25, 40);  // the first second: nothing measured yet
  EXPECT_TRUE(display.Starting("DrawText").empty());
  flips(1, 20);
  EXPECT_EQ(display.calls.back(), "Flip");
  EXPECT_EQ(display.calls[display.calls.size() - 2], "DrawText FPS: 25.0 4 578 16777215");
  flips(60, 20);  // faster: 50 frames a second
  EXPECT_EQ(fps.Text(), "FPS: 50.0");
}

}  // namespace
}  // namespace larkspill

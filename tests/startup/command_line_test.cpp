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
      {{"--window-id", "0x100000000"}, nullptr, Mode::Host, 0, false, true},
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

TEST(CommandLine, HostOptionsOverrideSettingsForOneRun) {
  struct Case {
    std::vector<std::string> args;
    std::string reads;  // one/waterfall1, one/waterfall2, one/Clock, two/SoundWater, two/SoundEagle
    bool no_sound, fps, warned;
  };
  const Case cases[] = {
      {{"-root"}, "stored stored stored stored stored", false, false, false},
      {{"-root", "-waterfall", "2"}, "0 1 stored stored stored", false, false, false},
      {{"-root", "--waterfall=1"}, "1 0 stored stored stored", false, false, false},
      {{"-root", "-waterfall", "BOTH"}, "1 1 stored stored stored", false, false, false},
      {{"-root", "-waterfall", "3"}, "stored stored stored stored stored", false, false, true},
      {{"-root", "-waterfall"}, "stored stored stored stored stored", false, false, true},
      {{"-root", "-no-clock", "--clock"}, "stored stored 1 stored stored", false, false, false},
      {{"-root", "-no-sound"}, "stored stored stored 0 0", true, false, false},
      {{"-root", "--sound", "-fps"}, "stored stored stored 1 1", false, true, false},
      // Options it does not know are passed over, as the hosts' own savers do.
      {{"-root", "-geometry", "1x1", "-fps", "--visual", "default"},
       "stored stored stored stored stored",
       false,
       true,
       false},
  };
  for (const Case& c : cases) {
    StartupOptions o = ParseStartup(c.args, "0x400001");
    SCOPED_TRACE(c.args.size() > 1 ? c.args[1] : c.args[0]);
    EXPECT_EQ(o.mode, Mode::Host);
    MemoryStore file;
    for (const char* key : {"waterfall1", "waterfall2", "Clock", "SoundWater", "SoundEagle"}) {
      file.SaveSetting(kAppName, key[0] == 'S' ? "two" : "one", key, "stored");
    }
    file.ClearWrites();
    OverriddenStore store(file, o.overrides);
    std::string reads;
    for (const char* key : {"Waterfall1", "WATERFALL2", "clock", "soundwater", "SoundEagle"}) {
      if (!reads.empty()) reads += ' ';
      reads += store.GetSetting(kAppName, key[0] == 'S' || key[0] == 's' ? "Two" : "One", key, "");
    }
    EXPECT_EQ(reads, c.reads);
    EXPECT_EQ(o.no_sound, c.no_sound);
    EXPECT_EQ(o.show_fps, c.fps);
    EXPECT_EQ(!o.warnings.empty(), c.warned);
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
    for (int i = 0; i < n; ++i) {
      fps.Flip();
      clock.Advance(step);
    }
  };
  flips(25, 40);  // the first second: nothing measured yet
  EXPECT_TRUE(display.Starting("DrawText").empty());
  flips(1, 20);
  EXPECT_EQ(fps.Text(), "FPS: 25.0");
  EXPECT_EQ(display.calls.back(), "Flip");
  EXPECT_EQ(display.calls[display.calls.size() - 2], "DrawText FPS: 25.0 4 578 16777215");
  flips(60, 20);  // faster: 50 frames a second
  EXPECT_EQ(fps.Text(), "FPS: 50.0");
}

}  // namespace
}  // namespace larkspill

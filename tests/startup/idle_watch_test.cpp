// The idle watcher: its command line, its decisions over a fake idle clock, its autostart entry.
#include "startup/idle_watch.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "startup/autostart_entry.h"
#include "startup/command_line.h"

namespace larkspill {
namespace {

using std::chrono::milliseconds;
using Entry = StartupOptions::AutostartEntry;

TEST(IdleCommandLine, ReadsMinutesAndTheEntry) {
  struct Case {
    std::vector<std::string> args;
    Mode mode;
    double minutes;
    Entry entry;
  };
  const Case cases[] = {
      {{"--on-idle", "5"}, Mode::OnIdle, 5, Entry::Keep},
      {{"--on-idle=0.05"}, Mode::OnIdle, 0.05, Entry::Keep},
      {{"-on-idle", "2.5", "--autostart"}, Mode::OnIdle, 2.5, Entry::Write},
      {{"--autostart", "--on-idle", "10"}, Mode::OnIdle, 10, Entry::Write},
      {{"--no-autostart"}, Mode::Autostart, 0, Entry::Remove},
  };
  for (const Case& c : cases) {
    StartupOptions options = ParseStartup(c.args, nullptr);
    EXPECT_EQ(options.mode, c.mode) << c.args[0];
    EXPECT_EQ(options.error, "") << c.args[0];
    EXPECT_DOUBLE_EQ(options.idle_minutes, c.minutes) << c.args[0];
    EXPECT_EQ(options.autostart, c.entry) << c.args[0];
  }
}

TEST(IdleCommandLine, OddValuesAreRefusedInWords) {
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{"--on-idle"}, "missing its minutes"},
      {{"--on-idle", ""}, "missing its minutes"},
      {{"--on-idle", "0"}, "above 0"},
      {{"--on-idle", "-1"}, "\"-1\""},
      {{"--on-idle", "five"}, "\"five\""},
      {{"--on-idle", "1e2"}, "\"1e2\""},
      {{"--on-idle", "nan"}, "\"nan\""},
      {{"--on-idle", "5min"}, "\"5min\""},
      {{"--on-idle", "10081"}, "at most a week"},
      {{"--on-idle", "0.01"}, "at least a second"},
      {{"--autostart"}, "goes with --on-idle"},
      {{"--on-idle", "5", "--no-autostart"}, "do not go together"},
      {{"--on-idle", "5", "/s"}, "\"/s\""},
  };
  for (const auto& [args, said] : cases) {
    StartupOptions options = ParseStartup(args, nullptr);
    EXPECT_NE(options.error.find(said), std::string::npos) << args.back() << ": " << options.error;
  }
  // The saver's own switches never reach the watcher.
  EXPECT_EQ(ParseStartup({"/s"}, nullptr).mode, Mode::Saver);
}

// Runs the watch over a fake idle clock, one decision at each of its waits.
struct FakeDesktop {
  milliseconds stretch;
  IdleWatch watch{stretch};
  milliseconds idle{0};
  bool inhibited = false, locked = false, saver_running = false;
  int inhibit_asks = 0;

  IdleStep Step() {
    IdleFacts facts;
    facts.idle = idle;
    facts.saver_running = saver_running;
    facts.inhibited = [this] { return ++inhibit_asks, inhibited; };
    facts.locked = [this] { return locked; };
    return watch.Decide(facts);
  }
  // Lets `span` of idle time pass, deciding whenever the watch asked and at its end; the number
  // of saver starts.
  int IdleFor(milliseconds span) {
    int starts = 0;
    const milliseconds end = idle + span;
    for (;;) {
      IdleStep step = Step();
      if (step.start_saver) ++starts;
      if (idle >= end) return starts;
      idle = std::min(end, idle + step.wait);
    }
  }
};

TEST(IdleWatch, OneSaverEachIdleStretchOnTime) {
  FakeDesktop desk{milliseconds(3000)};
  IdleStep first = desk.Step();
  EXPECT_FALSE(first.start_saver);
  EXPECT_EQ(first.wait, milliseconds(3000));  // nothing can happen sooner
  desk.idle = milliseconds(2990);
  EXPECT_EQ(desk.Step().wait, milliseconds(20));  // never a busy wait
  desk.idle = milliseconds(3000);
  EXPECT_TRUE(desk.Step().start_saver);
  // While it runs, and after it ended without input (killed): no second one.
  desk.saver_running = true;
  EXPECT_EQ(desk.IdleFor(milliseconds(10000)), 0);
  desk.saver_running = false;
  EXPECT_EQ(desk.IdleFor(milliseconds(10000)), 0);
  // Input, then a new stretch: the next one.
  desk.idle = milliseconds(0);
  EXPECT_EQ(desk.IdleFor(milliseconds(2999)), 0);
  EXPECT_EQ(desk.IdleFor(milliseconds(1)), 1);
}

TEST(IdleWatch, InhibitOrLockHoldsItOffAndCountsAsInput) {
  for (bool by_lock : {false, true}) {
    FakeDesktop desk{milliseconds(3000)};
    (by_lock ? desk.locked : desk.inhibited) = true;
    EXPECT_EQ(desk.IdleFor(milliseconds(20000)), 0) << by_lock;
    (by_lock ? desk.locked : desk.inhibited) = false;
    // Not the moment it ends, as if the held-off time had been idle; within a stretch of it.
    EXPECT_FALSE(desk.Step().start_saver) << by_lock;
    EXPECT_EQ(desk.IdleFor(milliseconds(3000)), 1) << by_lock;
    EXPECT_EQ(desk.IdleFor(milliseconds(10000)), 0) << by_lock;
  }
  // Inhibitors are asked only when the saver would start, not at every look.
  FakeDesktop desk{milliseconds(60000)};
  desk.IdleFor(milliseconds(59000));
  EXPECT_EQ(desk.inhibit_asks, 0);
}

TEST(IdleWatch, UnknownIdleTimeStartsNothing) {
  IdleWatch watch(milliseconds(1000));
  IdleFacts facts;
  for (int i = 0; i < 5; ++i) {
    IdleStep step = watch.Decide(facts);
    EXPECT_FALSE(step.start_saver);
    EXPECT_GE(step.wait, milliseconds(500));
  }
}

TEST(AutostartEntry, RunsTheWatcherAndQuotesOddPaths) {
  EXPECT_EQ(AutostartEntryPath("/home/a/.config"),
            "/home/a/.config/autostart/larkspill-on-idle.desktop");
  const std::string plain = AutostartEntryText("/usr/bin/larkspill", "5");
  EXPECT_NE(plain.find("\nExec=/usr/bin/larkspill --on-idle 5\n"), std::string::npos) << plain;
  EXPECT_EQ(plain.rfind("[Desktop Entry]\n", 0), 0u);
  EXPECT_NE(plain.find("\nType=Application\n"), std::string::npos);
  // Spaces quote the path; a quote, a dollar and a backslash are escaped, backslashes twice.
  const std::string odd = AutostartEntryText("/opt/my games/lark$\"\\", "0.5");
  EXPECT_NE(odd.find("\nExec=\"/opt/my games/lark\\\\$\\\\\"\\\\\\\\\" --on-idle 0.5\n"),
            std::string::npos)
      << odd;
}

TEST(AutostartEntry, WrittenWholeAndRemoved) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("larkspill-autostart-" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  const std::filesystem::path entry = AutostartEntryPath(dir);
  std::string why;
  ASSERT_TRUE(WriteAutostartEntry(entry, "first\n", &why)) << why;
  ASSERT_TRUE(WriteAutostartEntry(entry, "second\n", &why)) << why;
  std::ifstream in(entry);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "second\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(entry.parent_path()), {}), 1);
  EXPECT_TRUE(RemoveAutostartEntry(entry, &why)) << why;
  EXPECT_FALSE(std::filesystem::exists(entry));
  EXPECT_TRUE(RemoveAutostartEntry(entry, &why)) << why;  // already gone: fine
  // A folder that cannot be made: false, naming it.
  std::ofstream(dir / "file") << "x";
  EXPECT_FALSE(WriteAutostartEntry(dir / "file" / "autostart" / "e.desktop", "x", &why));
  EXPECT_NE(why.find((dir / "file").string()), std::string::npos) << why;
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace larkspill

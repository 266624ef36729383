#include "startup/power_hook.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "scene/scene_harness.h"

namespace larkspill::testing {
namespace {

struct FakeMonitorPower : MonitorPower {
  bool PoweredOff() override { return ++looks, off; }
  void AllowPowerSaving(bool allow) override { allowed.push_back(allow); }
  void ForceOn() override { ++forced_on, off = off && !force_on_works; }
  bool off = false, force_on_works = true;
  int looks = 0, forced_on = 0;
  std::vector<bool> allowed;
};

using Message = std::tuple<uint32_t, uint32_t, int32_t>;

// A loaded saver window on fakes with the power hook in front of a recording procedure.
struct PowerHarness : Harness {
  explicit PowerHarness(const char* pwr_save) {
    FirstRun();
    Set("Startup", "PwrSave", pwr_save);
    hook = std::make_unique<PowerHook>(Make(), power);
    hook->HookWindow([this](uint32_t m, uint32_t w, int32_t l) { return passed.emplace_back(m, w, l), 77; });
    window->Form_Load();
    hook->Start();
    sound.calls.clear();
  }
  bool Timer5Enabled() const { return window->Timers().At(3).enabled; }
  // Moves the clock on and runs what the event loop runs between frames.
  void RunFor(uint32_t milliseconds, uint32_t step = 250) {
    for (uint32_t done = 0; done < milliseconds; done += step) {
      clock.Advance(step);
      hook->Poll(clock.ticks);
      window->Timers().RunDue(clock.ticks);
    }
  }

  FakeMonitorPower power;
  std::vector<Message> passed;
  std::unique_ptr<PowerHook> hook;
};

TEST(PowerHook, OnlyTheExactMonitorPowerCommandIsActedOn) {
  // The power command with low bits set, the saver's own command, close, move, 0xF160, and the
  // power word in other messages all pass on to the previous procedure untouched.
  const std::pair<uint32_t, uint32_t> others[] = {
      {kWmSysCommand, 0xF171},   {kWmSysCommand, 0xF17F},     {kWmSysCommand, 0xF140},
      {kWmSysCommand, 0xF060},   {kWmSysCommand, 0xF010},     {kWmSysCommand, 0xF160},
      {0x0111, kScMonitorPower}, {kWmCreate, kScMonitorPower}};
  for (const char* pwr_save : {"1", "0", "-1"}) {
    PowerHarness h(pwr_save);
    for (const auto& [message, wparam] : others) {
      h.passed.clear();
      EXPECT_EQ(h.hook->WindowProc(message, wparam, 2), 77) << std::hex << message << " " << wparam;
      EXPECT_EQ(h.passed, (std::vector<Message>{{message, wparam, 2}})) << pwr_save;
    }
    EXPECT_FALSE(h.Timer5Enabled()) << pwr_save;
    EXPECT_EQ(h.power.forced_on, 0) << pwr_save;
  }
}

// PwrSave 0: power saving is left to the desktop, a power-off command is passed on and starts
// the minute to silence, and the monitor is looked at each second; each new power-off seen there
// sends the command again.
TEST(PowerHook, WithoutPwrSaveTheDesktopSavesPowerAndEachPowerOffIsPassedOn) {
  {
    PowerHarness h("0");
    EXPECT_EQ(h.power.allowed, std::vector<bool>{true});
    EXPECT_EQ(h.hook->WindowProc(kWmSysCommand, kScMonitorPower, kMonitorPowerOff), 77);
    EXPECT_EQ(h.passed, (std::vector<Message>{{kWmSysCommand, kScMonitorPower, kMonitorPowerOff}}));
    EXPECT_TRUE(h.Timer5Enabled());
    h.hook->WindowProc(kWmSysCommand, kScMonitorPower, kMonitorPowerOff);  // enabled again
    EXPECT_TRUE(h.Timer5Enabled());
    EXPECT_EQ(h.power.forced_on, 0);
  }
  PowerHarness h("0");
  h.RunFor(10000, 100);
  EXPECT_EQ(h.power.looks, 10);
  for (int i = 0; i < 3; ++i) {
    h.power.off = true;
    h.RunFor(3000);
    h.power.off = false;
    h.RunFor(3000);
  }
  EXPECT_EQ(h.passed.size(), 3u);
}

TEST(PowerHook, APoweredOffMonitorSilencesTheSoundsOnTheFourthTickAMinuteLater) {
  PowerHarness h("0");
  h.RunFor(5000);
  EXPECT_FALSE(h.Timer5Enabled());
  h.power.off = true;
  h.RunFor(1000);
  ASSERT_TRUE(h.Timer5Enabled());
  EXPECT_EQ(h.passed.size(), 1u);

  // It was enabled at the look 250 ms into that second. Three ticks, 45 seconds: still playing.
  h.RunFor(59000);
  EXPECT_EQ(h.sound.Count("StopAllSounds"), 0u);
  EXPECT_EQ(h.window->Timer5Count, 3);
  h.sound.calls.clear();  // the eagle's minute call
  // The fourth, a minute after the monitor went dark, stops and releases them.
  h.RunFor(500);
  EXPECT_EQ(h.window->Timer5Count, 4);
  EXPECT_EQ(h.sound.calls,
            (std::vector<std::string>{"StopAllSounds", "StopAllSounds", "ReleaseSound 1",
                                      "ReleaseSound 2", "ReleaseSound 3"}));
  // The monitor staying dark sends no further commands; the saver runs on in silence.
  h.RunFor(120000);
  EXPECT_EQ(h.passed.size(), 1u);
  EXPECT_EQ(h.sound.Count("StopAllSounds"), 2u);
  EXPECT_TRUE(h.statuses.empty());
}

// PwrSave other than 0: the command is withheld and the monitor turned back on, at every look
// while it stays dark; the sounds play on.
TEST(PowerHook, WithPwrSaveTheMonitorIsTurnedBackOnAndTheSoundsPlayOn) {
  EXPECT_EQ(PowerHarness("2").power.allowed, std::vector<bool>{false});
  PowerHarness h("1");
  EXPECT_EQ(h.power.allowed, std::vector<bool>{false});
  EXPECT_EQ(h.hook->WindowProc(kWmSysCommand, kScMonitorPower, kMonitorPowerOff), 0);
  EXPECT_EQ(h.power.forced_on, 1);
  EXPECT_EQ(h.hook->Withheld(), 1);
  h.power.off = true;
  h.RunFor(1000);
  EXPECT_EQ(h.power.forced_on, 2);
  EXPECT_FALSE(h.power.off);
  h.RunFor(120000);
  EXPECT_FALSE(h.Timer5Enabled());
  EXPECT_EQ(h.sound.Count("StopAllSounds"), 0u);
  h.power.force_on_works = false;
  h.power.off = true;
  h.RunFor(5000);
  EXPECT_EQ(h.power.forced_on, 7);
  EXPECT_TRUE(h.passed.empty()) << "a withheld command reached the previous procedure";
}

}  // namespace
}  // namespace larkspill::testing

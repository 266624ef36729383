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
const Message kPowerOff{kWmSysCommand, kScMonitorPower, kMonitorPowerOff};

// A loaded saver window on fakes with the power hook in front of a recording procedure.
struct PowerHarness : Harness {
  explicit PowerHarness(const std::string& pwr_save) {
    FirstRun();
    Set({{"Startup", "PwrSave", pwr_save}});
    hook = std::make_unique<PowerHook>(Make(), power);
    hook->HookWindow([this](auto... message) { return passed.emplace_back(message...), 77; });
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
  int32_t Send(const Message& m) { return hook->WindowProc(get<0>(m), get<1>(m), get<2>(m)); }

  FakeMonitorPower power;
  std::vector<Message> passed;
  std::unique_ptr<PowerHook> hook;
};

// PwrSave 0 leaves power saving to the desktop and passes the power-off command on, starting the
// minute to silence; any other PwrSave withholds it and turns the monitor back on.
TEST(PowerHook, OnlyTheExactMonitorPowerCommandIsActedOnAsPwrSaveSays) {
  // The power command with low bits set, the saver's own command, close, move, 0xF160, and the
  // power word in other messages all pass on to the previous procedure untouched.
  const std::vector<Message> others = {
      {kWmSysCommand, 0xF171, 2},   {kWmSysCommand, 0xF17F, 2},   {kWmSysCommand, 0xF140, 2},
      {kWmSysCommand, 0xF060, 2},   {kWmSysCommand, 0xF010, 2},   {kWmSysCommand, 0xF160, 2},
      {0x0111, kScMonitorPower, 2}, {kWmCreate, kScMonitorPower, 2}};
  for (const std::string pwr_save : {"1", "0", "-1", "2"}) {
    SCOPED_TRACE(pwr_save);
    PowerHarness h(pwr_save);
    const bool keeps_it_on = pwr_save != "0";
    EXPECT_EQ(h.power.allowed, std::vector<bool>{!keeps_it_on});
    for (const Message& m : others) EXPECT_EQ(h.Send(m), 77) << std::hex << get<1>(m);
    EXPECT_FALSE(h.Timer5Enabled());
    EXPECT_EQ(h.power.forced_on, 0);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(h.Send(kPowerOff), keeps_it_on ? 0 : 77);
    std::vector<Message> passed = others;
    if (!keeps_it_on) passed.insert(passed.end(), 2, kPowerOff);
    EXPECT_EQ(h.passed, passed);
    EXPECT_EQ(std::tuple(h.Timer5Enabled(), h.power.forced_on, h.hook->Withheld()),
              keeps_it_on ? std::tuple(false, 2, 2) : std::tuple(true, 0, 0));
  }
}

// The monitor is looked at each second; the first power-off seen there starts the minute to
// silence, and each new one sends the command again.
TEST(PowerHook, WithoutPwrSaveAPowerOffSilencesTheSoundsOnTheFourthTickAMinuteLater) {
  PowerHarness h("0");
  h.RunFor(10000, 100);
  EXPECT_EQ(h.power.looks, 10);
  EXPECT_FALSE(h.Timer5Enabled());
  h.power.off = true;
  h.RunFor(1000);
  ASSERT_TRUE(h.Timer5Enabled());
  // It was enabled at the look 250 ms into that second. Three ticks, 45 seconds: still playing.
  h.RunFor(59000);
  EXPECT_EQ(h.sound.Count("StopAllSounds"), 0u);
  EXPECT_EQ(h.window->Timer5Count, 3);
  h.sound.calls.clear();  // the eagle's minute call
  h.RunFor(500);          // the fourth, a minute after the monitor went dark
  EXPECT_EQ(h.window->Timer5Count, 4);
  EXPECT_EQ(h.sound.calls,
            (std::vector<std::string>{"StopAllSounds", "StopAllSounds", "ReleaseSound 1",
                                      "ReleaseSound 2", "ReleaseSound 3"}));
  // The monitor staying dark sends no further commands; the saver runs on in silence.
  h.RunFor(120000);
  EXPECT_EQ(h.passed.size(), 1u);
  EXPECT_EQ(h.sound.Count("StopAllSounds"), 2u);
  EXPECT_TRUE(h.statuses.empty());
  for (int i = 0; i < 2; ++i) {
    h.power.off = false;
    h.RunFor(3000);
    h.power.off = true;
    h.RunFor(3000);
  }
  EXPECT_EQ(h.passed, std::vector<Message>(3, kPowerOff));
}

// At every look while the monitor stays dark it is turned back on; the sounds play on.
TEST(PowerHook, WithPwrSaveTheMonitorIsTurnedBackOnAndTheSoundsPlayOn) {
  PowerHarness h("1");
  h.power.off = true;
  h.RunFor(1000);
  EXPECT_EQ(h.power.forced_on, 1);
  EXPECT_FALSE(h.power.off);
  h.RunFor(120000);
  EXPECT_FALSE(h.Timer5Enabled());
  EXPECT_EQ(h.sound.Count("StopAllSounds"), 0u);
  h.power.force_on_works = false;
  h.power.off = true;
  h.RunFor(5000);
  EXPECT_EQ(h.power.forced_on, 6);
  EXPECT_TRUE(h.passed.empty()) << "a withheld command reached the previous procedure";
}

}  // namespace
}  // namespace larkspill::testing

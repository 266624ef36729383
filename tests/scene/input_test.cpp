// What ends the saver: keys, buttons and the pointer rule, and the orderly close-down.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scene/exit_status.h"
#include "scene_harness.h"

namespace larkspill::testing {
namespace {

const std::vector<std::string> kCloseDownCalls = {
    "StopAllSounds",           "ReleaseSound 1", "ReleaseSound 2", "ReleaseSound 3",
    "SetScreenSaverRunning 0", "ReleaseSound 1", "ReleaseSound 2", "ReleaseSound 3",
    "StopAllSounds",           "ShowCursor 1"};

TEST(Input, KeyButtonOrWheelClosesDownInOrderAndNothingRunsAfter) {
  for (void (SaverWindow::*input)() :
       {&SaverWindow::OnKey, &SaverWindow::OnButton, &SaverWindow::OnWheel}) {
    Harness h;
    h.FirstRun();
    SaverWindow& w = h.Load();
    (w.*input)();
    EXPECT_EQ(h.journal, kCloseDownCalls);
    EXPECT_EQ(h.statuses, std::vector<int>{kExitOk});
    EXPECT_TRUE(w.Ended());

    h.journal.clear();
    h.PokeAll();
    EXPECT_TRUE(h.journal.empty());
    EXPECT_EQ(h.statuses.size(), 1u);
    EXPECT_EQ(h.windows.calls, (std::vector<std::string>{"ShowCursor 0", "SetScreenSaverRunning 0",
                                                         "ShowCursor 1"}));
  }
}

TEST(Input, PointerEndsTheSaverOnTheMouseSensthMoveOfACountingWindow) {
  struct Case {
    const char *name, *mouse_sens;
    std::vector<double> times;  // seconds since midnight of each pointer move
    int ends_at;                // index of the move that ends the saver; -1: none
  };
  std::vector<double> steady;
  for (int i = 0; i < 60; ++i) steady.push_back(1000 + i * 0.25);
  const Case cases[] = {
      {"sens 1", "1", {500}, 0},
      {"fourth counted before the reset test", "4", {100, 101, 102, 115}, 3},
      {"moves within the half second the window opened", "4", {100.6, 100.7, 100.8, 100.9}, 3},
      {"reset at 11 s", "4", {100, 111, 112, 113, 114}, -1},
      {"fourth after the reset", "4", {100, 111, 112, 113, 114, 115}, 5},
      {"sens 0", "0", steady, -1},
      {"sens negative", "-3", steady, -1},
      {"window opened before midnight closes after it", "4", {86395, 86398, 8, 9, 10, 11}, -1},
      {"and counts afresh", "4", {86395, 86398, 8, 9, 10, 11, 12}, 6},
      {"within ten seconds across midnight", "4", {86395, 86398, 2, 3}, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Harness h;
    h.FirstRun();
    h.Set("one", "MouseSens", c.mouse_sens);
    SaverWindow& w = h.Load();
    int ended_at = -1;
    for (size_t i = 0; i < c.times.size(); ++i) {
      h.clock.seconds_since_midnight = c.times[i];
      w.OnPointerMoved();
      if (w.Ended() && ended_at < 0) ended_at = static_cast<int>(i);
    }
    EXPECT_EQ(ended_at, c.ends_at);
    EXPECT_EQ(h.statuses.size(), c.ends_at >= 0 ? 1u : 0u);
    EXPECT_EQ(h.journal, c.ends_at >= 0 ? kCloseDownCalls : std::vector<std::string>{});
  }
}

TEST(Input, CountingWindowOpensAtTheRoundedSecondAndTheCountStopsAtItsMaximum) {
  for (auto [now, first_move_time] : {std::pair{100.5, 100}, {101.5, 102}, {200.49, 200}}) {
    Harness h;
    h.FirstRun();
    SaverWindow& w = h.Load();
    h.clock.seconds_since_midnight = now;
    w.OnPointerMoved();
    EXPECT_EQ(w.FirstMoveTime, first_move_time) << now;
    EXPECT_EQ(w.MouseMoves, 1);
  }

  Harness h;
  h.FirstRun();
  h.Set("one", "MouseSens", "0");
  SaverWindow& w = h.Load();
  w.MouseMoves = 32766;
  for (int i = 0; i < 3; ++i) w.OnPointerMoved();
  EXPECT_EQ(w.MouseMoves, 32767);
  EXPECT_FALSE(w.Ended());
  w.OnKey();  // keys still end it
  EXPECT_TRUE(w.Ended());
}

}  // namespace
}  // namespace larkspill::testing

// Frame composition (scene choice, the notice, draw order, texts, pacing, a lost display) and
// each creature's step with the edge rules that bring it back.
#include <gtest/gtest.h>

#include <tuple>

#include "scene/exit_status.h"
#include "scene_harness.h"

namespace larkspill::testing {
namespace {

using S = Harness::Sprites;
using W = SaverWindow;

std::vector<std::string> Draws(const std::vector<int32_t>& ids) {
  std::vector<std::string> out;
  for (int32_t id : ids) out.push_back("DrawSprite " + std::to_string(id));
  return out;
}

TEST(Frame, FirstSceneComesFromTheEnabledWaterfallsAndDisabledScenesAreCorrected) {
  // waterfall1, waterfall2, the first scene, the scene count, a stale scene number set before a
  // frame, and the scene that frame draws.
  const std::tuple<const char*, const char*, int16_t, int16_t, int16_t, int16_t> cases[] = {
      {"1", "1", 1, 2, 2, 2}, {"1", "0", 1, 1, 2, 1}, {"0", "1", 2, 1, 1, 2},
      {"2", "1", 2, 1, 2, 2}, {"0", "0", 0, 0, 0, 0}};
  const std::vector<std::string> scenes[] = {
      {}, Draws({S::kBg1, S::kWater1}), Draws({S::kBg2, S::kWater2, S::kWater2Small})};
  for (const auto& [wf1, wf2, current, count, forced, drawn] : cases) {
    SCOPED_TRACE(std::string(wf1) + "," + wf2);
    Harness h;
    SaverWindow& w = h.Load({{"one", "waterfall1", wf1}, {"one", "waterfall2", wf2}}, "");
    EXPECT_EQ(std::pair(w.CurrentWaterfall, w.WaterfallCount), std::pair(current, count));
    w.CurrentWaterfall = forced;
    w.OnFrame();
    EXPECT_EQ(w.CurrentWaterfall, drawn);
    EXPECT_EQ(h.display.Starting("DrawSprite"), scenes[drawn]);
  }
}

TEST(Frame, WithoutAnySceneANoticeOnBlackWithCreaturesAndTextsOverIt) {
  Harness h;
  SaverWindow& w = h.Load({{"one", "waterfall1", "0"}, {"one", "waterfall2", "0"},
                           {"two", "ShowMessage", "1"}, {"two", "Message", "Gone fishing"}},
                          "Birds Butter1 Butter2");
  w.OnFrame();
  const std::string notice = "DrawText You have not selected a Waterfall 215 295 65535";
  const auto& calls = h.display.calls;
  ASSERT_GE(calls.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 4),
            (std::vector<std::string>{"CheckDisplay", "ClearBackBuffer 0",
                                      "SetTextFont Arial 30 1 0 0 0", notice}));
  EXPECT_EQ(calls.back(), "Flip");
  EXPECT_EQ(h.display.Starting("DrawSprite"),
            Draws({S::kFlock, S::kB1, S::kB2, S::kB3, S::kB4, S::kB5}));
  // The clock shows midnight until the first one-second tick, then the message.
  EXPECT_EQ(h.display.Starting("DrawText"),
            (std::vector<std::string>{notice, "DrawText 00:00:00 0 1 65535",
                                      "DrawText Gone fishing 1 568 65535"}));
  for (int i = 0; i < 200; ++i) w.Timer1_Timer();  // no timer rotates to a scene that is off
  EXPECT_EQ(w.CurrentWaterfall, 0);
}

TEST(Frame, ClockCornerAndMessage) {
  const std::string msg = "DrawText Hello 1 568 65535";
  const std::tuple<const char*, const char*, std::vector<std::string>> cases[] = {
      {"1", "1", {"DrawText 12:34:56 0 1 65535", msg}},
      {"2", "1", {"DrawText 12:34:56 1 545 65535", msg}},
      {"3", "1", {"DrawText 12:34:56 650 1 65535", msg}},
      {"4", "1", {"DrawText 12:34:56 650 550 65535", msg}},
      {"3.6", "1", {"DrawText 12:34:56 650 550 65535", msg}},
      {"0", "1", {msg}}, {"2", "0", {msg}}};
  for (const auto& [pos_clock, clock, texts] : cases) {
    SCOPED_TRACE(std::string(pos_clock) + " clock " + clock);
    Harness h;
    SaverWindow& w = h.Load({{"two", "PosClock", pos_clock}, {"one", "Clock", clock},
                             {"one", "FontSize", "20"}, {"two", "ShowMessage", "1"},
                             {"two", "Message", "Hello"}, {"two", "FontSizeMsg", "18"},
                             {"Startup", "CheckFont", "0"}, {"Startup", "FontName", "DejaVu Sans"}},
                            "");
    h.clock.seconds_since_midnight = 12 * 3600 + 34 * 60 + 56;
    w.Timer1_Timer();
    h.clock.seconds_since_midnight += 0.7;  // frames between ticks show the tick's time
    w.OnFrame();
    EXPECT_EQ(h.display.Starting("DrawText"), texts);
    std::vector<std::string> fonts = {"SetTextFont DejaVu Sans 18 1 0 0 0"};
    if (texts.size() == 2) fonts.insert(fonts.begin(), "SetTextFont DejaVu Sans 20 1 0 0 0");
    EXPECT_EQ(h.display.Starting("SetTextFont"), fonts);
  }
}

TEST(Frame, LostDisplayStopsClosesUnloadsAndEndsWithoutFlip) {
  Harness h;
  SaverWindow& w = h.Load();
  h.display.display_ok = false;
  w.OnFrame();
  // Sounds stop before the display closes; the saver-running flag is CloseDown's to clear.
  EXPECT_EQ(h.journal, (std::vector<std::string>{
                           "CheckDisplay", "StopAllSounds", "CloseDisplay", "ReleaseSound 1",
                           "ReleaseSound 2", "ReleaseSound 3", "StopAllSounds", "ShowCursor 1"}));
  EXPECT_EQ(h.statuses, std::vector<int>{kExitDisplayLost});
  EXPECT_TRUE(w.Ended());
  h.ExpectNothingRunsAfterTheEnd();
}

TEST(Frame, CreatureMovesWhenItsDelayHasPassedEvenAcrossTheTickWrap) {
  const std::tuple<uint32_t, uint32_t, int16_t, bool> cases[] = {  // last step, now, delay, moves
      {1000, 1024, 25, false},     {1000, 1025, 25, true}, {0xFFFFFFF0u, 8, 25, false},
      {0xFFFFFFF0u, 9, 25, true},  {500, 500, 0, true},    {500, 500, -3, true},
      {0, 0xFFFFFFFFu, 100, true}};
  for (const auto& [last, now, delay, moves] : cases) {
    SCOPED_TRACE(std::to_string(last) + " -> " + std::to_string(now));
    Harness h;
    SaverWindow& w = h.Load({}, "Birds");
    w.BirdSpeed = delay;
    w.FlockLastMove = last;
    h.clock.ticks = now;
    w.OnFrame();
    EXPECT_EQ(h.display.Count("MoveSpriteX 6 1"), moves ? 1u : 0u);
    EXPECT_EQ(w.FlockLastMove, moves ? now : last);
  }
}

TEST(Frame, ButterfliesShownFollowTheirSwitchesAndCount) {
  const std::pair<const char*, std::vector<int32_t>> cases[] = {  // Butter1 NumButter Butter2
      {"130", {S::kB1, S::kB2, S::kB3}}, {"120", {S::kB1, S::kB2}},
      {"111", {S::kB1, S::kB4, S::kB5}}, {"031", {S::kB4, S::kB5}},
      {"030", {}},                       {"140", {S::kB1, S::kB2}}};
  for (const auto& [b, drawn] : cases) {
    SCOPED_TRACE(b);
    Harness h;
    SaverWindow& w = h.Load({{"one", "Butter1", {b[0]}}, {"one", "NumButter", {b[1]}},
                             {"one", "Butter2", {b[2]}}, {"one", "waterfall1", "0"},
                             {"one", "waterfall2", "0"}}, "");
    h.clock.Advance(1000);
    w.OnFrame();
    EXPECT_EQ(h.display.Starting("DrawSprite"), Draws(drawn));
  }
}

TEST(Creatures, FlockFliesRightAndReEntersFromTheLeftRestingUnlessAlways) {
  // BirdTimer, the random draw, the y it re-enters at, whether it flies on: only "Always" does.
  const std::tuple<const char*, double, int32_t, bool> cases[] = {
      {"20", 0.0, 10, false}, {"Always", 0.99999, 509, true}, {"always", 0.5, 260, false}};
  for (const auto& [bird_timer, r, new_y, flies_on] : cases) {
    SCOPED_TRACE(bird_timer);
    Harness h;
    SaverWindow& w = h.Load({{"one", "BirdTimer", bird_timer}}, "Birds");
    w.FlockWait = 7;
    h.Sprite(S::kFlock).x = 800;
    h.clock.Advance(1000);
    w.OnFrame();  // 801: still on screen
    EXPECT_TRUE(w.FlockActive);
    h.random.values = {r};
    h.clock.Advance(1000);
    w.OnFrame();  // 802: placed back at the left
    EXPECT_EQ(w.FlockX, 802);
    EXPECT_EQ(h.At(S::kFlock), std::pair(-118, new_y));
    EXPECT_EQ(w.FlockActive, flies_on);
    EXPECT_EQ(w.FlockWait, flies_on ? 7 : 0);
    h.display.calls.clear();
    h.clock.Advance(1000);
    w.OnFrame();  // a resting flock is neither moved nor drawn
    EXPECT_EQ(h.display.Count("DrawSprite 6"), flies_on ? 1u : 0u);
    EXPECT_EQ(h.Sprite(S::kFlock).x, flies_on ? -117 : -118);
  }
}

TEST(Creatures, SingleBirdsClimbEverySecondStepAndRestAfterLeavingRight) {
  struct Bird {
    int32_t sprite;
    void (SaverWindow::*move)();
    bool SaverWindow::*active;
    int16_t SaverWindow::*wait, SaverWindow::*step, SaverWindow::*x;
  };
  const Bird birds[] = {
      {S::kBird1, &W::MoveBird2, &W::Bird1Active, &W::Bird1Wait, &W::Bird1Step, &W::Bird1X},
      {S::kBird2, &W::MoveBird3, &W::Bird2Active, &W::Bird2Wait, &W::Bird2Step, &W::Bird2X}};
  for (const Bird& b : birds) {
    Harness h;
    SaverWindow& w = h.Load({}, "SingleBird");
    w.FlockWait = 9;
    for (double r : {0.0, 0.99999}) {  // twice over the edge
      SCOPED_TRACE(std::to_string(b.sprite) + " r " + std::to_string(r));
      w.*b.active = true;
      w.*b.wait = 11, w.*b.step = 0;
      h.Sprite(b.sprite) = {.x = 799, .y = 300};
      (w.*b.move)();  // 800, no climb
      EXPECT_EQ(h.Sprite(b.sprite).y, 300);
      (w.*b.move)();  // 801, climbs a pixel
      EXPECT_EQ(h.Sprite(b.sprite).y, 299);
      EXPECT_EQ(w.*b.step, 0);
      EXPECT_TRUE(w.*b.active);
      h.random.values = {r};
      (w.*b.move)();  // 802: back to the left, somewhere from 200 to 1199
      EXPECT_EQ(w.*b.x, 802);
      EXPECT_EQ(h.At(b.sprite), std::pair(-75, r == 0.0 ? 200 : 1199));
      EXPECT_FALSE(w.*b.active);
      EXPECT_EQ(w.*b.wait, 0);
      EXPECT_EQ(w.FlockWait, 9);  // the flock's rest is its own
    }
  }
}

// The first kind flutters left: even odds of a pixel down and left, or a pixel up. The second
// kind climbs: one chance in three of a pixel down, two of a pixel up; a timer drifts it left.
TEST(Creatures, ButterfliesStepAsTheRandomDrawSays) {
  using Butterfly = std::tuple<void (W::*)(), int32_t, int16_t W::*>;
  const std::vector<Butterfly> first_kind = {{&W::MoveButterfly1, S::kB1, &W::Butterfly1Dir},
                                             {&W::MoveButterfly2, S::kB2, &W::Butterfly2Dir},
                                             {&W::MoveButterfly3, S::kB3, &W::Butterfly3Dir}},
                               second_kind = {{&W::MoveButterfly4, S::kB4, &W::Butterfly4Dir},
                                              {&W::MoveButterfly5, S::kB5, &W::Butterfly5Dir}};
  // The kind, the draw, the direction it gives, and the change of x and of screen y.
  const std::tuple<bool, double, int16_t, int32_t, int32_t> steps[] = {
      {true, 0.5, 2, -1, 1},   {true, 0.49999, 1, 0, -1}, {false, 0.0, 1, 0, -1},
      {false, 0.33333, 1, 0, -1}, {false, 0.34, 2, 0, 1}, {false, 0.66666, 2, 0, 1},
      {false, 0.67, 3, 0, -1}};
  Harness h;
  SaverWindow& w = h.Load();
  for (const auto& [first, r, dir, dx, dy] : steps)
    for (const auto& [move, sprite, dir_of] : first ? first_kind : second_kind) {
      SCOPED_TRACE(std::to_string(sprite) + " r " + std::to_string(r));
      const auto [x, y] = h.At(sprite);
      h.random.values = {r};
      (w.*move)();
      EXPECT_EQ(h.At(sprite), std::pair(x + dx, y + dy));
      EXPECT_EQ(w.*dir_of, dir);
    }
}

// The first kind steps left past -75 and comes back at the right; the second kind, drifting left
// even while hidden, climbs past -50 and comes back from below.
TEST(Creatures, ButterfliesReEnterAfterLeaving) {
  for (double r : {0.0, 0.99999}) {
    Harness h;
    SaverWindow& w = h.Load({{"one", "NumButter", "3"}}, "");
    w.Timer4_Timer();
    EXPECT_EQ(h.display.calls, (std::vector<std::string>{"MoveSpriteX 4 -1", "MoveSpriteX 5 -1"}));
    EXPECT_EQ(h.Sprite(S::kB4).x, 699);
    w.Butter1 = w.Butter2 = 1;
    h.Sprite(S::kB3).x = -75;
    h.Sprite(S::kB5).y = -50;
    // Butterflies 1 and 2 step, the third past -75, the fourth down, the fifth past -50.
    h.random.values = {0.0, 0.0, 0.5, r, 0.5, 0.0, r};
    h.clock.Advance(1000);
    w.OnFrame();
    EXPECT_EQ(w.Butterfly1X, 200);
    EXPECT_EQ(w.Butterfly3X, -76);
    EXPECT_EQ(h.At(S::kB3), std::pair(805, r == 0.0 ? 60 : 559));
    EXPECT_EQ(w.Butterfly4Y, 551);
    EXPECT_EQ(w.Butterfly5Y, -51);
    EXPECT_EQ(h.At(S::kB5), std::pair(r == 0.0 ? 1 : 800, 605));
  }
}

}  // namespace
}  // namespace larkspill::testing

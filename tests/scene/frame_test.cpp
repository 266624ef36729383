// Frame composition: scene choice, the notice, draw order, texts, pacing and a lost display.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scene/exit_status.h"
#include "scene_harness.h"

namespace larkspill::testing {
namespace {

using S = Harness::Sprites;

std::string Draw(int32_t id) {
  return "DrawSprite " + std::to_string(id);
}

TEST(Frame, FirstSceneComesFromTheEnabledWaterfallsAndDisabledScenesAreCorrected) {
  struct Case {
    const char *wf1, *wf2;
    int16_t current, count;
    int16_t forced, after_frame;  // a stale scene number set before a frame, and its correction
    std::vector<std::string> scene_draws;
  };
  const Case cases[] = {
      {"1", "1", 1, 2, 2, 2, {Draw(S::kBg2), Draw(S::kWater2), Draw(S::kWater2Small)}},
      {"1", "0", 1, 1, 2, 1, {Draw(S::kBg1), Draw(S::kWater1)}},
      {"0", "1", 2, 1, 1, 2, {Draw(S::kBg2), Draw(S::kWater2), Draw(S::kWater2Small)}},
      {"2", "1", 2, 1, 2, 2, {Draw(S::kBg2), Draw(S::kWater2), Draw(S::kWater2Small)}},
      {"0", "0", 0, 0, 0, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.wf1) + "," + c.wf2);
    Harness h;
    h.OnlyCreatures(false, false, false, false);
    h.Set("one", "waterfall1", c.wf1);
    h.Set("one", "waterfall2", c.wf2);
    SaverWindow& w = h.Load();
    EXPECT_EQ(w.CurrentWaterfall, c.current);
    EXPECT_EQ(w.WaterfallCount, c.count);
    w.CurrentWaterfall = c.forced;
    w.OnFrame();
    EXPECT_EQ(w.CurrentWaterfall, c.after_frame);
    EXPECT_EQ(h.display.Starting("DrawSprite"), c.scene_draws);
  }
}

TEST(Frame, WithoutAnySceneANoticeOnBlackWithCreaturesAndTextsOverIt) {
  Harness h;
  h.OnlyCreatures(true, false, true, true);
  h.Set("one", "waterfall1", "0");
  h.Set("one", "waterfall2", "0");
  h.Set("two", "ShowMessage", "1");
  h.Set("two", "Message", "Gone fishing");
  SaverWindow& w = h.Load();
  w.OnFrame();

  const auto& calls = h.display.calls;
  ASSERT_GE(calls.size(), 5u);
  EXPECT_EQ(
      std::vector<std::string>(calls.begin(), calls.begin() + 4),
      (std::vector<std::string>{"CheckDisplay", "ClearBackBuffer 0", "SetTextFont Arial 30 1 0 0 0",
                                "DrawText You have not selected a Waterfall 215 295 65535"}));
  EXPECT_EQ(calls.back(), "Flip");
  EXPECT_EQ(h.display.Starting("DrawSprite"),
            (std::vector<std::string>{Draw(S::kFlock), Draw(S::kB1), Draw(S::kB2), Draw(S::kB3),
                                      Draw(S::kB4), Draw(S::kB5)}));
  // The clock shows midnight until the first one-second tick, then the message.
  EXPECT_EQ(h.display.Starting("DrawText"),
            (std::vector<std::string>{"DrawText You have not selected a Waterfall 215 295 65535",
                                      "DrawText 00:00:00 0 1 65535",
                                      "DrawText Gone fishing 1 568 65535"}));
  // No timer ever rotates a scene that does not exist.
  for (int i = 0; i < 200; ++i) w.Timer1_Timer();
  EXPECT_EQ(w.CurrentWaterfall, 0);
}

TEST(Frame, ClockCornerAndMessage) {
  struct Case {
    const char *pos_clock, *clock;
    std::vector<std::string> texts;
  };
  const std::string msg = "DrawText Hello 1 568 65535";
  const Case cases[] = {
      {"1", "1", {"DrawText 12:34:56 0 1 65535", msg}},
      {"2", "1", {"DrawText 12:34:56 1 545 65535", msg}},
      {"3", "1", {"DrawText 12:34:56 650 1 65535", msg}},
      {"4", "1", {"DrawText 12:34:56 650 550 65535", msg}},
      {"3.6", "1", {"DrawText 12:34:56 650 550 65535", msg}},
      {"0", "1", {msg}},
      {"2", "0", {msg}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.pos_clock) + " clock " + c.clock);
    Harness h;
    h.OnlyCreatures(false, false, false, false);
    h.Set("two", "PosClock", c.pos_clock);
    h.Set("one", "Clock", c.clock);
    h.Set("one", "FontSize", "20");
    h.Set("two", "ShowMessage", "1");
    h.Set("two", "Message", "Hello");
    h.Set("two", "FontSizeMsg", "18");
    h.Set("Startup", "CheckFont", "0");
    h.Set("Startup", "FontName", "DejaVu Sans");
    SaverWindow& w = h.Load();
    h.clock.seconds_since_midnight = 12 * 3600 + 34 * 60 + 56;
    w.Timer1_Timer();
    h.clock.seconds_since_midnight += 0.7;  // frames between ticks show the tick's time
    w.OnFrame();
    EXPECT_EQ(h.display.Starting("DrawText"), c.texts);
    std::vector<std::string> fonts = {"SetTextFont DejaVu Sans 18 1 0 0 0"};
    if (c.texts.size() == 2) fonts.insert(fonts.begin(), "SetTextFont DejaVu Sans 20 1 0 0 0");
    EXPECT_EQ(h.display.Starting("SetTextFont"), fonts);
  }
}

TEST(Frame, LostDisplayStopsClosesUnloadsAndEndsWithoutFlip) {
  Harness h;
  h.FirstRun();
  SaverWindow& w = h.Load();
  h.display.display_ok = false;
  w.OnFrame();

  // Sounds stop before the display closes; only the cursor comes back (the saver-running flag
  // is CloseDown's to clear).
  EXPECT_EQ(h.journal, (std::vector<std::string>{
                           "CheckDisplay", "StopAllSounds", "CloseDisplay", "ReleaseSound 1",
                           "ReleaseSound 2", "ReleaseSound 3", "StopAllSounds", "ShowCursor 1"}));
  EXPECT_EQ(h.statuses, std::vector<int>{kExitDisplayLost});
  EXPECT_TRUE(w.Ended());

  h.journal.clear();
  h.PokeAll();  // nothing of the window runs after it
  EXPECT_TRUE(h.journal.empty());
  EXPECT_EQ(h.statuses.size(), 1u);
}

TEST(Frame, CreatureMovesWhenItsDelayHasPassedEvenAcrossTheTickWrap) {
  struct Case {
    uint32_t last, now;
    int16_t delay;
    bool moves;
  };
  const Case cases[] = {
      {1000, 1024, 25, false},     {1000, 1025, 25, true}, {0xFFFFFFF0u, 8, 25, false},
      {0xFFFFFFF0u, 9, 25, true},  {500, 500, 0, true},    {500, 500, -3, true},
      {0, 0xFFFFFFFFu, 100, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.last) + " -> " + std::to_string(c.now));
    Harness h;
    h.OnlyCreatures(true, false, false, false);
    SaverWindow& w = h.Load();
    w.BirdSpeed = c.delay;
    w.FlockLastMove = c.last;
    h.clock.ticks = c.now;
    w.OnFrame();
    EXPECT_EQ(h.display.Count("MoveSpriteX 6 1"), c.moves ? 1u : 0u);
    EXPECT_EQ(w.FlockLastMove, c.moves ? c.now : c.last);
  }
}

TEST(Frame, ButterfliesShownFollowTheirSwitchesAndCount) {
  struct Case {
    const char *butter1, *num, *butter2;
    std::vector<int32_t> drawn;
  };
  const Case cases[] = {{"1", "3", "0", {S::kB1, S::kB2, S::kB3}},
                        {"1", "2", "0", {S::kB1, S::kB2}},
                        {"1", "1", "1", {S::kB1, S::kB4, S::kB5}},
                        {"0", "3", "1", {S::kB4, S::kB5}},
                        {"0", "3", "0", {}},
                        {"1", "4", "0", {S::kB1, S::kB2}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.butter1) + c.num + c.butter2);
    Harness h;
    h.OnlyCreatures(false, false, c.butter1[0] == '1', c.butter2[0] == '1');
    h.Set("one", "NumButter", c.num);
    h.Set("one", "waterfall1", "0");
    h.Set("one", "waterfall2", "0");
    SaverWindow& w = h.Load();
    h.clock.Advance(1000);
    w.OnFrame();
    std::vector<std::string> expected;
    for (int32_t id : c.drawn) expected.push_back(Draw(id));
    EXPECT_EQ(h.display.Starting("DrawSprite"), expected);
  }
}

}  // namespace
}  // namespace larkspill::testing

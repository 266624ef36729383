// The saver window on fakes: its load, what ends it, its frames and its timers.
#include <gmock/gmock.h>

#include <algorithm>
#include <tuple>

#include "scene/exit_status.h"
#include "scene/scene_layout.h"
#include "scene_harness.h"

namespace larkspill::testing {
namespace {

using S = Harness::Loaded;
using W = SaverWindow;

// A scene's own pictures stay where the layout puts them and never roam; creatures start at
// their places and roam across a wide screen.
TEST(SaverLoad, ScenePicturesStayInPlaceAndCreaturesStartAtTheirsAndRoam) {
  using namespace scene_layout;
  Harness h;
  SaverWindow& w = h.Load({{"one", "BirdSpeed", "1000"}}, "Birds Butter1 SingleBird");
  for (SingleBird& bird : w.single_birds) bird.flying = true;  // they rest at first
  h.clock.Advance(1), w.OnFrame();
  // The birds take their first step with the first frame, before they are drawn: a pixel right.
  for (int i = 0; i < 2; ++i)
    EXPECT_EQ(h.DrawnAt(S::kBird1 + i), std::pair(kBirdStarts[i].x + 1, kBirdStarts[i].y));
  std::vector<PictureDrawing> first = h.display.Last<PictureDrawing>();
  ASSERT_EQ(first.size(), 8u);
  first.erase(first.begin() + 3, first.begin() + 5);  // the single birds, looked at above
  EXPECT_EQ(first[0], (PictureDrawing{{S::kBg1}, 1, -kWideMargin, 0, false}));
  EXPECT_EQ(first[1], (PictureDrawing{{S::kWater1}, 1, kWater1.place.x, kWater1.place.y, false}));
  EXPECT_EQ(first[2], (PictureDrawing{{S::kFlock}, 1, kFlockStart.x + 1, kFlockStart.y, true}));
  // Butterflies are drawn before they step.
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(h.DrawnAt(S::kB1 + i), std::pair(kButterflyStarts[i].x, kButterflyStarts[i].y));
    EXPECT_TRUE(first[3 + i].roams);
  }
  w.CurrentWaterfall = 2, w.OnFrame();
  const std::vector<PictureDrawing> second = h.display.Last<PictureDrawing>();
  EXPECT_EQ(second[0], (PictureDrawing{{S::kBg2}, 1, -kWideMargin, 0, false}));
  EXPECT_EQ(second[1], (PictureDrawing{{S::kWater2}, 1, kWater2.place.x, kWater2.place.y, false}));
  EXPECT_EQ(second[2], (PictureDrawing{{S::kWater2Small}, 1, kWater2Small.place.x,
                                       kWater2Small.place.y, false}));
}

// No 16-bit display, or a picture that cannot load: nothing loaded after it, no sound, nothing after.
TEST(SaverLoad, FailedLoadsEndWithTheCursorShownAndNothingBuilt) {
  Harness h, m;
  h.display.open_ok = false;
  h.Make().Load();
  EXPECT_EQ(h.boxes, (decltype(h.boxes){{"This program requires that you use a monitor that is "
                                         "capable of displaying 64K colors.",
                                         "Error opening Direct Draw!"}}));
  EXPECT_TRUE(h.display.loads.empty());
  EXPECT_EQ(h.window->EndStatus(), kExitNoDisplay);

  m.display.fail_file = "Flock3.BMP";
  EXPECT_THAT([&] { m.Make().Load(); },
              ::testing::ThrowsMessage<AssetError>(::testing::HasSubstr("/a/Flock3.BMP")));
  EXPECT_EQ(m.display.Count("Close"), 1u);
  m.window->Unload();
  EXPECT_EQ(m.window->EndStatus(), kExitAssetError);
  for (Harness* x : {&h, &m}) {
    x->ExpectNothingRunsAfterTheEnd();
    EXPECT_EQ(x->windows.calls, (std::vector<std::string>{"ShowCursor 0", "ShowCursor 1"}));
    EXPECT_EQ(x->sound.Count("LoadSound /a/nccf01.wav"), 0u);
  }
}

// A first run's values are all written before any setting is read, and the saver runs on them.
TEST(SaverLoad, FirstRunValuesAreWrittenBeforeAnyReadAndUsed) {
  Harness h;
  h.store.journal = &h.journal;
  h.Make().Load();
  const auto marker = std::ranges::find(h.journal, "Save System/SetReg");
  ASSERT_NE(marker, h.journal.end());
  EXPECT_EQ(h.journal[0], "Get System/SetReg");
  EXPECT_TRUE(std::none_of(marker + 1, h.journal.end(),
                           [](const std::string& e) { return e.starts_with("Save "); }));
  EXPECT_EQ(h.window->settings.mouse_sensitivity, 4);
  EXPECT_EQ(h.window->settings.flock_rest_seconds, 20);
}

TEST(SaverLoad, StoredChoicesAndTheFirstRunMarker) {
  // Stored; then BirdSpeed (77 stored, 25 if the first run writes again), font, seconds to silence.
  using Row = std::tuple<const char*, const char*, const char*, const char*, int, const char*, int>;
  for (const auto& [set_reg, check_font, font_name, sound_off, bird_speed, font, silence] :
       {Row{"3", "1", "Liberation Serif", "Never", 25, "", 0},
        Row{"2", "1.0", "DejaVu Sans", "5", 77, "Arial", 300},
        Row{"2.0", "0", "Liberation Serif", "10", 77, "Liberation Serif", 600},
        Row{"2", "yes", "DejaVu Sans", "Never", 77, "DejaVu Sans", 0}}) {
    SCOPED_TRACE(std::string(set_reg) + " " + check_font);
    Harness h;
    SaverWindow& w = h.Load({{"one", "BirdSpeed", "77"}, {"one", "SoundOff", sound_off},
                             {"Startup", "CheckFont", check_font},
                             {"Startup", "FontName", font_name}, {"System", "SetReg", set_reg}});
    EXPECT_EQ(w.settings.bird_step_delay, bird_speed);
    if (*font == 0) continue;  // the first run wrote over the rest
    EXPECT_EQ(w.settings.font_face, font);
    EXPECT_EQ(w.Sound.SoundOffSeconds, silence);
  }
}

// Also once the pointer's move count has stopped at its maximum. A lost display is closed once
// the sounds have stopped; the saver-running flag is the close-down's to clear.
TEST(Input, KeyButtonWheelOrALostDisplayEndTheSaverSilentAndNothingRunsAfter) {
  for (const auto& [input, status] :
       {std::pair(&W::OnKey, kExitOk), {&W::OnButton, kExitOk}, {&W::OnWheel, kExitOk},
        {&W::OnFrame, kExitDisplayLost}}) {
    Harness h;
    SaverWindow& w = h.Load({{"one", "MouseSens", "0"}});
    w.MouseMoves = 32766;
    for (int i = 0; i < 3; ++i) w.OnPointerMoved();
    EXPECT_EQ(w.MouseMoves, 32767);
    const bool lost = input == &W::OnFrame;
    h.display.display_ok = !lost;
    (w.*input)();
    EXPECT_EQ(w.EndStatus(), status);
    h.ExpectSilentWithTheCursorShown();
    EXPECT_EQ(h.windows.Count("SetScreenSaverRunning 0"), lost ? 0u : 1u);
    const auto at = [&h](const char* call) { return std::ranges::find(h.journal, call); };
    EXPECT_EQ(h.display.Count("Close"), lost ? 1u : 0u);
    EXPECT_TRUE(!lost || at("StopAllSounds") < at("Close")) << "closed before the sounds stopped";
    h.ExpectNothingRunsAfterTheEnd();
  }
}

TEST(Input, PointerEndsTheSaverOnTheMouseSensthMoveOfACountingWindow) {
  // What the row shows, settings.mouse_sensitivity, the time of day of each move, the move that ends it (-1: none).
  using Case = std::tuple<const char*, const char*, std::vector<double>, int>;
  std::vector<double> steady;
  for (int i = 0; i < 60; ++i) steady.push_back(1000 + i * 0.25);
  const Case cases[] = {
      {"sens 1", "1", {500}, 0}, {"sens 0", "0", steady, -1}, {"sens negative", "-3", steady, -1},
      {"fourth counted before the reset test", "4", {100, 101, 102, 115}, 3},
      {"moves within the half second the window opened", "4", {100.6, 100.7, 100.8, 100.9}, 3},
      {"reset at 11 s", "4", {100, 111, 112, 113, 114}, -1},
      {"fourth after the reset", "4", {100, 111, 112, 113, 114, 115}, 5},
      {"window opened before midnight closes after it", "4", {86395, 86398, 8, 9, 10, 11}, -1},
      {"and counts afresh", "4", {86395, 86398, 8, 9, 10, 11, 12}, 6},
      {"within ten seconds across midnight", "4", {86395, 86398, 2, 3}, 3},
      // The window opens at the nearest second, a half to the even one.
      {"101.5 opens at 102", "4", {101.5, 111.7, 112, 113}, 3},
      {"100.5 opens at 100", "4", {100.5, 110.6, 111, 112}, -1},
      {"200.49 opens at 200", "4", {200.49, 210.3, 211, 212}, -1},
  };
  for (const auto& [name, mouse_sens, times, ends_at] : cases) {
    SCOPED_TRACE(name);
    Harness h;
    SaverWindow& w = h.Load({{"one", "MouseSens", mouse_sens}});
    int ended_at = -1;
    for (int i = 0; i < std::ssize(times); ++i) {
      h.clock.seconds_since_midnight = times[i], w.OnPointerMoved();
      if (w.EndStatus() && ended_at < 0) ended_at = i;
    }
    EXPECT_EQ(ended_at, ends_at);
    EXPECT_EQ(w.EndStatus(), ends_at >= 0 ? std::optional<int>(kExitOk) : std::nullopt);
    if (ends_at >= 0) {
      h.ExpectSilentWithTheCursorShown();
    } else {
      EXPECT_EQ(h.journal, std::vector<std::string>{});
    }
  }
}

using Ids = std::vector<int32_t>;

Ids Joined(Ids ids, const Ids& more) {
  ids.insert(ids.end(), more.begin(), more.end());
  return ids;
}

TEST(Frame, ScenesAndButterfliesDrawnFollowTheirSwitchesAndCount) {
  // waterfall1 waterfall2 Butter1 NumButter Butter2; the first scene and the count; a stale scene
  // set; the scene a frame draws (a switched-off one corrected) and the butterflies after it.
  const std::tuple<const char*, int16_t, int16_t, int16_t, int16_t, Ids> cases[] = {
      {"11130", 1, 2, 2, 2, {S::kB1, S::kB2, S::kB3}}, {"10120", 1, 1, 2, 1, {S::kB1, S::kB2}},
      {"01111", 2, 1, 1, 2, {S::kB1, S::kB4, S::kB5}}, {"21031", 2, 1, 2, 2, {S::kB4, S::kB5}},
      {"00030", 0, 0, 0, 0, {}},                       {"00140", 0, 0, 0, 0, {S::kB1, S::kB2}}};
  const Ids scenes[] = {{}, {S::kBg1, S::kWater1}, {S::kBg2, S::kWater2, S::kWater2Small}};
  for (const auto& [sw, current, count, forced, drawn, butterflies] : cases) {
    SCOPED_TRACE(sw);
    Harness h;
    SaverWindow& w = h.Load({{"one", "waterfall1", {sw[0]}}, {"one", "waterfall2", {sw[1]}},
                             {"one", "Butter1", {sw[2]}}, {"one", "NumButter", {sw[3]}},
                             {"one", "Butter2", {sw[4]}}}, "");
    EXPECT_EQ(std::pair(w.CurrentWaterfall, w.WaterfallCount), std::pair(current, count));
    w.CurrentWaterfall = forced;
    w.OnFrame();
    EXPECT_EQ(w.CurrentWaterfall, drawn);
    EXPECT_EQ(h.display.PicturesDrawn(), Joined(scenes[drawn], butterflies));
  }
}

// Without any scene a frame is a notice on black with the creatures over it, then the clock in its
// corner (midnight until the first one-second tick, then the tick's time) and the message.
TEST(Frame, WithoutAnySceneANoticeOnBlackThenCreaturesClockCornerAndMessage) {
  using Corner = std::optional<std::pair<int32_t, int32_t>>;
  const std::tuple<const char*, const char*, Corner> cases[] = {  // settings.clock_corner, Clock, corner
      {"1", "1", std::pair(0, 1)},     {"2", "1", std::pair(1, 545)},
      {"3", "1", std::pair(650, 1)},   {"4", "1", std::pair(650, 550)},
      {"3.6", "1", std::pair(650, 550)}, {"0", "1", std::nullopt}, {"2", "0", std::nullopt}};
  const SceneDrawing black = FillDrawing{kBlack};
  const TextDrawing notice{"You have not selected a Waterfall", "Arial", 30, kYellow, 215, 295};
  const TextDrawing message{"Hello", "DejaVu Sans", 18, kYellow, 1, 568};
  for (const auto& [pos_clock, clock, corner] : cases) {
    SCOPED_TRACE(std::string(pos_clock) + " clock " + clock);
    Harness h;
    SaverWindow& w = h.Load({{"two", "PosClock", pos_clock}, {"one", "Clock", clock},
                             {"one", "FontSize", "20"}, {"two", "ShowMessage", "1"},
                             {"two", "Message", "Hello"}, {"two", "FontSizeMsg", "18"},
                             {"Startup", "CheckFont", "0"}, {"Startup", "FontName", "DejaVu Sans"},
                             {"one", "waterfall1", "0"}, {"one", "waterfall2", "0"}},
                            "Birds Butter1 Butter2");
    h.clock.seconds_since_midnight = 12 * 3600 + 34 * 60 + 56;
    for (const std::string time : {"00:00:00", "12:34:56"}) {
      w.OnFrame();
      const std::vector<SceneDrawing>& drawn = h.display.frames.back().drawings;
      ASSERT_GE(drawn.size(), 3u);
      EXPECT_EQ(drawn[0], black);
      EXPECT_EQ(drawn[1], SceneDrawing(notice));
      EXPECT_EQ(drawn.back(), SceneDrawing(message));  // the creatures are under the texts
      EXPECT_EQ(h.display.PicturesDrawn(), (Ids{S::kFlock, S::kB1, S::kB2, S::kB3, S::kB4, S::kB5}));
      std::vector<TextDrawing> texts = {notice, message};
      if (corner) {
        texts.insert(texts.begin() + 1, TextDrawing{time, "DejaVu Sans", 20, kYellow,
                                                    corner->first, corner->second});
      }
      EXPECT_EQ(h.display.Last<TextDrawing>(), texts);
      w.EverySecond(), h.clock.seconds_since_midnight += 0.7;
    }
    for (int i = 0; i < 200; ++i) w.EverySecond();  // no timer rotates to a scene that is off
    EXPECT_EQ(w.CurrentWaterfall, 0);
  }
}

TEST(SceneTimers, ScenesTakeTurnsEveryScrollSecSecondsOnlyWithBothEnabled) {
  // waterfall1, waterfall2, settings.scene_seconds, ticks run, the ticks the scene changed at, the last scene.
  using Case = std::tuple<const char*, const char*, const char*, int, std::vector<int>, int16_t>;
  for (const auto& [wf1, wf2, scroll_sec, ticks, changes, last_scene] :
       {Case{"1", "1", "60", 180, {60, 120, 180}, 2}, Case{"1", "1", "1", 3, {1, 2, 3}, 2},
        Case{"1", "0", "60", 300, {}, 1}, Case{"0", "1", "2", 10, {}, 2},
        Case{"1", "1", "0", 100, {}, 1}, Case{"1", "1", "-60", 100, {}, 1}}) {
    SCOPED_TRACE(std::string(wf1) + wf2 + " every " + scroll_sec);
    Harness h;
    SaverWindow& w = h.Load({{"one", "waterfall1", wf1}, {"one", "waterfall2", wf2},
                             {"one", "ScrollSec", scroll_sec}});
    std::vector<int> changed;
    for (int t = 1, scene = w.CurrentWaterfall; t <= ticks; ++t) {
      w.EverySecond();
      if (w.CurrentWaterfall == scene) continue;
      changed.push_back(t), scene = w.CurrentWaterfall;
      EXPECT_EQ(w.ScrollCount, 0);
    }
    EXPECT_EQ(changed, changes);
    EXPECT_EQ(w.CurrentWaterfall, last_scene);
  }
}

TEST(SceneTimers, FlockAndSingleBirdsRestUnlessAlways) {
  // BirdTimer, creatures on, the ticks the flock and each single bird first fly (101: not in 100).
  const std::tuple<const char*, const char*, int, int, int> cases[] = {
      {"10", "Birds SingleBird", 10, 6, 16}, {"60", "Birds SingleBird", 60, 6, 16},
      {"soon", "Birds", 20, 101, 101},       {"Always", "Birds SingleBird", 101, 101, 101}};
  for (const auto& [bird_timer, creatures, flock, bird1, bird2] : cases) {
    SCOPED_TRACE(std::string(bird_timer) + " " + creatures);
    Harness h;
    SaverWindow& w = h.Load({{"one", "BirdTimer", bird_timer}}, creatures);
    w.flock.flying = false, w.flock.rested = 0;  // as the edge rule leaves it
    std::vector<int> first(3, 1);  // each first flies a tick after the ticks it rested
    for (int t = 1; t <= 100; ++t) {
      w.LetRestedBirdsFly();
      first[0] += !w.flock.flying, first[1] += !w.single_birds[0].flying,
          first[2] += !w.single_birds[1].flying;
    }
    EXPECT_EQ(first, (std::vector<int>{flock, bird1, bird2}));
  }
}

// Three minutes at 60 frames a second, the tick count wrapping to 0 a minute in.
TEST(LongRun, TheTickCountWrapChangesNothing) {
  Harness h;
  h.clock.ticks = 0xFFFFFFFFu - 60'000u;
  // The flock never rests, so its steps can be counted.
  SaverWindow& w = h.Load({{"one", "BirdTimer", "Always"}, {"one", "ScrollSec", "60"}});
  std::vector<int> steps(180);  // the flock's steps in each second
  std::vector<int> scenes;
  int drifts = 0;
  for (int frame = 0; frame < 180 * 60; ++frame) {
    h.clock.Advance(frame % 3 == 2 ? 16 : 17);  // 50 ms every three frames
    const int drifted_from = w.climbing_butterflies[0].X() + w.climbing_butterflies[1].X();
    const uint32_t last_step = w.flock.LastStep();
    w.Timers().RunDue(h.clock.TickCount());
    drifts += drifted_from - w.climbing_butterflies[0].X() - w.climbing_butterflies[1].X();
    w.OnFrame();
    steps[frame / 60] += w.flock.LastStep() != last_step;
    h.display.calls.clear(), h.display.frames.clear();
    if (frame % 60 == 59) scenes.push_back(w.CurrentWaterfall);
  }
  ASSERT_FALSE(w.EndStatus());
  // BirdSpeed 25 against frames of 16 or 17 ms: a step every second frame, 30 a second.
  for (size_t second = 1; second < steps.size(); ++second)
    EXPECT_NEAR(steps[second], 30, 1) << "second " << second;
  // The scenes took turns each minute, across the wrap as before it.
  EXPECT_EQ(std::vector({scenes[58], scenes[61], scenes[121]}), std::vector({1, 2, 1}));
  EXPECT_EQ(drifts, 2 * 180 * 5);                     // the second kind drift a pixel each 200 ms
  EXPECT_EQ(h.sound.Count("PlaySound 4 -1 -1"), 3u);  // the eagle, on each minute
}

}  // namespace
}  // namespace larkspill::testing

// The saver window on fakes: its load, what ends it, its frames, creatures and timers.
#include <gmock/gmock.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <span>
#include <tuple>

#include "scene/exit_status.h"
#include "scene/scene_layout.h"
#include "scene/window_timer.h"
#include "scene_harness.h"

namespace larkspill::testing {
namespace {

using S = Harness::Sprites;
using W = SaverWindow;

TEST(SaverLoad, BuildsThirteenSpritesInOrderWithTheirFilesModesFramesDelaysAndPlaces) {
  Harness h;
  WriteFirstRunValues(h.store);
  h.Set({{"two", "WaterSpeed", "200"}});
  h.display.next_id = 101;  // ids are whatever the display hands out
  h.clock.ticks = 0xFFFFFFFFu - 300;  // the frames below run across the tick wrap
  h.Make().Load();
  // Files, key mode, start frame (0: a background, never animated), delay, place.
  using namespace scene_layout;
  const struct {
    std::span<const char* const> files;
    int key, start, delay;
    Place at;
  } rows[] = {{kFirstKindButterfly, -1, 1, 120, kButterflyStarts[0]},
              {kFirstKindButterfly, -1, 1, 120, kButterflyStarts[1]},
              {kFirstKindButterfly, -1, 5, 120, kButterflyStarts[2]},
              {kSecondKindButterfly, -1, 4, 100, kButterflyStarts[3]},
              {kSecondKindButterfly, -1, 3, 100, kButterflyStarts[4]},
              {kFlock, -1, 1, 100, kFlockStart},
              {kBird, -1, 1, 100, kBirdStarts[0]},
              {kBird, -1, 1, 100, kBirdStarts[1]},
              {kWater1.files, -2, 1, 200, kWater1.place},
              {{&kBackground1, 1}, -2, 0, 0, {-kWideMargin, 0}},
              {kWater2.files, -1, 1, 200, kWater2.place},
              {kWater2Small.files, -1, 1, 200, kWater2Small.place},
              {{&kBackground2, 1}, -2, 0, 0, {-kWideMargin, 0}}};
  std::vector<std::string> expected = {"OpenDisplay 800 600 16 []"};
  int32_t id = 101;
  for (const auto& [files, key, start, delay, at] : rows) {
    expected.push_back("CreateSprite");
    for (size_t f = 0; f < files.size(); ++f)
      expected.push_back(
          Call("LoadSpriteFrame", id, int(f + 1), "/a/" + std::string(files[f]), key));
    if (start) expected.push_back(Call("SetSpriteFrame", id, start));
    expected.insert(expected.end(), {Call("SetSpriteY", id, at.y), Call("SetSpriteX", id, at.x)});
    if (files.size() >= 6) expected.push_back(Call("SetSpriteRoams", id));  // the creatures
    ++id;
  }
  EXPECT_EQ(h.display.calls, expected);
  // Each animated sprite shows its next frame on its delay, after its last the first.
  std::map<int32_t, std::string> shown;  // sprite id: "ms:frame ..."
  for (uint32_t ms = 1; ms <= 600; ++ms) {
    h.display.calls.clear(), h.clock.Advance(1), h.window->OnFrame();
    for (const std::string& call : h.display.Starting("SetSpriteFrame")) {
      int sprite = 0, frame = 0;
      std::sscanf(call.c_str(), "SetSpriteFrame %d %d", &sprite, &frame);
      shown[sprite] += std::to_string(ms) + ":" + std::to_string(frame) + " ";
    }
  }
  for (int i : {0, 2, 3, 5, 8}) {  // the drawn ones: butterflies, the flock, the first water
    std::string expected_frames;
    for (int frame = rows[i].start, ms = rows[i].delay; ms <= 600; ms += rows[i].delay) {
      frame = frame < static_cast<int>(rows[i].files.size()) ? frame + 1 : 1;
      expected_frames += std::to_string(ms) + ":" + std::to_string(frame) + " ";
    }
    EXPECT_EQ(shown[101 + i], expected_frames) << "sprite " << 101 + i;
  }
}

// No 16-bit display, or a picture that cannot load: no sprite after it, no sound, nothing after.
TEST(SaverLoad, FailedLoadsEndWithTheCursorShownAndNothingBuilt) {
  Harness h, m;
  h.display.open_ok = false;
  h.Make().Load();
  EXPECT_EQ(h.boxes, (decltype(h.boxes){{"This program requires that you use a monitor that is "
                                         "capable of displaying 64K colors.",
                                         "Error opening Direct Draw!"}}));
  EXPECT_EQ(h.display.Count("CreateSprite"), 0u);
  EXPECT_EQ(h.statuses, std::vector<int>{kExitNoDisplay});

  m.display.fail_file = "Flock3.BMP";
  EXPECT_THAT([&] { m.Make().Load(); },
              ::testing::ThrowsMessage<AssetError>(::testing::HasSubstr("/a/Flock3.BMP")));
  EXPECT_EQ(m.display.Count("CloseDisplay"), 1u);
  m.window->Unload();
  EXPECT_TRUE(m.statuses.empty());
  for (Harness* x : {&h, &m}) {
    x->ExpectNothingRunsAfterTheEnd();
    EXPECT_EQ(x->windows.calls, (std::vector<std::string>{"ShowCursor 0", "ShowCursor 1"}));
    EXPECT_EQ(x->sound.Count("LoadSound /a/nccf01.wav"), 0u);
  }
}

TEST(SaverLoad, FirstRunBeforeAnyReadThenCursorDisplayAndSoundInOrder) {
  Harness h;
  h.store.journal = &h.journal;
  h.Make().Load();
  // The marker is read first, then only saves up to the marker's (no cursor, display or sound yet).
  const auto marker = std::ranges::find(h.journal, "Save System/SetReg");
  ASSERT_NE(marker, h.journal.end());
  EXPECT_EQ(h.journal[0], "Get System/SetReg");
  auto is_save = [](const std::string& e) { return e.starts_with("Save "); };
  EXPECT_TRUE(std::all_of(h.journal.begin() + 1, marker, is_save));
  EXPECT_TRUE(std::none_of(marker + 1, h.journal.end(), is_save));
  auto at = [&h](auto& e) { return std::ranges::find(h.journal, e) - h.journal.begin(); };
  EXPECT_EQ(h.windows.calls, std::vector<std::string>{"ShowCursor 0"});
  EXPECT_LT(at("ShowCursor 0"), at("OpenDisplay 800 600 16 []"));
  EXPECT_LT(at("SetSpriteX 13 -320"), at("LoadSound /a/nccf01.wav"));
  EXPECT_EQ(h.sound.Count("PlaySoundLooped 1"), 1u);
  EXPECT_EQ(h.window->settings.mouse_sensitivity, 4);  // and it runs on the first-run values
  EXPECT_EQ(h.window->BirdTimer, "20");
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

const std::vector<std::string> kCloseDownCalls = {
    "StopAllSounds",           "ReleaseSound 1", "ReleaseSound 2", "ReleaseSound 3",
    "SetScreenSaverRunning 0", "ReleaseSound 1", "ReleaseSound 2", "ReleaseSound 3",
    "StopAllSounds",           "ShowCursor 1"};

// Also once the pointer's move count has stopped at its maximum. Sounds stop before a lost display
// closes; then the close-down's end (the saver-running flag is CloseDown's to clear).
TEST(Input, KeyButtonWheelOrALostDisplayCloseDownInOrderAndNothingRunsAfter) {
  std::vector<std::string> lost = {"CheckDisplay", "StopAllSounds", "CloseDisplay"};
  lost.insert(lost.end(), kCloseDownCalls.begin() + 5, kCloseDownCalls.end());
  for (const auto& [input, calls, status] :
       {std::tuple(&W::OnKey, kCloseDownCalls, kExitOk), {&W::OnButton, kCloseDownCalls, kExitOk},
        {&W::OnWheel, kCloseDownCalls, kExitOk}, {&W::OnFrame, lost, kExitDisplayLost}}) {
    Harness h;
    SaverWindow& w = h.Load({{"one", "MouseSens", "0"}});
    w.MouseMoves = 32766;
    for (int i = 0; i < 3; ++i) w.OnPointerMoved();
    EXPECT_EQ(w.MouseMoves, 32767);
    h.display.display_ok = input != &W::OnFrame;
    (w.*input)();
    EXPECT_EQ(h.journal, calls);
    EXPECT_EQ(h.statuses, std::vector<int>{status});
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
      if (w.Ended() && ended_at < 0) ended_at = i;
    }
    EXPECT_EQ(ended_at, ends_at);
    EXPECT_EQ(h.statuses.size(), ends_at >= 0 ? 1u : 0u);
    EXPECT_EQ(h.journal, ends_at >= 0 ? kCloseDownCalls : std::vector<std::string>{});
  }
}

using Ids = std::vector<int32_t>;

std::vector<std::string> Draws(Ids ids, const Ids& more = {}) {
  ids.insert(ids.end(), more.begin(), more.end());
  std::vector<std::string> out;
  for (int32_t id : ids) out.push_back(Call("DrawSprite", id));
  return out;
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
    EXPECT_EQ(h.display.Starting("DrawSprite"), Draws(scenes[drawn], butterflies));
  }
}

// Without any scene a frame is a notice on black with the creatures over it, then the clock in its
// corner (midnight until the first one-second tick, then the tick's time) and the message.
TEST(Frame, WithoutAnySceneANoticeOnBlackThenCreaturesClockCornerAndMessage) {
  const std::tuple<const char*, const char*, std::string> cases[] = {  // settings.clock_corner, Clock, corner
      {"1", "1", "0 1"},       {"2", "1", "1 545"}, {"3", "1", "650 1"}, {"4", "1", "650 550"},
      {"3.6", "1", "650 550"}, {"0", "1", ""},      {"2", "0", ""}};
  const std::string notice = "DrawText You have not selected a Waterfall 215 295 65535";
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
      std::vector<std::string> calls = {"CheckDisplay", "ClearBackBuffer 0",
                                        "SetTextFont Arial 30 1 0 0 0", notice};
      ASSERT_GE(h.display.calls.size(), 5u);
      EXPECT_EQ(std::vector(h.display.calls.begin(), h.display.calls.begin() + 4), calls);
      EXPECT_EQ(h.display.calls.back(), "Flip");
      EXPECT_EQ(h.display.Starting("DrawSprite"),
                Draws({S::kFlock, S::kB1, S::kB2, S::kB3, S::kB4, S::kB5}));
      std::vector<std::string> texts = {notice, "DrawText Hello 1 568 65535"},
                               fonts = {calls[2], "SetTextFont DejaVu Sans 18 1 0 0 0"};
      if (!corner.empty()) {
        texts.insert(texts.begin() + 1, "DrawText " + time + " " + corner + " 65535");
        fonts.insert(fonts.begin() + 1, "SetTextFont DejaVu Sans 20 1 0 0 0");
      }
      EXPECT_EQ(h.display.Starting("DrawText"), texts);
      EXPECT_EQ(h.display.Starting("SetTextFont"), fonts);
      h.display.calls.clear(), w.EverySecond(), h.clock.seconds_since_midnight += 0.7;
    }
    for (int i = 0; i < 200; ++i) w.EverySecond();  // no timer rotates to a scene that is off
    EXPECT_EQ(w.CurrentWaterfall, 0);
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
    // Frames two 60 Hz frames apart: a step each at the birds' 25 ms.
    const auto next_step = [&h] { h.clock.Advance(34), h.window->OnFrame(); };
    w.flock.rested = 7, w.flock.MoveTo(800, 100);
    next_step();  // 801: still on screen
    EXPECT_TRUE(w.flock.flying);
    h.random.values = {r};
    next_step();  // 802: placed back at the left
    EXPECT_EQ(h.At(S::kFlock), std::pair(-118, new_y));
    EXPECT_EQ(std::pair(w.flock.flying, int{w.flock.rested}),
              std::pair(flies_on, flies_on ? 7 : 0));
    h.display.calls.clear(), next_step();  // a resting flock is neither moved nor drawn
    EXPECT_EQ(h.display.Count("DrawSprite 6"), flies_on ? 1u : 0u);
    EXPECT_EQ(h.Sprite(S::kFlock).x, flies_on ? -117 : -118);
  }
}

TEST(Creatures, SingleBirdsClimbEverySecondStepAndRestAfterLeavingRight) {
  for (const auto& [i, sprite] : {std::pair(0, S::kBird1), std::pair(1, S::kBird2)}) {
    Harness h;
    SaverWindow& w = h.Load({}, "SingleBird");
    SingleBird& bird = w.single_birds[i];
    w.flock.rested = 9;
    for (double r : {0.0, 0.99999}) {  // twice over the edge
      SCOPED_TRACE(std::to_string(sprite) + " r " + std::to_string(r));
      bird.flying = true, bird.rested = 11, bird.steps = 0;
      bird.MoveTo(799, 300);
      bird.Step();  // 800, no climb
      EXPECT_EQ(h.Sprite(sprite).y, 300);
      bird.Step();  // 801, climbs a pixel
      EXPECT_EQ(h.At(sprite), std::pair(801, 299));
      EXPECT_EQ(std::pair(bird.flying, int{bird.steps}), std::pair(true, 0));
      h.random.values = {r};
      bird.Step();  // 802: back to the left, somewhere from 200 to 1199
      EXPECT_EQ(h.At(sprite), std::pair(-75, r == 0.0 ? 200 : 1199));
      EXPECT_EQ(std::pair(bird.flying, int{bird.rested}), std::pair(false, 0));  // and it rests
      EXPECT_EQ(w.flock.rested, 9);  // the flock's rest is its own
    }
  }
}

TEST(Creatures, ButterfliesStepAsTheRandomDrawSaysAndReEnterAfterLeaving) {
  // The kind, the draw, the direction it gives, and the change of x and of screen y.
  const std::tuple<bool, double, int16_t, int32_t, int32_t> steps[] = {
      {true, 0.5, 2, -1, 1},   {true, 0.49999, 1, 0, -1}, {false, 0.0, 1, 0, -1},
      {false, 0.33333, 1, 0, -1}, {false, 0.34, 2, 0, 1}, {false, 0.66666, 2, 0, 1},
      {false, 0.67, 3, 0, -1}};
  for (double r : {0.0, 0.99999}) {
    Harness h;
    SaverWindow& w = h.Load();
    auto& drifting = w.drifting_butterflies;
    auto& climbing = w.climbing_butterflies;
    drifting[2].MoveTo(-75, drifting[2].Y());
    climbing[1].MoveTo(climbing[1].X(), -50);
    // Butterflies 1 and 2 step, the third past -75, the fourth down, the fifth past -50.
    h.random.values = {0.0, 0.0, 0.5, r, 0.5, 0.0, r};
    h.FrameASecondLater();
    EXPECT_EQ(std::pair(int{drifting[0].X()}, int{climbing[0].Y()}), std::pair(200, 551));
    EXPECT_EQ(h.At(S::kB3), std::pair(805, r == 0.0 ? 60 : 559));
    EXPECT_EQ(h.At(S::kB5), std::pair(r == 0.0 ? 1 : 800, 605));
    using Butterfly = std::tuple<Creature*, int32_t, int16_t*>;
    const std::vector<Butterfly> first_kind = {{&drifting[0], S::kB1, &drifting[0].last_draw},
                                               {&drifting[1], S::kB2, &drifting[1].last_draw},
                                               {&drifting[2], S::kB3, &drifting[2].last_draw}},
                                 second_kind = {{&climbing[0], S::kB4, &climbing[0].last_draw},
                                                {&climbing[1], S::kB5, &climbing[1].last_draw}};
    for (const auto& [first, draw, dir, dx, dy] : steps)
      for (const auto& [butterfly, sprite, last_draw] : first ? first_kind : second_kind) {
        SCOPED_TRACE(std::to_string(sprite) + " draw " + std::to_string(draw));
        const auto [x, y] = h.At(sprite);
        h.random.values = {draw};
        butterfly->Step();
        EXPECT_EQ(h.At(sprite), std::pair(x + dx, y + dy));
        EXPECT_EQ(std::pair(int{butterfly->X()}, int{butterfly->Y()}), h.At(sprite));
        EXPECT_EQ(*last_draw, dir);
      }
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

// Also across the tick wrap; a disabled or zero-interval timer never fires.
TEST(TimerSchedule, FiresOnItsIntervalKeepsPhaseAndNeverBursts) {
  TimerSchedule timers;
  std::string order;
  const uint32_t t0 = 0xFFFFF000u;  // the tick count wraps while it runs
  timers.Add("Timer1", 1000, true, [&] { order += '1'; }, t0);
  const size_t five = timers.Add("Timer5", 0, false, [&] { order += '5'; }, t0);
  for (uint32_t t : {999, 1016, 2000}) timers.RunDue(t0 + t);  // a frame late, phase kept
  EXPECT_EQ(order, "11");
  EXPECT_EQ(timers.MillisecondsUntilDue(t0 + 2400), 600u);
  timers.SetEnabled(five, true, t0 + 2400);               // enabled with no interval: still nothing
  for (uint32_t t : {9500, 9600}) timers.RunDue(t0 + t);  // seven missed: one tick, not seven
  EXPECT_EQ(order, "111");
  timers.SetInterval(five, 7500);
  timers.RunDue(t0 + 9800);  // due at 9900, counted from its enabling, not from its adding
  EXPECT_EQ(order, "111");
  timers.RunDue(t0 + 10500);
  EXPECT_EQ(order, "11115");
  timers.SetEnabled(five, false, t0 + 10500), timers.SetEnabled(0, false, t0 + 10500);
  EXPECT_EQ(timers.MillisecondsUntilDue(t0 + 10500), UINT32_MAX);
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
    h.display.calls.clear();
    if (frame % 60 == 59) scenes.push_back(w.CurrentWaterfall);
  }
  ASSERT_FALSE(w.Ended());
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

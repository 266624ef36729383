// The saver window's load (first-run check, settings, cursor, sprites, how a load fails) and
// what ends it: keys, buttons, the pointer rule and the orderly close-down.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "scene/exit_status.h"
#include "scene_harness.h"

namespace larkspill::testing {
namespace {

std::vector<std::string> Numbered(const std::string& stem, int count) {
  std::vector<std::string> out;
  for (int i = 1; i <= count; ++i) out.push_back(stem + std::to_string(i) + ".BMP");
  return out;
}

TEST(SaverLoad, BuildsThirteenSpritesInOrderWithTheirFilesModesFramesDelaysAndPlaces) {
  struct SpriteRow {
    std::vector<std::string> files;
    int32_t key_mode, start_frame, delay, x, y;  // start_frame 0: a background, no frame or delay
  };
  Harness h;
  h.FirstRun();
  h.Set({{"two", "WaterSpeed", "200"}});
  h.display.next_id = 101;  // ids are whatever the display hands out
  h.Make().Form_Load();
  const auto b1 = Numbered("1Butter", 6), b2 = Numbered("2Butter", 6), bird = Numbered("Bird", 8);
  const std::vector<SpriteRow> rows = {
      {b1, -1, 1, 120, 200, 400}, {b1, -1, 1, 120, 600, 500}, {b1, -1, 5, 120, 750, 100},
      {b2, -1, 4, 100, 700, 550}, {b2, -1, 3, 100, 100, 550},
      {Numbered("Flock", 8), -1, 1, 100, -118, 100},
      {bird, -1, 1, 100, -75, 300}, {bird, -1, 1, 100, -75, 450},
      {Numbered("UK0", 3), -2, 1, 200, 279, 72}, {{"UK-bg01.bmp"}, -2, 0, 0, 0, 0},
      {Numbered("UK2-0", 3), -1, 1, 200, 319, 110}, {Numbered("UK2-sm0", 3), -1, 1, 200, 191, 354},
      {{"UK-02bgb.bmp"}, -2, 0, 0, 0, 0},
  };
  std::vector<std::string> expected = {"OpenDisplay 800 600 16 []"};
  for (size_t i = 0; i < rows.size(); ++i) {
    const SpriteRow& r = rows[i];
    const std::string id = std::to_string(101 + i) + " ";
    expected.push_back("CreateSprite");
    for (size_t f = 0; f < r.files.size(); ++f)
      expected.push_back("LoadSpriteFrame " + id + std::to_string(f + 1) + " /a/" + r.files[f] +
                         " " + std::to_string(r.key_mode));
    if (r.start_frame != 0) {
      expected.push_back("SetSpriteFrame " + id + std::to_string(r.start_frame));
      expected.push_back("SetSpriteFrameDelay " + id + std::to_string(r.delay));
    }
    expected.push_back("SetSpriteY " + id + std::to_string(r.y));
    expected.push_back("SetSpriteX " + id + std::to_string(r.x));
  }
  EXPECT_EQ(h.display.calls, expected);
}

// A display that cannot open (no 16-bit colour) or a picture that cannot load: the cursor comes
// back, nothing is built after it, no sound starts, and nothing runs on the window afterwards.
TEST(SaverLoad, FailedLoadsEndWithTheCursorShownAndNothingBuilt) {
  Harness h, m;
  h.display.open_ok = false;
  h.Make().Form_Load();
  EXPECT_EQ(h.boxes, (std::vector<std::pair<std::string, std::string>>{
                         {"This program requires that you use a monitor that is capable of "
                          "displaying 64K colors.",
                          "Error opening Direct Draw!"}}));
  EXPECT_EQ(h.display.Count("CreateSprite"), 0u);
  EXPECT_EQ(h.statuses, std::vector<int>{kExitNoDisplay});

  m.display.fail_file = "Flock3.BMP";
  try {
    m.Make().Form_Load();
    ADD_FAILURE() << "no AssetError";
  } catch (const AssetError& e) {
    EXPECT_NE(std::string(e.what()).find("/a/Flock3.BMP"), std::string::npos);
  }
  EXPECT_EQ(m.display.Count("CloseDisplay"), 1u);
  m.window->Form_Unload();
  EXPECT_TRUE(m.statuses.empty());
  for (Harness* x : {&h, &m}) {
    x->ExpectNothingRunsAfterTheEnd();
    EXPECT_EQ(x->windows.calls, (std::vector<std::string>{"ShowCursor 0", "ShowCursor 1"}));
    EXPECT_EQ(x->sound.Count("LoadSound /a/nccf01.wav"), 0u);
    EXPECT_TRUE(x->window->Ended());
  }
}

TEST(SaverLoad, FirstRunBeforeAnyReadThenCursorDisplayAndSoundInOrder) {
  Harness h;
  h.store.journal = &h.journal;
  SaverWindow& w = h.Make();
  w.Form_Load();
  std::vector<std::string> store_ops;
  for (const auto& e : h.journal)
    if (e.starts_with("Get ") || e.starts_with("Save ")) store_ops.push_back(e);
  ASSERT_GT(store_ops.size(), 2u);
  EXPECT_EQ(store_ops[0], "Get System/SetReg");
  auto marker = std::find(store_ops.begin(), store_ops.end(), "Save System/SetReg");
  ASSERT_NE(marker, store_ops.end());
  auto is_save = [](const std::string& e) { return e.starts_with("Save "); };
  EXPECT_TRUE(std::all_of(store_ops.begin() + 1, marker, is_save));
  EXPECT_TRUE(std::none_of(marker + 1, store_ops.end(), is_save));

  auto at = [&h](auto& e) { return std::ranges::find(h.journal, e) - h.journal.begin(); };
  EXPECT_EQ(h.windows.calls, std::vector<std::string>{"ShowCursor 0"});
  EXPECT_LT(at("Save System/SetReg"), at("ShowCursor 0"));
  EXPECT_LT(at("ShowCursor 0"), at("OpenDisplay 800 600 16 []"));
  EXPECT_LT(at("SetSpriteX 13 0"), at("LoadSound /a/nccf01.wav"));
  EXPECT_EQ(h.sound.Count("PlaySoundLooped 1"), 1u);
  EXPECT_EQ(w.MouseSens, 4);  // and it runs on the first-run values
  EXPECT_EQ(w.BirdTimer, "20");
}

TEST(SaverLoad, StoredChoicesAndTheFirstRunMarker) {
  // SetReg, CheckFont, FontName, SoundOff; then BirdSpeed (77 stored, 25 when the first run
  // writes again), the font used and the seconds to silence.
  using Text = const char*;
  using Case = std::tuple<Text, Text, Text, Text, int, Text, int>;
  for (const auto& [set_reg, check_font, font_name, sound_off, bird_speed, font, silence] :
       {Case{"3", "1", "Liberation Serif", "Never", 25, "", 0},
        Case{"2", "1.0", "DejaVu Sans", "5", 77, "Arial", 300},
        Case{"2.0", "0", "Liberation Serif", "10", 77, "Liberation Serif", 600},
        Case{"2", "yes", "DejaVu Sans", "Never", 77, "DejaVu Sans", 0}}) {
    SCOPED_TRACE(std::string(set_reg) + " " + check_font);
    Harness h;
    SaverWindow& w = h.Load({{"one", "BirdSpeed", "77"}, {"one", "SoundOff", sound_off},
                             {"Startup", "CheckFont", check_font},
                             {"Startup", "FontName", font_name}, {"System", "SetReg", set_reg}});
    EXPECT_EQ(w.BirdSpeed, bird_speed);
    if (*font == 0) continue;  // the first run wrote over the rest
    EXPECT_EQ(w.FontName, font);
    EXPECT_EQ(w.Sound.SoundOffSeconds, silence);
  }
}

const std::vector<std::string> kCloseDownCalls = {
    "StopAllSounds",           "ReleaseSound 1", "ReleaseSound 2", "ReleaseSound 3",
    "SetScreenSaverRunning 0", "ReleaseSound 1", "ReleaseSound 2", "ReleaseSound 3",
    "StopAllSounds",           "ShowCursor 1"};

TEST(Input, KeyButtonOrWheelClosesDownInOrderAndNothingRunsAfter) {
  for (void (SaverWindow::*input)() :
       {&SaverWindow::OnKey, &SaverWindow::OnButton, &SaverWindow::OnWheel}) {
    Harness h;
    SaverWindow& w = h.Load();
    (w.*input)();
    EXPECT_EQ(h.journal, kCloseDownCalls);
    EXPECT_EQ(h.statuses, std::vector<int>{kExitOk});
    EXPECT_TRUE(w.Ended());
    h.ExpectNothingRunsAfterTheEnd();
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
      // The window opens at the nearest second, a half to the even one.
      {"101.5 opens at 102", "4", {101.5, 111.7, 112, 113}, 3},
      {"100.5 opens at 100", "4", {100.5, 110.6, 111, 112}, -1},
      {"200.49 opens at 200", "4", {200.49, 210.3, 211, 212}, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Harness h;
    SaverWindow& w = h.Load({{"one", "MouseSens", c.mouse_sens}});
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

TEST(Input, TheMoveCountStopsAtItsMaximum) {
  Harness h;
  SaverWindow& w = h.Load({{"one", "MouseSens", "0"}});
  w.MouseMoves = 32766;
  for (int i = 0; i < 3; ++i) w.OnPointerMoved();
  EXPECT_EQ(w.MouseMoves, 32767);
  EXPECT_FALSE(w.Ended());
  w.OnKey();  // keys still end it
  EXPECT_TRUE(w.Ended());
}

}  // namespace
}  // namespace larkspill::testing

// The saver window's load: first-run check, settings, cursor, sprites, and how a load fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

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
  h.Set("two", "WaterSpeed", "200");
  h.display.next_id = 101;  // ids are whatever the display hands out
  h.Make().Form_Load();
  const auto b1 = Numbered("1Butter", 6), b2 = Numbered("2Butter", 6), bird = Numbered("Bird", 8);
  const std::vector<SpriteRow> rows = {
      {b1, -1, 1, 120, 200, 400},
      {b1, -1, 1, 120, 600, 500},
      {b1, -1, 5, 120, 750, 100},
      {b2, -1, 4, 100, 700, 550},
      {b2, -1, 3, 100, 100, 550},
      {Numbered("Flock", 8), -1, 1, 100, -118, 100},
      {bird, -1, 1, 100, -75, 300},
      {bird, -1, 1, 100, -75, 450},
      {{"UK01.BMP", "UK02.BMP", "UK03.BMP"}, -2, 1, 200, 279, 72},
      {{"UK-bg01.bmp"}, -2, 0, 0, 0, 0},
      {{"UK2-01.BMP", "UK2-02.BMP", "UK2-03.BMP"}, -1, 1, 200, 319, 110},
      {{"UK2-sm01.BMP", "UK2-sm02.BMP", "UK2-sm03.BMP"}, -1, 1, 200, 191, 354},
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
  for (Harness* x : {&h, &m}) {
    x->journal.clear();
    x->PokeAll();
    EXPECT_TRUE(x->journal.empty());
    EXPECT_EQ(x->statuses.size(), x == &h ? 1u : 0u);
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

  auto at = [&](const std::string& e) {
    return std::ranges::find(h.journal, e) - h.journal.begin();
  };
  EXPECT_EQ(h.windows.calls, std::vector<std::string>{"ShowCursor 0"});
  EXPECT_LT(at("Save System/SetReg"), at("ShowCursor 0"));
  EXPECT_LT(at("ShowCursor 0"), at("OpenDisplay 800 600 16 []"));
  EXPECT_LT(at("SetSpriteX 13 0"), at("LoadSound /a/nccf01.wav"));
  EXPECT_EQ(h.sound.Count("PlaySoundLooped 1"), 1u);
  EXPECT_EQ(w.MouseSens, 4);  // and it runs on the first-run values
  EXPECT_EQ(w.BirdTimer, "20");
}

TEST(SaverLoad, StoredChoicesAndTheFirstRunMarker) {
  struct Case {
    const char *set_reg, *check_font, *font_name, *sound_off;
    int16_t bird_speed;  // 77 stored; 25 when the first run writes again
    const char* expected_font;
    int16_t sound_off_seconds;
  };
  const Case cases[] = {
      {"3", "1", "Liberation Serif", "Never", 25, "", 0},
      {"2", "1.0", "DejaVu Sans", "5", 77, "Arial", 300},
      {"2.0", "0", "Liberation Serif", "10", 77, "Liberation Serif", 600},
      {"2", "yes", "DejaVu Sans", "Never", 77, "DejaVu Sans", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.set_reg) + " " + c.check_font);
    Harness h;
    h.FirstRun();
    h.Set("one", "BirdSpeed", "77");
    h.Set("System", "SetReg", c.set_reg);
    h.Set("Startup", "CheckFont", c.check_font);
    h.Set("Startup", "FontName", c.font_name);
    h.Set("one", "SoundOff", c.sound_off);
    h.Make().Form_Load();
    EXPECT_EQ(h.window->BirdSpeed, c.bird_speed);
    if (*c.expected_font == 0) continue;  // the first run wrote over the rest
    EXPECT_EQ(h.window->FontName, c.expected_font);
    EXPECT_EQ(h.window->Sound.SoundOffSeconds, c.sound_off_seconds);
  }
}

}  // namespace
}  // namespace larkspill::testing

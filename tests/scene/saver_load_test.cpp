// The saver window's load: first-run check, settings, cursor, sprites, and how a load fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "scene/exit_status.h"
#include "scene_harness.h"

namespace larkspill::testing {
namespace {

struct SpriteRow {
  std::vector<std::string> files;
  int32_t key_mode;
  int32_t start_frame;  // 0: a background, no frame or delay set
  int32_t delay;
  int32_t x;
  int32_t y;
};

std::vector<std::string> Numbered(const std::string& stem, int count, const std::string& ext) {
  std::vector<std::string> out;
  for (int i = 1; i <= count; ++i) out.push_back(stem + std::to_string(i) + ext);
  return out;
}

TEST(SaverLoad, BuildsThirteenSpritesInOrderWithTheirFilesModesFramesDelaysAndPlaces) {
  Harness h;
  h.FirstRun();
  h.Set("two", "WaterSpeed", "200");
  h.display.next_id = 101;  // ids are whatever the display hands out
  SaverWindow& w = h.Make();
  w.Form_Load();

  const auto b1 = Numbered("1Butter", 6, ".BMP");
  const auto b2 = Numbered("2Butter", 6, ".BMP");
  const auto flock = Numbered("Flock", 8, ".BMP");
  const auto bird = Numbered("Bird", 8, ".BMP");
  const std::vector<SpriteRow> rows = {
      {b1, -1, 1, 120, 200, 400},
      {b1, -1, 1, 120, 600, 500},
      {b1, -1, 5, 120, 750, 100},
      {b2, -1, 4, 100, 700, 550},
      {b2, -1, 3, 100, 100, 550},
      {flock, -1, 1, 100, -118, 100},
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
    const std::string id = std::to_string(101 + i);
    expected.push_back("CreateSprite");
    for (size_t f = 0; f < r.files.size(); ++f) {
      expected.push_back("LoadSpriteFrame " + id + " " + std::to_string(f + 1) + " /a/" +
                         r.files[f] + " " + std::to_string(r.key_mode));
    }
    if (r.start_frame != 0) {
      expected.push_back("SetSpriteFrame " + id + " " + std::to_string(r.start_frame));
      expected.push_back("SetSpriteFrameDelay " + id + " " + std::to_string(r.delay));
    }
    expected.push_back("SetSpriteY " + id + " " + std::to_string(r.y));
    expected.push_back("SetSpriteX " + id + " " + std::to_string(r.x));
  }
  EXPECT_EQ(h.display.calls, expected);

  const std::vector<int32_t> ids = {w.ButterflySprite1,  w.ButterflySprite2, w.ButterflySprite3,
                                    w.ButterflySprite4,  w.ButterflySprite5, w.FlockSprite,
                                    w.BirdSprite1,       w.BirdSprite2,      w.Water1Sprite,
                                    w.Background1Sprite, w.Water2Sprite,     w.Water2SmallSprite,
                                    w.Background2Sprite};
  for (size_t i = 0; i < ids.size(); ++i) EXPECT_EQ(ids[i], 101 + static_cast<int32_t>(i));
  EXPECT_EQ(w.AssetPath, "/a/");
  EXPECT_TRUE(h.statuses.empty());
  EXPECT_FALSE(w.Ended());
}

TEST(SaverLoad, DisplayThatCannotOpenShowsOneMessageBuildsNothingAndEnds) {
  Harness h;
  h.display.open_ok = false;
  SaverWindow& w = h.Make();
  w.Form_Load();

  ASSERT_EQ(h.boxes.size(), 1u);
  EXPECT_EQ(h.boxes[0].first,
            "This program requires that you use a monitor that is capable of displaying 64K "
            "colors.");
  EXPECT_EQ(h.boxes[0].second, "Error opening Direct Draw!");
  EXPECT_EQ(h.display.Count("CreateSprite"), 0u);
  EXPECT_EQ(h.sound.Count("LoadSound /a/nccf01.wav"), 0u);
  EXPECT_EQ(h.statuses, std::vector<int>{kExitNoDisplay});
  EXPECT_EQ(h.windows.cursor_hides, 1);
  EXPECT_EQ(h.windows.cursor_shows, 1);
  EXPECT_TRUE(w.Ended());

  // Nothing runs on a window that never got its display.
  h.display.calls.clear();
  w.OnFrame();
  w.Timer4_Timer();
  w.OnKey();
  EXPECT_TRUE(h.display.calls.empty());
  EXPECT_EQ(h.statuses.size(), 1u);
}

TEST(SaverLoad, MissingPictureClosesTheDisplayShowsTheCursorAndIsPassedOn) {
  Harness h;
  h.display.fail_file = "Flock3.BMP";
  SaverWindow& w = h.Make();
  try {
    w.Form_Load();
    ADD_FAILURE() << "no AssetError";
  } catch (const AssetError& e) {
    EXPECT_NE(std::string(e.what()).find("/a/Flock3.BMP"), std::string::npos);
  }
  EXPECT_EQ(h.display.Count("CloseDisplay"), 1u);
  EXPECT_EQ(h.windows.cursor_hides, 1);
  EXPECT_EQ(h.windows.cursor_shows, 1);
  EXPECT_EQ(h.sound.Count("LoadSound /a/nccf01.wav"), 0u);
  EXPECT_TRUE(w.Ended());
  w.Form_Unload();
  EXPECT_EQ(h.windows.cursor_shows, 1);
}

TEST(SaverLoad, FreshStoreGetsFirstRunValuesBeforeAnySettingIsRead) {
  Harness h;
  h.store.journal = &h.journal;
  SaverWindow& w = h.Make();
  w.Form_Load();

  std::vector<std::string> store_ops;
  for (const auto& e : h.journal) {
    if (e.rfind("Get ", 0) == 0 || e.rfind("Save ", 0) == 0) store_ops.push_back(e);
  }
  ASSERT_GT(store_ops.size(), 2u);
  EXPECT_EQ(store_ops[0], "Get System/SetReg");
  auto marker = std::find(store_ops.begin(), store_ops.end(), "Save System/SetReg");
  ASSERT_NE(marker, store_ops.end());
  EXPECT_TRUE(std::all_of(store_ops.begin() + 1, marker,
                          [](const std::string& e) { return e.rfind("Save ", 0) == 0; }));
  EXPECT_TRUE(std::none_of(marker + 1, store_ops.end(),
                           [](const std::string& e) { return e.rfind("Save ", 0) == 0; }));

  // The saver then runs on the first-run values, each read with its own conversion.
  EXPECT_EQ(w.MouseSens, 4);
  EXPECT_EQ(w.BirdTimer, "20");
  EXPECT_EQ(w.ScrollSec, 60);
  EXPECT_EQ(w.PosClock, 1);
  EXPECT_EQ(w.Message, "Place a Message Here");
  EXPECT_EQ(w.PwrSave, 1);
  EXPECT_EQ(w.Sound.VolumeJungle, -1492);
  EXPECT_EQ(w.Sound.SoundOffSetting, "Never");
  // Start values of the scene.
  EXPECT_TRUE(w.FlockActive);
  EXPECT_EQ(w.ButterflyDelay, 15);
  EXPECT_EQ(w.Butterfly4Delay, 25);
  EXPECT_EQ(w.Butterfly5Delay, 6);
}

TEST(SaverLoad, FirstRunValuesAreWrittenAgainOnlyWhenTheMarkerIsNotTwo) {
  struct Case {
    const char* set_reg;
    int16_t bird_speed;
  };
  for (const Case& c : {Case{"3", 25}, Case{"2", 77}, Case{"2.0", 77}}) {
    SCOPED_TRACE(c.set_reg);
    Harness h;
    h.FirstRun();
    h.Set("one", "BirdSpeed", "77");
    h.Set("System", "SetReg", c.set_reg);
    h.Make().Form_Load();
    EXPECT_EQ(h.window->BirdSpeed, c.bird_speed);
  }
}

TEST(SaverLoad, FontAndSoundOffChoices) {
  struct Case {
    const char* check_font;
    const char* font_name;
    const char* expected_font;
    const char* sound_off;
    int16_t sound_off_seconds;
  };
  const Case cases[] = {
      {"1", "Liberation Serif", "Arial", "Never", 0},
      {"1.0", "DejaVu Sans", "Arial", "5", 300},
      {"0", "Liberation Serif", "Liberation Serif", "10", 600},
      {"yes", "DejaVu Sans", "DejaVu Sans", "Never", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.check_font);
    Harness h;
    h.FirstRun();
    h.Set("Startup", "CheckFont", c.check_font);
    h.Set("Startup", "FontName", c.font_name);
    h.Set("one", "SoundOff", c.sound_off);
    h.Make().Form_Load();
    EXPECT_EQ(h.window->FontName, c.expected_font);
    EXPECT_EQ(h.window->Sound.SoundOffSeconds, c.sound_off_seconds);
  }
}

TEST(SaverLoad, HidesTheCursorOnceThenOpensTheDisplayThenStartsTheSound) {
  Harness h;
  h.FirstRun();
  h.Make().Form_Load();
  auto at = [&](const std::string& e) {
    return std::find(h.journal.begin(), h.journal.end(), e) - h.journal.begin();
  };
  EXPECT_EQ(h.windows.calls, std::vector<std::string>{"ShowCursor 0"});
  EXPECT_LT(at("ShowCursor 0"), at("OpenDisplay 800 600 16 []"));
  EXPECT_LT(at("SetSpriteX 13 0"), at("LoadSound /a/nccf01.wav"));
  EXPECT_EQ(h.sound.Count("PlaySoundLooped 1"), 1u);
}

}  // namespace
}  // namespace larkspill::testing

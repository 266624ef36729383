#include <array>

#include "scene/exit_status.h"
#include "scene/saver_window.h"

namespace larkspill {

namespace {

constexpr std::array<const char*, 6> kFirstKindButterfly = {
    "1Butter1.BMP", "1Butter2.BMP", "1Butter3.BMP", "1Butter4.BMP", "1Butter5.BMP", "1Butter6.BMP"};
constexpr std::array<const char*, 6> kSecondKindButterfly = {
    "2Butter1.BMP", "2Butter2.BMP", "2Butter3.BMP", "2Butter4.BMP", "2Butter5.BMP", "2Butter6.BMP"};
constexpr std::array<const char*, 8> kFlock = {"Flock1.BMP", "Flock2.BMP", "Flock3.BMP",
                                               "Flock4.BMP", "Flock5.BMP", "Flock6.BMP",
                                               "Flock7.BMP", "Flock8.BMP"};
constexpr std::array<const char*, 8> kBird = {"Bird1.BMP", "Bird2.BMP", "Bird3.BMP", "Bird4.BMP",
                                              "Bird5.BMP", "Bird6.BMP", "Bird7.BMP", "Bird8.BMP"};
constexpr std::array<const char*, 3> kWater1 = {"UK01.BMP", "UK02.BMP", "UK03.BMP"};
constexpr std::array<const char*, 3> kWater2 = {"UK2-01.BMP", "UK2-02.BMP", "UK2-03.BMP"};
constexpr std::array<const char*, 3> kWater2Small = {"UK2-sm01.BMP", "UK2-sm02.BMP",
                                                     "UK2-sm03.BMP"};

constexpr int32_t kButterflyDelay = 120;
constexpr int32_t kSecondKindDelay = 100;
constexpr int32_t kBirdDelay = 100;

}  // namespace

void SaverWindow::OpenDirectDrawSession() {
  AssetPath = services_.asset_path;

  if (!services_.display.OpenDisplay(800, 600, 16, "")) {
    if (services_.message_box) {
      services_.message_box(kNoDisplayText, kNoDisplayTitle);
    }
    // Without a display there is nothing to show: end instead of running on blind.
    Form_Unload();
    EndProgram(kExitNoDisplay);
    return;
  }

  ButterflySprite1 =
      BuildSprite(kFirstKindButterfly, kKeyTransparent, 1, kButterflyDelay, 200, 400);
  ButterflySprite2 =
      BuildSprite(kFirstKindButterfly, kKeyTransparent, 1, kButterflyDelay, 600, 500);
  ButterflySprite3 =
      BuildSprite(kFirstKindButterfly, kKeyTransparent, 5, kButterflyDelay, 750, 100);
  ButterflySprite4 =
      BuildSprite(kSecondKindButterfly, kKeyTransparent, 4, kSecondKindDelay, 700, 550);
  ButterflySprite5 =
      BuildSprite(kSecondKindButterfly, kKeyTransparent, 3, kSecondKindDelay, 100, 550);
  FlockSprite = BuildSprite(kFlock, kKeyTransparent, 1, kBirdDelay, -118, 100);
  BirdSprite1 = BuildSprite(kBird, kKeyTransparent, 1, kBirdDelay, -75, 300);
  BirdSprite2 = BuildSprite(kBird, kKeyTransparent, 1, kBirdDelay, -75, 450);
  Water1Sprite = BuildSprite(kWater1, kKeyOpaque, 1, WaterSpeed, 279, 72);
  BuildBackground(Background1Sprite, "UK-bg01.bmp");
  Water2Sprite = BuildSprite(kWater2, kKeyTransparent, 1, WaterSpeed, 319, 110);
  Water2SmallSprite = BuildSprite(kWater2Small, kKeyTransparent, 1, WaterSpeed, 191, 354);
  BuildBackground(Background2Sprite, "UK-02bgb.bmp");
}

// A sprite whose frames are the files in order, placed with its start frame and frame delay.
int32_t SaverWindow::BuildSprite(std::span<const char* const> files, int32_t key_mode,
                                 int32_t start_frame, int32_t delay, int32_t x, int32_t y) {
  SpriteDisplay& d = services_.display;
  const int32_t sprite = d.CreateSprite();
  for (size_t i = 0; i < files.size(); ++i) {
    d.LoadSpriteFrame(sprite, static_cast<int32_t>(i + 1), AssetPath + files[i], key_mode);
  }
  d.SetSpriteFrame(sprite, start_frame);
  d.SetSpriteFrameDelay(sprite, delay);
  d.SetSpriteY(sprite, y);
  d.SetSpriteX(sprite, x);
  return sprite;
}

// A still, opaque background covering the whole screen from 0,0.
void SaverWindow::BuildBackground(int32_t& sprite, const char* file) {
  SpriteDisplay& d = services_.display;
  sprite = d.CreateSprite();
  d.LoadSpriteFrame(sprite, 1, AssetPath + file, kKeyOpaque);
  d.SetSpriteY(sprite, 0);
  d.SetSpriteX(sprite, 0);
}

}  // namespace larkspill

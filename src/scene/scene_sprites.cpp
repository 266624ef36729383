#include <array>

#include "scene/exit_status.h"
#include "scene/saver_window.h"
#include "scene/scene_layout.h"

namespace larkspill {

namespace {

using namespace scene_layout;

constexpr int32_t kButterflyDelay = 120;
constexpr int32_t kSecondKindDelay = 100;
constexpr int32_t kBirdDelay = 100;

}  // namespace

void SaverWindow::OpenDisplayAndBuildScene() {
  AssetPath = services_.asset_path;

  if (!services_.display.OpenDisplay(kWidth, kHeight, 16, "")) {
    if (services_.message_box) {
      services_.message_box(kNoDisplayText, kNoDisplayTitle);
    }
    // Without a display there is nothing to show: end instead of running on blind.
    Unload();
    EndProgram(kExitNoDisplay);
    return;
  }

  // Each creature's sprite, built at its start with its start frame.
  const auto attach = [this](Creature& creature, std::span<const char* const> files,
                             int32_t start_frame, int32_t delay, Place at) {
    const int32_t sprite = BuildSprite(files, kKeyTransparent, start_frame, delay, at.x, at.y);
    services_.display.SetSpriteRoams(sprite);
    creature.Attach(services_.display, services_.random, sprite, static_cast<int16_t>(at.x),
                    static_cast<int16_t>(at.y));
  };
  const int32_t first_kind_frames[3] = {1, 1, 5};
  for (size_t i = 0; i < 3; ++i) {
    attach(drifting_butterflies[i], kFirstKindButterfly, first_kind_frames[i], kButterflyDelay,
           kButterflyStarts[i]);
  }
  const int32_t second_kind_frames[2] = {4, 3};
  for (size_t i = 0; i < 2; ++i) {
    attach(climbing_butterflies[i], kSecondKindButterfly, second_kind_frames[i], kSecondKindDelay,
           kButterflyStarts[3 + i]);
  }
  attach(flock, kFlock, 1, kBirdDelay, kFlockStart);
  for (size_t i = 0; i < 2; ++i) attach(single_birds[i], kBird, 1, kBirdDelay, kBirdStarts[i]);
  auto water = [this](const Water& w) {
    return BuildSprite(w.files, w.keyed ? kKeyTransparent : kKeyOpaque, 1,
                       settings.water_frame_delay, w.place.x, w.place.y);
  };
  Water1Sprite = water(kWater1);
  BuildBackground(Background1Sprite, kBackground1);
  Water2Sprite = water(kWater2);
  Water2SmallSprite = water(kWater2Small);
  BuildBackground(Background2Sprite, kBackground2);
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
  animations_.insert_or_assign(
      sprite, SpriteAnimation(static_cast<int32_t>(files.size()), start_frame, delay,
                              services_.clock.TickCount()));
  d.SetSpriteY(sprite, y);
  d.SetSpriteX(sprite, x);
  return sprite;
}

// A still, opaque background covering the whole scene from 0,0, and more forest beside it for
// wide screens.
void SaverWindow::BuildBackground(int32_t& sprite, const char* file) {
  SpriteDisplay& d = services_.display;
  sprite = d.CreateSprite();
  d.LoadSpriteFrame(sprite, 1, AssetPath + file, kKeyOpaque);
  d.SetSpriteY(sprite, 0);
  d.SetSpriteX(sprite, -kWideMargin);  // the scene's own part of the wide picture on the screen
}

}  // namespace larkspill

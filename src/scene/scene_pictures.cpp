#include <array>
#include <string>
#include <vector>

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

void SaverWindow::OpenDisplayAndLoadScene() {
  AssetPath = services_.asset_path;

  if (!services_.display.Open(kWidth, kHeight)) {
    if (services_.message_box) {
      services_.message_box(kNoDisplayText, kNoDisplayTitle);
    }
    // Without a display there is nothing to show: end instead of running on blind.
    End(kExitNoDisplay);
    Unload();
    return;
  }

  // An animation's count starts once its pictures are loaded.
  const auto animation = [this](std::span<const char* const> files, int32_t start_frame,
                                int32_t delay) {
    return FrameAnimation(static_cast<int32_t>(files.size()), start_frame, delay,
                          services_.clock.TickCount());
  };
  // Each creature with its pictures, at its start with its start frame.
  const auto attach = [&](Creature& creature, std::span<const char* const> files,
                          int32_t start_frame, int32_t delay, Place at) {
    const Pictures pictures = Load(files, /*keyed=*/true);
    creature.Attach(services_.random, pictures, animation(files, start_frame, delay),
                    static_cast<int16_t>(at.x), static_cast<int16_t>(at.y));
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
  auto water = [&](const Water& w) {
    const Pictures pictures = Load(w.files, w.keyed);
    return ScenePicture{pictures, animation(w.files, 1, settings.water_frame_delay), w.place.x, w.place.y};
  };
  // A still, opaque background covering the whole scene from 0,0, and more forest beside it for
  // wide screens: the scene's own part of the wide picture lands on the screen.
  auto background = [this](const char* file) {
    return ScenePicture{Load({&file, 1}, /*keyed=*/false), FrameAnimation(), -kWideMargin, 0};
  };
  Water1 = water(kWater1);
  Background1 = background(kBackground1);
  Water2 = water(kWater2);
  Water2Small = water(kWater2Small);
  Background2 = background(kBackground2);
}

// The files in the asset folder, loaded as the frames of one picture.
Pictures SaverWindow::Load(std::span<const char* const> files, bool keyed) {
  std::vector<std::string> paths;
  paths.reserve(files.size());
  for (const char* file : files) paths.push_back(AssetPath + file);
  return services_.display.LoadPictures(paths, keyed);
}

}  // namespace larkspill

// The two waterfall scenes: a painted forest background and the animated water that the scene
// lays over it, rendered from one model so the water frames line up with the background exactly.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "picture.h"
#include "scene/scene_layout.h"

namespace larkspill::assets {

inline constexpr int kSceneWidth = scene_layout::kWidth;
inline constexpr int kSceneHeight = scene_layout::kHeight;
// The backgrounds cover the scene and a margin of forest on each side.
inline constexpr int kWideMargin = scene_layout::kWideMargin;
inline constexpr int kWideWidth = scene_layout::kWideWidth;
// The water animations loop over this many frames.
inline constexpr int kWaterFrames = std::tuple_size_v<decltype(scene_layout::Water::files)>;

// One water animation of a scene: where the sprite sits and whether the scene keys it.
struct WaterSprite {
  std::array<std::string, kWaterFrames> files;
  int x = 0, y = 0, width = 0, height = 0;
  bool keyed = false;
};

// One falling sheet of water: its lip at top_y, its foot at bottom_y, and its left and right
// edges at those two heights.
struct Fall {
  float top_y, bottom_y;
  float top_left, top_right, bottom_left, bottom_right;
  // A rib of rock splitting the sheet near its lip: where across (0 to 1), how wide at the lip
  // and how far down (0 to 1) before the water closes over it. Width 0 for none.
  float gap_u = 0.5f, gap_width = 0, gap_length = 0;
};

// A pool: an ellipse with a ragged shore.
struct Pool {
  float cx, cy, rx, ry;
  float depth_tint;  // 0 shallow and green, 1 deep and dark
};

// A rounded boulder standing in front of the rock face.
struct Boulder {
  float cx, cy, rx, ry;
};

struct SceneLayout {
  int number = 1;
  unsigned seed = 1;
  std::string background_file;
  std::vector<WaterSprite> water;
  std::vector<Fall> falls;
  std::vector<Pool> pools;
  std::vector<Boulder> boulders;
  float cliff_top = 90;    // mean height of the cliff's upper edge
  float cliff_left = 170;  // the forest walls close in beyond these
  float cliff_right = 630;
  float sun_x = 600, sun_y = -60;
};

SceneLayout SceneOneLayout();
SceneLayout SceneTwoLayout();

// Where a water sprite's frames come from on the background painted at `scale` to cover `area`,
// in its pixels: the scene's origin lies Scaled(-area.left) pixels from the background's left
// edge (Scaled(-area.top) from its top) and the sprite Scaled(x) from there.
struct PixelRect {
  int x, y, width, height;
};
PixelRect SpriteRect(const WaterSprite& sprite, double scale,
                     const scene_layout::SceneArea& area = {});

// A rendered scene: the wide background and the frames of each water sprite.
struct RenderedScene {
  Picture background;
  // frames[sprite][frame]
  std::vector<std::array<Picture, kWaterFrames>> water_frames;
};

// Paints the scene `scale` times as large as the 800 x 600 scene: the model is evaluated at every
// pixel and the plants are drawn at that size, so detail grows finer with the scale. The
// background covers `area` (at least the scene): the wide backgrounds, or a whole desk of
// monitors, the forest going on to its edges with sky above and undergrowth below.
RenderedScene RenderWaterfallScene(const SceneLayout& layout, double scale = 1,
                                   const scene_layout::SceneArea& area = {});

}  // namespace larkspill::assets

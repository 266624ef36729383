#pragma once

#include <cstdint>

#include "scene/scene_layout.h"

namespace larkspill {

// How the 800 x 600 scene lies on a frame made for a screen: scaled to the screen's height, its
// 4:3 middle centred, and as much of the wide backgrounds beside it as the screen's width shows
// (a screen narrower than 4:3 shows less than the whole middle). The frame is either the scene at
// its own scale, which the screen then shows filtered to its size, or the screen's own size for
// pictures painted at its scale.
//
// Creatures keep their places on the scene; on a screen wider than 4:3 their places are spread
// about the middle onto the width shown, so they still come in and go out beyond the screen's
// edges and cross it in the same time. Their pictures are never stretched.
//
// A frame may also show a part of one scene spread across a desk of monitors (DeskFit): then it
// starts lower or higher on the scene, and the backgrounds, painted for the whole desk, reach
// further than the wide ones.
struct SceneFit {
  double scale = 1;   // frame pixels a scene pixel
  double left = 0;    // the scene's x at the frame's left edge
  double spread = 1;  // how far apart creatures' places are spread, 1 or more
  int32_t width = 0;  // the frame
  int32_t height = 0;
  double top = 0;  // the scene's y at the frame's top edge
  // How far scene x 0 lies right of the backgrounds' left edge, and scene y 0 below their top.
  double margin = scene_layout::kWideMargin;
  double margin_top = 0;

  // The scene on a `screen_w` x `screen_h` screen; `painted`: on a frame of the screen's own size,
  // with pictures painted at `ScreenScale`. A screen of no size gets the scene as it is.
  static SceneFit For(int32_t screen_w, int32_t screen_h, bool painted);
  // The scene at its own size, nothing more around it.
  static SceneFit Exact();
  // The scale pictures are painted at for this screen: its height over the scene's.
  static double ScreenScale(int32_t screen_h);

  // Where a scene place lands on the frame.
  int32_t X(int32_t scene_x) const;
  int32_t Y(int32_t scene_y) const;
  // Where a creature whose picture is `frame_w` frame pixels wide lands, its scene place spread.
  int32_t CreatureX(int32_t scene_x, int32_t frame_w) const;
  // Where the backgrounds' top left corner lands.
  int32_t BackgroundX() const;
  int32_t BackgroundY() const;
  // The scene's width from `scene_x` to the frame's right edge, in scene pixels (at least 0).
  int64_t SceneWidthRightOf(int32_t scene_x) const;
  bool operator==(const SceneFit&) const = default;
};

}  // namespace larkspill

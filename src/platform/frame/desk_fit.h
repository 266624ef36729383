#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/frame/scene_fit.h"
#include "scene/scene_layout.h"

namespace larkspill {

// A monitor's place on the desktop, in the desktop's units (pixels on X11, logical units on
// Wayland), and its size in its own pixels where that differs (a Wayland output's scale).
struct MonitorPlace {
  int32_t x = 0, y = 0, width = 0, height = 0;
  int32_t pixel_width = 0, pixel_height = 0;  // 0: width and height
  bool primary = false;
};

// One scene across every monitor: the monitors' bounding box is the scene, the 4:3 waterfall
// lies on the primary monitor at that monitor's height and centred on it, and the forest goes on
// to the box's edges. One scene pixel is the same stretch of desk on every monitor, so a creature
// flies from one into the next at its usual speed; each monitor shows its part at its own pixel
// scale. Where monitors of different heights reach above or below the scene, the backgrounds are
// painted that much taller (sky above, forest floor below) rather than leaving black.
struct DeskFit {
  // Each monitor's part, in the order given, on a frame of its own pixels; a monitor of no size
  // gets width 0. Creatures are not spread: they cross from monitor to monitor.
  std::vector<SceneFit> monitors;
  size_t primary = 0;  // the one marked primary, else the middle one by x (the left of two)
  // What the backgrounds must cover: the bounding box in scene pixels, at least the wide ones.
  scene_layout::SceneArea area;

  static DeskFit For(std::span<const MonitorPlace> monitors);
};

}  // namespace larkspill

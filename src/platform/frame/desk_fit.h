#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "scene/scene_layout.h"

namespace larkspill {

// A monitor's place on the desktop, in the desktop's units (pixels on X11, logical units on
// Wayland), and its size in its own pixels where that differs (a Wayland output's scale).
struct MonitorPlace {
  int32_t x = 0, y = 0, width = 0, height = 0;
  int32_t pixel_width = 0, pixel_height = 0;  // 0: width and height
  bool primary = false;
};

// The part of one spread scene a monitor shows, as SceneFit says it for a screen of its own,
// with the scene's y at its top edge and the background's margin added: the backgrounds are
// painted for the whole desk, so they reach further than the wide backgrounds.
struct MonitorFit {
  double scale = 1;   // monitor pixels a scene pixel
  double left = 0;    // the scene's x at the monitor's left edge
  double top = 0;     // the scene's y at the monitor's top edge
  double spread = 1;  // creatures keep their scene places: they cross from monitor to monitor
  int32_t width = 0;  // the monitor's pixels
  int32_t height = 0;
  double margin = scene_layout::kWideMargin;  // scene x 0 from the background's left edge

  // Where a scene place lands on the monitor; x counted in whole pixels from the background's
  // left edge, as the painter lays water into it.
  int32_t X(int32_t scene_x) const;
  int32_t Y(int32_t scene_y) const;
  // Creatures are not spread: a creature's place lands where any other picture's would.
  int32_t CreatureX(int32_t scene_x) const { return X(scene_x); }
};

// One scene across every monitor: the monitors' bounding box is the scene, the 4:3 waterfall
// lies on the primary monitor at that monitor's height and centred on it, and the forest goes on
// to the box's edges. One scene pixel is the same stretch of desk on every monitor, so a creature
// flies from one into the next at its usual speed; each monitor shows its part at its own pixel
// scale. Where monitors of different heights reach above or below the scene, the backgrounds are
// painted that much taller (sky above, forest floor below) rather than leaving black.
struct DeskFit {
  std::vector<MonitorFit> monitors;  // in the order given; a monitor of no size gets width 0
  size_t primary = 0;  // the one marked primary, else the middle one by x (the left of two)
  // What the backgrounds must cover: the bounding box in scene pixels, at least the wide ones.
  scene_layout::SceneArea area;

  static DeskFit For(std::span<const MonitorPlace> monitors);
};

}  // namespace larkspill

// The plants of a waterfall scene, painted with cairo onto a transparent layer that the scene
// lays over its rock, water and sky.
#pragma once

#include <cstdint>
#include <vector>

#include "waterfall_scene.h"

namespace larkspill::assets {

// A layer of premultiplied colour as cairo paints it: alpha, red, green, blue from the high byte.
struct Layer {
  int width = 0, height = 0;
  std::vector<uint32_t> argb;
};

// Paints trees framing the scene, shrubs along the cliff's upper edge (cliff_top gives its height
// for every column from -kWideMargin), bushes beside the pools and ferns and grass in front, and
// more forest in the wide margins, at the background's pixels at `scale`.
Layer PaintFoliage(const SceneLayout& layout, const std::vector<float>& cliff_top, double scale);

}  // namespace larkspill::assets

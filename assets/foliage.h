// The plants of a waterfall scene, painted with cairo onto a transparent layer that the scene
// lays over its rock, water and sky.
#pragma once

#include <cstdint>
#include <vector>

#include "waterfall_scene.h"

namespace larkspill::assets {

// A premultiplied colour layer, 0 to 1 per channel.
struct Layer {
  int width = 0, height = 0;
  std::vector<float> r, g, b, a;
};

// Paints trees framing the scene, shrubs along the cliff's upper edge (cliff_top gives its height
// for every column), bushes beside the pools and ferns and grass in front.
Layer PaintFoliage(const SceneLayout& layout, const std::vector<float>& cliff_top);

}  // namespace larkspill::assets

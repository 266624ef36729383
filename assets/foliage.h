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
// for every scene column from `first_column`), bushes beside the pools and ferns and grass in
// front, and more forest in the margins beside the scene, at the pixels of a background painted
// at `scale` to cover `area`.
Layer PaintFoliage(const SceneLayout& layout, const std::vector<float>& cliff_top,
                   int first_column, double scale, const scene_layout::SceneArea& area = {});

}  // namespace larkspill::assets

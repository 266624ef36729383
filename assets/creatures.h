// The scene's creatures: two kinds of butterfly and a bird, single and in a flock, each as a
// loop of frames drawn on the key colour with hard edges.
#pragma once

#include <vector>

#include "picture.h"
#include "scene/scene_layout.h"

namespace larkspill::assets {

inline constexpr int kButterflyFrames = int(scene_layout::kFirstKindButterfly.size());
inline constexpr int kBirdFrames = int(scene_layout::kBird.size());

// Each draws its frames `scale` times as large as the scene shows them at 800 x 600.

// Butterflies of the first kind: orange with black veins, drifting left.
std::vector<Picture> DrawButterflyKind1(double scale = 1);
// Butterflies of the second kind: blue with dark borders, climbing upward.
std::vector<Picture> DrawButterflyKind2(double scale = 1);
// A single bird flying right, a full wing beat; at most 75 pixels wide.
std::vector<Picture> DrawBird(double scale = 1);
// A flock of birds flying right, each in its own phase of the wing beat; at most 118 pixels wide.
std::vector<Picture> DrawFlock(double scale = 1);

}  // namespace larkspill::assets

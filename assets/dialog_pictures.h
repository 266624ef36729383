// Small pictures made from the scenes for the preview pane and the settings dialog.
#pragma once

#include "picture.h"

namespace larkspill::assets {

// The preview pane's still: the first scene at 153 x 115.
Picture MakePreview(const Picture& scene_one);
// A scene thumbnail for choosing the waterfall: 40 x 30 times `scale` (2 for high-density screens).
Picture MakeSceneThumbnail(const Picture& scene, int scale = 1);
// A small monitor showing the scene, for placing the clock: 70 x 62 times `scale`.
Picture MakeScreenPicture(const Picture& scene, int scale = 1);

}  // namespace larkspill::assets

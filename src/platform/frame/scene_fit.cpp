#include "platform/frame/scene_fit.h"

#include <algorithm>
#include <cmath>

#include "scene/scene_layout.h"

namespace larkspill {
namespace {

using scene_layout::kHeight;
using scene_layout::kWideWidth;
using scene_layout::kWidth;

// Far-off places are held inside what 32 bits hold; nothing that far shows anyway.
int32_t Rounded(double v) {
  return static_cast<int32_t>(std::lround(std::clamp(v, -1e9, 1e9)));
}

}  // namespace

SceneFit SceneFit::Exact() {
  return {.width = kWidth, .height = kHeight};
}

double SceneFit::ScreenScale(int32_t screen_h) {
  return static_cast<double>(screen_h) / kHeight;
}

SceneFit SceneFit::For(int32_t screen_w, int32_t screen_h, bool painted) {
  if (screen_w <= 0 || screen_h <= 0) return Exact();
  const double s = ScreenScale(screen_h);
  // Beyond the wide backgrounds' edges the screen shows black bars.
  const double shown = std::min(screen_w / s, static_cast<double>(kWideWidth));
  SceneFit fit;
  fit.left = (kWidth - shown) / 2;
  fit.spread = std::max(1.0, shown / kWidth);
  fit.scale = painted ? s : 1.0;
  fit.width = std::max(1, Rounded(shown * fit.scale));
  fit.height = painted ? screen_h : kHeight;
  return fit;
}

// Counted in whole pixels from the wide backgrounds' left edge, as the painter places a picture
// in them (the margin and the place each rounded), so that water painted over a background lands
// on the pixels it was painted for.
int32_t SceneFit::X(int32_t scene_x) const {
  return BackgroundX() + Rounded(margin * scale) + Rounded(scene_x * scale);
}

int32_t SceneFit::Y(int32_t scene_y) const {
  return BackgroundY() + Rounded(margin_top * scale) + Rounded(scene_y * scale);
}

int32_t SceneFit::BackgroundX() const {
  return Rounded((-margin - left) * scale);
}

int32_t SceneFit::BackgroundY() const {
  return Rounded((-margin_top - top) * scale);
}

int32_t SceneFit::CreatureX(int32_t scene_x, int32_t frame_w) const {
  if (spread == 1.0) return X(scene_x);
  const double half = frame_w / scale / 2;
  const double middle = (scene_x + half - kWidth / 2.0) * spread + kWidth / 2.0;
  return Rounded((middle - half - left) * scale);
}

int64_t SceneFit::SceneWidthRightOf(int32_t scene_x) const {
  return static_cast<int64_t>(std::clamp(std::ceil(width / scale + left - scene_x), 0.0, 1e12));
}

}  // namespace larkspill

#include "platform/frame/scene_fit.h"

#include <gtest/gtest.h>

#include <cmath>

namespace larkspill {
namespace {

// The 4:3 scene is centred at the screen's height, the wide backgrounds fill up to 21:9, and a
// creature just off the scene is just off the screen, however wide.
TEST(SceneFitTest, TheSceneIsCentredAndCreaturesCrossTheWholeWidth) {
  const struct {
    int w, h;
    bool painted;
    SceneFit fit;
    int32_t background_x;  // where the wide background's left edge lands
  } cases[] = {
      {800, 600, false, SceneFit::Exact(), -320},
      {800, 600, true, SceneFit::Exact(), -320},
      {1920, 1080, false, {1, -400.0 / 3, 4.0 / 3, 1067, 600}, -187},
      {1920, 1080, true, {1.8, -400.0 / 3, 4.0 / 3, 1920, 1080}, -336},
      {2560, 1080, true, {1.8, (800 - 2560 / 1.8) / 2, 2560 / 1.8 / 800, 2560, 1080}, -16},
      {3840, 1080, true, {1.8, -320, 1.8, 2592, 1080}, 0},  // beyond 21:9: bars at the sides
      {1280, 1024, true, {1024 / 600.0, 25, 1, 1280, 1024}, -589},  // narrower: the sides cropped
      {0, 600, false, SceneFit::Exact(), -320}};
  for (const auto& c : cases) {
    const SceneFit fit = SceneFit::For(c.w, c.h, c.painted);
    EXPECT_NEAR(fit.left, c.fit.left, 1e-9) << c.w << "x" << c.h;
    EXPECT_NEAR(fit.scale, c.fit.scale, 1e-9) << c.w << "x" << c.h;
    EXPECT_NEAR(fit.spread, c.fit.spread, 1e-9) << c.w << "x" << c.h;
    EXPECT_EQ(std::pair(fit.width, fit.height), std::pair(c.fit.width, c.fit.height)) << c.w;
    EXPECT_EQ(fit.X(-320), c.background_x) << c.w << "x" << c.h;
    for (int w : {20, 116}) {  // scene pixels
      const int frame_w = static_cast<int>(std::lround(w * fit.scale));
      EXPECT_LE(fit.CreatureX(-w, frame_w) + frame_w, 1) << c.w << " a creature wide " << w;
      EXPECT_GE(fit.CreatureX(800, frame_w), fit.width - 1) << c.w << " a creature wide " << w;
      if (fit.spread == 1) {
        EXPECT_EQ(fit.CreatureX(300, frame_w), fit.X(300));
      }
    }
  }
}

// Water lands where the painter put it in the background, the margin and its place each rounded,
// on 16:9 screens of every height up to 2160.
TEST(SceneFitTest, WaterLandsOnThePixelsPaintedForIt) {
  for (int h = 600; h <= 2160; ++h) {
    const SceneFit fit = SceneFit::For(h * 16 / 9, h, true);
    ASSERT_EQ(fit.X(279) - fit.X(-320), std::lround(320 * fit.scale) + std::lround(279 * fit.scale))
        << h << " high";
  }
}

}  // namespace
}  // namespace larkspill

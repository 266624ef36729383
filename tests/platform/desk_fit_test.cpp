#include "platform/frame/desk_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/frame/scene_fit.h"

namespace larkspill {
namespace {

constexpr double kThird = 1.0 / 3;

// Desks as people have them. On each the waterfall lies on the primary monitor exactly where a
// screen of that size alone shows it, every monitor's part lies on the painted backgrounds (no
// black where monitors of different heights leave a gap), and a scene place is the same spot of
// the desk on every monitor, so a creature flies out of one and into the next without a jump.
TEST(DeskFitTest, OneSceneSpreadsOverTheDeskWithTheWaterfallOnThePrimary) {
  const struct {
    const char* desk;
    std::vector<MonitorPlace> monitors;
    size_t primary;
    scene_layout::SceneArea area;
    std::vector<std::pair<double, double>> left_top;  // each monitor's scene corner
  } cases[] = {
      {"three 1920x1080 in a row",
       {{0, 0, 1920, 1080}, {1920, 0, 1920, 1080}, {3840, 0, 1920, 1080}},
       1,
       {-1200, 0, 3200, 600},
       {{-1200, 0}, {-400 * kThird, 0}, {2800 * kThird, 0}}},
      {"2560x1440 beside a 1080x1920 portrait",
       {{0, 0, 2560, 1440}, {2560, 0, 1080, 1920}},
       0,
       {-320, 0, 320 + 4150 * kThird, 800},
       {{-400 * kThird, 0}, {2800 * kThird, 0}}},
      {"portrait on the left, marked primary",
       {{0, 0, 1080, 1920, 0, 0, true}, {1080, 240, 2560, 1440}},
       0,
       {-320, 0, 1688.75, 600},
       {{231.25, 0}, {568.75, 75}}},
      {"1280x1024 reaching above a 1920x1080 primary on its right",
       {{0, -100, 1280, 1024}, {1280, 0, 1920, 1080, 0, 0, true}},
       1,
       {-400 * kThird - 1280 / 1.8, -100 / 1.8, 400 * kThird + 1280 / 1.8 + 1120, 600 + 100 / 1.8},
       {{-400 * kThird - 1280 / 1.8, -100 / 1.8}, {-400 * kThird, 0}}},
      {"a low laptop under the middle of a wall, primary on the left",
       {{0, 0, 1920, 1080, 0, 0, true}, {1920, 0, 1920, 1080}, {2240, 1080, 1366, 768}},
       0,
       {-320, 0, 2320, 1848 / 1.8},
       {{-400 * kThird, 0}, {2800 * kThird, 0}, {2240 / 1.8 - 400 * kThird, 600}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.desk);
    const DeskFit desk = DeskFit::For(c.monitors);
    EXPECT_EQ(desk.primary, c.primary);
    EXPECT_NEAR(desk.area.left, c.area.left, 1e-6);
    EXPECT_NEAR(desk.area.top, c.area.top, 1e-6);
    EXPECT_NEAR(desk.area.width, c.area.width, 1e-6);
    EXPECT_NEAR(desk.area.height, c.area.height, 1e-6);
    const MonitorPlace& primary = c.monitors[c.primary];
    const SceneFit alone = SceneFit::For(primary.width, primary.height, true);
    for (size_t i = 0; i < c.monitors.size(); ++i) {
      const MonitorPlace& m = c.monitors[i];
      const SceneFit& fit = desk.monitors[i];
      SCOPED_TRACE(i);
      EXPECT_NEAR(fit.left, c.left_top[i].first, 1e-6);
      EXPECT_NEAR(fit.top, c.left_top[i].second, 1e-6);
      EXPECT_NEAR(fit.scale, primary.height / 600.0, 1e-9);
      for (int32_t x : {-2000, -321, 0, 333, 800, 1501, 3000}) {
        if (i == c.primary) {
          EXPECT_EQ(std::pair(fit.X(x), fit.Y(x)), std::pair(alone.X(x), alone.Y(x)));
        }
        // The same desk spot on every monitor, to the pixel.
        const SceneFit& first = desk.monitors[0];
        EXPECT_NEAR(fit.X(x) + m.x, first.X(x) + c.monitors[0].x, 1) << x;
        EXPECT_NEAR(fit.Y(x) + m.y, first.Y(x) + c.monitors[0].y, 1) << x;
      }
    }
  }
}

// A Wayland output at scale 2 shows its part twice as sharp but the same size on the desk; a
// monitor of no size takes no part; no monitors, no fit.
TEST(DeskFitTest, PixelScaleIsEachMonitorsOwnAndEmptyMonitorsArePassedOver) {
  const std::vector<MonitorPlace> monitors = {
      {0, 0, 1280, 720}, {1280, 0, 0, 0}, {1280, 0, 1280, 720, 2560, 1440}};
  const DeskFit desk = DeskFit::For(monitors);
  EXPECT_EQ(desk.primary, 0u);  // the left of the two with a size
  EXPECT_NEAR(desk.monitors[2].scale, 2 * 1.2, 1e-9);
  EXPECT_EQ(desk.monitors[2].width, 2560);
  EXPECT_EQ(desk.monitors[1].width, 0);
  EXPECT_NEAR(desk.area.width, 2320, 1e-6);
  for (int32_t x : {-100, 0, 900, 1500})
    EXPECT_NEAR(desk.monitors[2].X(x) / 2.0 + 1280, desk.monitors[0].X(x), 1) << x;
  EXPECT_TRUE(DeskFit::For({}).monitors.empty());
  EXPECT_EQ(DeskFit::For(std::vector<MonitorPlace>{{0, 0, 0, 0}}).monitors[0].width, 0);
}

}  // namespace
}  // namespace larkspill

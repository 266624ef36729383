#include "platform/frame/scaled_view.h"

#include <gtest/gtest.h>

namespace larkspill {
namespace {

TEST(ScaledViewTest, TheFrameIsLetterboxedAsLargeAsFits) {
  const struct {
    int w, h;
    ViewPlace place;
  } cases[] = {{800, 600, {0, 0, 800, 600}},
               {1920, 1080, {240, 0, 1440, 1080}},
               {3840, 2160, {480, 0, 2880, 2160}},
               {1000, 500, {167, 0, 666, 500}},
               {640, 1000, {0, 260, 640, 480}},
               {1, 1, {}},
               {0, 600, {}}};
  for (const auto& c : cases) EXPECT_EQ(PlaceView(c.w, c.h, 800, 600), c.place) << c.w << " wide";
  // A frame made for the window fills it, though its width was rounded to whole pixels.
  EXPECT_EQ(PlaceView(1920, 1080, 1067, 600), (ViewPlace{0, 0, 1920, 1080}));
}

}  // namespace
}  // namespace larkspill

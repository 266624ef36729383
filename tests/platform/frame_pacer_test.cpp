#include "platform/frame/frame_pacer.h"

#include <gtest/gtest.h>

namespace larkspill {
namespace {

// A display that reports no refresh rate (0, or nonsense) is paced at 60 frames a second; rates
// out of reason are brought to the nearest of 24 and 240.
TEST(FramePacer, FramesAsOftenAsTheDisplayRefreshesOrSixtyTimesASecondWhenItDoesNotSay) {
  const std::pair<int, int> cases[] = {{0, 60}, {-1, 60}, {75, 75},  {144, 144},
                                       {1, 24}, {23, 24}, {500, 240}};
  for (const auto& [reported, paced] : cases) {
    FramePacer pacer;
    pacer.Start(reported);
    const auto period = std::chrono::duration<double>(pacer.Period()).count();
    EXPECT_NEAR(1 / period, paced, 1e-3) << reported;  // periods are whole nanoseconds
  }
}

}  // namespace
}  // namespace larkspill

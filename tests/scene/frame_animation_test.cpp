#include "scene/frame_animation.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace larkspill {
namespace {

// Each frame shows for exactly its delay, also across the tick count's wrap, and the first
// follows the last.
TEST(FrameAnimation, EachFrameShowsForItsDelayAndTheFirstFollowsTheLast) {
  for (uint32_t start : {1000u, 0xFFFFFFFFu - 150}) {
    FrameAnimation animation(3, 2, 100, start);
    std::string changes;
    for (uint32_t ms = 1; ms <= 400; ++ms) {
      const int32_t before = animation.Frame();
      animation.NextIfDue(start + ms);
      if (animation.Frame() != before)
        changes += std::to_string(ms) + ":" + std::to_string(animation.Frame()) + " ";
    }
    EXPECT_EQ(changes, "100:3 200:1 300:2 400:3 ") << "from " << start;
  }
}

}  // namespace
}  // namespace larkspill

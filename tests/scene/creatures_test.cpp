// The creatures in the saver window on fakes: when they step, how each kind flies, where they go
// after leaving the screen, and where they are drawn.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "scene_harness.h"

namespace larkspill::testing {
namespace {

using S = Harness::Loaded;

TEST(Creatures, FlockFliesRightAndReEntersFromTheLeftRestingUnlessAlways) {
  // BirdTimer, the random draw, the y it re-enters at, whether it flies on: only "Always" does.
  const std::tuple<const char*, double, int32_t, bool> cases[] = {
      {"20", 0.0, 10, false}, {"Always", 0.99999, 509, true}, {"always", 0.5, 260, false}};
  for (const auto& [bird_timer, r, new_y, flies_on] : cases) {
    SCOPED_TRACE(bird_timer);
    Harness h;
    SaverWindow& w = h.Load({{"one", "BirdTimer", bird_timer}}, "Birds");
    // Frames two 60 Hz frames apart: a step each at the birds' 25 ms.
    const auto next_step = [&h] { h.clock.Advance(34), h.window->OnFrame(); };
    w.flock.rested = 7, w.flock.MoveTo(800, 100);
    next_step();  // 801: still on screen
    EXPECT_TRUE(w.flock.flying);
    h.random.values = {r};
    next_step();  // 802: drawn there, then placed back at the left
    EXPECT_EQ(h.DrawnAt(S::kFlock), std::pair(802, 100));
    EXPECT_EQ(std::pair(int32_t{w.flock.X()}, int32_t{w.flock.Y()}), std::pair(-118, new_y));
    EXPECT_EQ(std::pair(w.flock.flying, int{w.flock.rested}),
              std::pair(flies_on, flies_on ? 7 : 0));
    next_step();  // a resting flock is neither moved nor drawn
    EXPECT_EQ(h.DrawnAt(S::kFlock), flies_on ? std::pair(-117, new_y) : std::pair(-9999, -9999));
    EXPECT_EQ(w.flock.X(), flies_on ? -117 : -118);
  }
}

// Spread across a desk of monitors, creatures fly on to the desk's edges and come back in beyond
// its other side, not at the scene's own edges in the middle of a monitor.
TEST(Creatures, AcrossADeskTheyGoOutAndComeInAtTheDesksEdges) {
  Harness h;
  h.display.edges = {-1200, 2000};
  SaverWindow& w = h.Load({{"one", "BirdTimer", "Always"}}, "Birds");
  const auto next_step = [&h] { h.clock.Advance(34), h.window->OnFrame(); };
  w.flock.MoveTo(800, 100);
  next_step();
  next_step();
  EXPECT_EQ(w.flock.X(), 802);  // still flying over the monitor right of the scene
  w.flock.MoveTo(2000, 100);
  next_step();
  next_step();
  EXPECT_EQ(w.flock.X(), -1318);
  w.single_birds[0].flying = true, w.single_birds[0].MoveTo(2001, 300);
  w.single_birds[0].Step();
  EXPECT_EQ(w.single_birds[0].X(), -1275);
  Harness butterflies;
  butterflies.display.edges = {-1200, 2000};
  SaverWindow& b = butterflies.Load();
  b.drifting_butterflies[0].MoveTo(-1276, 300);
  butterflies.FrameASecondLater();
  EXPECT_EQ(b.drifting_butterflies[0].X(), 2005);
}

TEST(Creatures, SingleBirdsClimbEverySecondStepAndRestAfterLeavingRight) {
  for (int i : {0, 1}) {
    Harness h;
    SaverWindow& w = h.Load({}, "SingleBird");
    SingleBird& bird = w.single_birds[i];
    auto at = [&bird] { return std::pair(int32_t{bird.X()}, int32_t{bird.Y()}); };
    w.flock.rested = 9;
    for (double r : {0.0, 0.99999}) {  // twice over the edge
      SCOPED_TRACE(std::to_string(i) + " r " + std::to_string(r));
      bird.flying = true, bird.rested = 11, bird.steps = 0;
      bird.MoveTo(799, 300);
      bird.Step();  // 800, no climb
      EXPECT_EQ(bird.Y(), 300);
      bird.Step();  // 801, climbs a pixel
      EXPECT_EQ(at(), std::pair(801, 299));
      EXPECT_EQ(std::pair(bird.flying, int{bird.steps}), std::pair(true, 0));
      h.random.values = {r};
      bird.Step();  // 802: back to the left, somewhere from 200 to 1199
      EXPECT_EQ(at(), std::pair(-75, r == 0.0 ? 200 : 1199));
      EXPECT_EQ(std::pair(bird.flying, int{bird.rested}), std::pair(false, 0));  // and it rests
      EXPECT_EQ(w.flock.rested, 9);  // the flock's rest is its own
    }
  }
}

TEST(Creatures, ButterfliesStepAsTheRandomDrawSaysAndReEnterAfterLeaving) {
  // The kind, the draw, the direction it gives, and the change of x and of screen y.
  const std::tuple<bool, double, int16_t, int32_t, int32_t> steps[] = {
      {true, 0.5, 2, -1, 1},   {true, 0.49999, 1, 0, -1}, {false, 0.0, 1, 0, -1},
      {false, 0.33333, 1, 0, -1}, {false, 0.34, 2, 0, 1}, {false, 0.66666, 2, 0, 1},
      {false, 0.67, 3, 0, -1}};
  for (double r : {0.0, 0.99999}) {
    Harness h;
    SaverWindow& w = h.Load();
    auto& drifting = w.drifting_butterflies;
    auto& climbing = w.climbing_butterflies;
    drifting[2].MoveTo(-75, drifting[2].Y());
    climbing[1].MoveTo(climbing[1].X(), -50);
    // Butterflies 1 and 2 step, the third past -75, the fourth down, the fifth past -50.
    h.random.values = {0.0, 0.0, 0.5, r, 0.5, 0.0, r};
    h.FrameASecondLater();
    EXPECT_EQ(std::pair(int{drifting[0].X()}, int{climbing[0].Y()}), std::pair(200, 551));
    h.random.values = {0.0, 0.0, 0.0, 0.0, 0.0};
    h.FrameASecondLater();  // butterflies are drawn where they are, then step
    EXPECT_EQ(h.DrawnAt(S::kB3), std::pair(805, r == 0.0 ? 60 : 559));
    EXPECT_EQ(h.DrawnAt(S::kB5), std::pair(r == 0.0 ? 1 : 800, 605));
    auto at = [](const Creature& c) { return std::pair(int32_t{c.X()}, int32_t{c.Y()}); };
    using Butterfly = std::tuple<Creature*, int32_t, int16_t*>;
    const std::vector<Butterfly> first_kind = {{&drifting[0], S::kB1, &drifting[0].last_draw},
                                               {&drifting[1], S::kB2, &drifting[1].last_draw},
                                               {&drifting[2], S::kB3, &drifting[2].last_draw}},
                                 second_kind = {{&climbing[0], S::kB4, &climbing[0].last_draw},
                                                {&climbing[1], S::kB5, &climbing[1].last_draw}};
    for (const auto& [first, draw, dir, dx, dy] : steps)
      for (const auto& [butterfly, number, last_draw] : first ? first_kind : second_kind) {
        SCOPED_TRACE(std::to_string(number) + " draw " + std::to_string(draw));
        const auto [x, y] = at(*butterfly);
        h.random.values = {draw};
        butterfly->Step();
        EXPECT_EQ(at(*butterfly), std::pair(x + dx, y + dy));
        EXPECT_EQ(*last_draw, dir);
      }
  }
}

}  // namespace
}  // namespace larkspill::testing

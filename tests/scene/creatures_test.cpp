// Each creature's step and the edge rules that bring it back.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "scene_harness.h"

namespace larkspill::testing {
namespace {

using S = Harness::Sprites;

TEST(Creatures, FlockFliesRightAndReEntersFromTheLeftRestingUnlessAlways) {
  struct Case {
    const char* bird_timer;
    double r;
    int32_t new_y;
    bool still_active;
  };  // only the exact text "Always" means no rest
  const Case cases[] = {
      {"20", 0.0, 10, false}, {"Always", 0.99999, 509, true}, {"always", 0.5, 260, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bird_timer);
    Harness h;
    h.OnlyCreatures(true, false, false, false);
    h.Set("one", "BirdTimer", c.bird_timer);
    SaverWindow& w = h.Load();
    w.FlockWait = 7;
    h.Sprite(S::kFlock).x = 800;
    h.clock.Advance(1000);
    w.OnFrame();  // 801: still on screen
    EXPECT_TRUE(w.FlockActive);

    h.random.values = {c.r};
    h.clock.Advance(1000);
    w.OnFrame();  // 802: placed back at the left
    EXPECT_EQ(w.FlockX, 802);
    EXPECT_EQ(h.Sprite(S::kFlock).x, -118);
    EXPECT_EQ(h.Sprite(S::kFlock).y, c.new_y);
    EXPECT_EQ(w.FlockActive, c.still_active);
    EXPECT_EQ(w.FlockWait, c.still_active ? 7 : 0);

    // A resting flock is neither moved nor drawn.
    h.display.calls.clear();
    h.clock.Advance(1000);
    w.OnFrame();
    EXPECT_EQ(h.display.Count("DrawSprite 6"), c.still_active ? 1u : 0u);
    EXPECT_EQ(h.Sprite(S::kFlock).x, c.still_active ? -117 : -118);
  }
}

TEST(Creatures, SingleBirdsClimbEverySecondStepAndRestAfterLeavingRight) {
  struct Bird {
    int32_t sprite;
    void (SaverWindow::*move)();
    bool SaverWindow::*active;
    int16_t SaverWindow::*wait, SaverWindow::*step, SaverWindow::*x;
  };
  const Bird birds[] = {
      {S::kBird1, &SaverWindow::MoveBird2, &SaverWindow::Bird1Active, &SaverWindow::Bird1Wait,
       &SaverWindow::Bird1Step, &SaverWindow::Bird1X},
      {S::kBird2, &SaverWindow::MoveBird3, &SaverWindow::Bird2Active, &SaverWindow::Bird2Wait,
       &SaverWindow::Bird2Step, &SaverWindow::Bird2X},
  };
  for (const Bird& b : birds) {
    for (double r : {0.0, 0.99999}) {
      SCOPED_TRACE(std::to_string(b.sprite) + " r " + std::to_string(r));
      Harness h;
      h.OnlyCreatures(false, true, false, false);
      SaverWindow& w = h.Load();
      w.*b.active = true;
      w.*b.wait = 11;
      w.FlockWait = 9;
      h.Sprite(b.sprite).x = 799;
      h.Sprite(b.sprite).y = 300;

      (w.*b.move)();  // 800, no climb
      EXPECT_EQ(h.Sprite(b.sprite).y, 300);
      (w.*b.move)();  // 801, climbs a pixel
      EXPECT_EQ(h.Sprite(b.sprite).y, 299);
      EXPECT_EQ(w.*b.step, 0);
      EXPECT_TRUE(w.*b.active);

      h.random.values = {r};
      (w.*b.move)();  // 802: back to the left, somewhere from 200 to 1199
      EXPECT_EQ(w.*b.x, 802);
      EXPECT_EQ(h.Sprite(b.sprite).x, -75);
      EXPECT_EQ(h.Sprite(b.sprite).y, r == 0.0 ? 200 : 1199);
      EXPECT_FALSE(w.*b.active);
      EXPECT_EQ(w.*b.wait, 0);
      EXPECT_EQ(w.FlockWait, 9);  // the flock's rest is its own
    }
  }
}

TEST(Creatures, FirstKindButterfliesFlutterLeftAndReEnterAtTheRight) {
  struct Case {
    double step_r;
    int32_t dx, dy;  // dy: the change of screen y
  };
  for (const Case& c : {Case{0.5, -1, 1}, Case{0.49999, 0, -1}}) {
    SCOPED_TRACE(c.step_r);
    Harness h;
    h.OnlyCreatures(false, false, true, false);
    SaverWindow& w = h.Load();
    for (auto [move, sprite, dir] :
         {std::tuple{&SaverWindow::MoveButterfly1, S::kB1, &w.Butterfly1Dir},
          std::tuple{&SaverWindow::MoveButterfly2, S::kB2, &w.Butterfly2Dir},
          std::tuple{&SaverWindow::MoveButterfly3, S::kB3, &w.Butterfly3Dir}}) {
      const int32_t x = h.Sprite(sprite).x;
      const int32_t y = h.Sprite(sprite).y;
      h.random.values = {c.step_r};
      (w.*move)();
      EXPECT_EQ(h.Sprite(sprite).x, x + c.dx);
      EXPECT_EQ(h.Sprite(sprite).y, y + c.dy);
      EXPECT_EQ(*dir, c.dx == 0 ? 1 : 2);
    }
  }

  for (double r : {0.0, 0.99999}) {
    Harness h;
    h.OnlyCreatures(false, false, true, false);
    h.Set("one", "NumButter", "3");
    SaverWindow& w = h.Load();
    h.Sprite(S::kB3).x = -75;
    // Butterflies 1 and 2 step first; the third steps left past -75 and is placed back.
    h.random.values = {0.0, 0.0, 0.5, r};
    h.clock.Advance(1000);
    w.OnFrame();
    EXPECT_EQ(w.Butterfly3X, -76);
    EXPECT_EQ(h.Sprite(S::kB3).x, 805);
    EXPECT_EQ(h.Sprite(S::kB3).y, r == 0.0 ? 60 : 559);
    EXPECT_EQ(w.Butterfly1X, 200);
  }
}

TEST(Creatures, SecondKindButterfliesClimbDriftLeftAndReEnterFromBelow) {
  struct Case {
    double step_r;
    int16_t dir;
    int32_t dy;
  };
  for (const Case& c : {Case{0.0, 1, -1}, Case{0.33333, 1, -1}, Case{0.34, 2, 1},
                        Case{0.66666, 2, 1}, Case{0.67, 3, -1}}) {
    SCOPED_TRACE(c.step_r);
    Harness h;
    h.OnlyCreatures(false, false, false, true);
    SaverWindow& w = h.Load();
    h.random.values = {c.step_r, c.step_r};
    w.MoveButterfly4();
    w.MoveButterfly5();
    EXPECT_EQ(w.Butterfly4Dir, c.dir);
    EXPECT_EQ(w.Butterfly5Dir, c.dir);
    EXPECT_EQ(h.Sprite(S::kB4).y, 550 + c.dy);
    EXPECT_EQ(h.Sprite(S::kB5).y, 550 + c.dy);
    EXPECT_EQ(h.Sprite(S::kB4).x, 700);
  }

  for (double r : {0.0, 0.99999}) {
    Harness h;
    h.OnlyCreatures(false, false, false, false);  // drift goes on while they are hidden
    SaverWindow& w = h.Load();
    w.Timer4_Timer();
    EXPECT_EQ(h.display.calls, (std::vector<std::string>{"MoveSpriteX 4 -1", "MoveSpriteX 5 -1"}));
    EXPECT_EQ(h.Sprite(S::kB4).x, 699);

    w.Butter2 = 1;
    h.Sprite(S::kB5).y = -50;
    h.random.values = {0.5, 0.0, r};  // butterfly 4 steps down; 5 climbs past -50
    h.clock.Advance(1000);
    w.OnFrame();
    EXPECT_EQ(w.Butterfly4Y, 551);
    EXPECT_EQ(w.Butterfly5Y, -51);
    EXPECT_EQ(h.Sprite(S::kB5).x, r == 0.0 ? 1 : 800);
    EXPECT_EQ(h.Sprite(S::kB5).y, 605);
  }
}

}  // namespace
}  // namespace larkspill::testing

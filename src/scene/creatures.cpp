#include "scene/saver_window.h"

namespace larkspill {

// The flock flies level to the right, a pixel a step.
void SaverWindow::MoveBird1() {
  services_.display.MoveSpriteX(FlockSprite, 1);
}

void SaverWindow::MoveBird2() {
  SingleBirdStep(BirdSprite1, Bird1Step, Bird1X, Bird1Active, Bird1Wait);
}

void SaverWindow::MoveBird3() {
  SingleBirdStep(BirdSprite2, Bird2Step, Bird2X, Bird2Active, Bird2Wait);
}

// A single bird flies right and climbs a pixel every second step. Past the right edge it goes
// back to the left, somewhere from y 200 to 1199 (often below the screen, from where it climbs
// into view), and rests until the creature timer counts its wait up again.
void SaverWindow::SingleBirdStep(int32_t sprite, int16_t& step, int16_t& x, bool& active,
                                 int16_t& wait) {
  SpriteDisplay& d = services_.display;
  d.MoveSpriteX(sprite, 1);
  ++step;
  if (step == 2) {
    d.MoveSpriteY(sprite, 1);
    step = 0;
  }
  x = d.GetSpriteX(sprite);
  if (x > 801) {
    d.SetSpriteX(sprite, -75);
    d.SetSpriteY(sprite, RandomInt(1000, 200));
    active = false;
    wait = 0;
  }
}

void SaverWindow::MoveButterfly1() {
  FirstKindStep(ButterflySprite1, Butterfly1Dir);
}
void SaverWindow::MoveButterfly2() {
  FirstKindStep(ButterflySprite2, Butterfly2Dir);
}
void SaverWindow::MoveButterfly3() {
  FirstKindStep(ButterflySprite3, Butterfly3Dir);
}
void SaverWindow::MoveButterfly4() {
  SecondKindStep(ButterflySprite4, Butterfly4Dir);
}
void SaverWindow::MoveButterfly5() {
  SecondKindStep(ButterflySprite5, Butterfly5Dir);
}

// Even odds of a pixel down and left, or a pixel up: a slow leftward flutter.
void SaverWindow::FirstKindStep(int32_t sprite, int16_t& dir) {
  SpriteDisplay& d = services_.display;
  dir = static_cast<int16_t>(RandomInt(2, 1));
  if (dir == 2) {
    d.MoveSpriteY(sprite, -1);
    d.MoveSpriteX(sprite, -1);
  } else {
    d.MoveSpriteY(sprite, 1);
  }
}

// One chance in three of a pixel down, two of a pixel up: a slow climb. The drift timer adds
// the leftward move.
void SaverWindow::SecondKindStep(int32_t sprite, int16_t& dir) {
  SpriteDisplay& d = services_.display;
  dir = static_cast<int16_t>(RandomInt(3, 1));
  if (dir == 2) {
    d.MoveSpriteY(sprite, -1);
  } else if (dir == 1 || dir == 3) {
    d.MoveSpriteY(sprite, 1);
  }
}

}  // namespace larkspill

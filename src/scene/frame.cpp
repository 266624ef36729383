#include <cmath>

#include "scene/exit_status.h"
#include "scene/saver_window.h"

namespace larkspill {

namespace {

struct ClockCorner {
  int32_t x;
  int32_t y;
};

// Upper left, lower left, upper right, lower right: PosClock 1 to 4.
constexpr ClockCorner kClockCorners[4] = {{0, 1}, {1, 545}, {650, 1}, {650, 550}};

}  // namespace

void SaverWindow::PickFirstScene() {
  if (waterfall2 == 1) {
    Waterfall2Enabled = true;
    CurrentWaterfall = 2;
    ++WaterfallCount;
  }
  if (waterfall1 == 1) {
    Waterfall1Enabled = true;
    CurrentWaterfall = 1;
    ++WaterfallCount;
  }
}

void SaverWindow::OnFrame() {
  if (ended_) return;
  SpriteDisplay& d = services_.display;
  if (!d.CheckDisplay()) {
    ended_ = true;
    services_.sound.StopAllSounds();
    d.CloseDisplay();
    Unload();
    EndProgram(kExitDisplayLost);
    return;
  }

  // Never draw a scene that is switched off.
  if (CurrentWaterfall == 1 && !Waterfall1Enabled) CurrentWaterfall = 2;
  if (CurrentWaterfall == 2 && !Waterfall2Enabled) CurrentWaterfall = 1;

  DrawScene();
  DrawCreatures();
  DrawTexts();
  d.Flip();
}

void SaverWindow::DrawScene() {
  SpriteDisplay& d = services_.display;
  if (CurrentWaterfall == 1) {
    d.DrawSprite(Background1Sprite);
    AnimateIfDue(Water1Sprite);
    d.DrawSprite(Water1Sprite);
  } else if (CurrentWaterfall == 2) {
    d.DrawSprite(Background2Sprite);
    AnimateIfDue(Water2Sprite);
    d.DrawSprite(Water2Sprite);
    AnimateIfDue(Water2SmallSprite);
    d.DrawSprite(Water2SmallSprite);
  } else {
    d.ClearBackBuffer(kBlack);
    d.SetTextFont("Arial", 30, 1, false, false, false);
    d.DrawText("You have not selected a Waterfall", 215, 295, kYellow);
  }
}

void SaverWindow::DrawCreatures() {
  SpriteDisplay& d = services_.display;

  if (Birds == 1 && FlockActive) {
    AnimateIfDue(FlockSprite);
    MoveIfDue(&SaverWindow::MoveBird1, BirdSpeed, FlockLastMove);
    d.DrawSprite(FlockSprite);
    FlockX = d.GetSpriteX(FlockSprite);
    if (FlockX > 801) {
      d.SetSpriteX(FlockSprite, -118);
      d.SetSpriteY(FlockSprite, RandomInt(500, 10));
      if (BirdTimer != "Always") {
        FlockActive = false;
        FlockWait = 0;
      }
    }
  }

  if (SingleBird == 1) {
    if (Bird2Active) {
      AnimateIfDue(BirdSprite2);
      MoveIfDue(&SaverWindow::MoveBird3, BirdSpeed, Bird2LastMove);
      d.DrawSprite(BirdSprite2);
    }
    if (Bird1Active) {
      AnimateIfDue(BirdSprite1);
      MoveIfDue(&SaverWindow::MoveBird2, BirdSpeed, Bird1LastMove);
      d.DrawSprite(BirdSprite1);
    }
  }

  if (Butter1 == 1) {
    struct FirstKind {
      int32_t sprite;
      void (SaverWindow::*move)();
      uint32_t& last_move;
      int16_t& x;
    };
    const FirstKind first_kind[3] = {
        {ButterflySprite1, &SaverWindow::MoveButterfly1, Butterfly1LastMove, Butterfly1X},
        {ButterflySprite2, &SaverWindow::MoveButterfly2, Butterfly2LastMove, Butterfly2X},
        {ButterflySprite3, &SaverWindow::MoveButterfly3, Butterfly3LastMove, Butterfly3X},
    };
    // Butterflies 1 and 2 show from NumButter 1 and 2 up; the third only at exactly 3.
    const bool shown[3] = {NumButter >= 1, NumButter >= 2, NumButter == 3};
    for (int i = 0; i < 3; ++i) {
      if (!shown[i]) continue;
      const FirstKind& b = first_kind[i];
      AnimateIfDue(b.sprite);
      d.DrawSprite(b.sprite);
      MoveIfDue(b.move, ButterflyDelay, b.last_move);
      b.x = d.GetSpriteX(b.sprite);
      if (b.x < -75) {
        d.SetSpriteX(b.sprite, 805);
        d.SetSpriteY(b.sprite, RandomInt(500, 60));
      }
    }
  }

  if (Butter2 == 1) {
    struct SecondKind {
      int32_t sprite;
      void (SaverWindow::*move)();
      int16_t delay;
      uint32_t& last_move;
      int16_t& y;
    };
    const SecondKind second_kind[2] = {
        {ButterflySprite4, &SaverWindow::MoveButterfly4, Butterfly4Delay, Butterfly4LastMove,
         Butterfly4Y},
        {ButterflySprite5, &SaverWindow::MoveButterfly5, Butterfly5Delay, Butterfly5LastMove,
         Butterfly5Y},
    };
    for (const SecondKind& b : second_kind) {
      AnimateIfDue(b.sprite);
      d.DrawSprite(b.sprite);
      MoveIfDue(b.move, b.delay, b.last_move);
      b.y = d.GetSpriteY(b.sprite);
      if (b.y < -50) {
        d.SetSpriteX(b.sprite, RandomInt(800, 1));
        d.SetSpriteY(b.sprite, 605);
      }
    }
  }
}

void SaverWindow::DrawTexts() {
  SpriteDisplay& d = services_.display;
  if (Clock == 1 && PosClock >= 1 && PosClock <= 4) {
    const ClockCorner& corner = kClockCorners[PosClock - 1];
    d.SetTextFont(FontName, FontSize, 1, false, false, false);
    d.DrawText(services_.clock.TimeText(ClockTime), corner.x, corner.y, kYellow);
  }
  if (ShowMessage == 1) {
    d.SetTextFont(FontName, FontSizeMsg, 1, false, false, false);
    d.DrawText(Message, 1, 568, kYellow);
  }
}

void SaverWindow::AnimateIfDue(int32_t sprite) {
  SpriteDisplay& d = services_.display;
  if (d.SpriteFrameDue(sprite)) d.NextSpriteFrame(sprite);
}

// Runs a creature's step once its delay has passed since its last step. The tick difference is
// taken modulo 2^32, so the tick counter wrapping round does not stall anything; a delay of 0 or
// less means a step every frame.
void SaverWindow::MoveIfDue(void (SaverWindow::*procedure)(), int32_t delay, uint32_t& last_move) {
  const uint32_t elapsed = services_.clock.TickCount() - last_move;
  if (static_cast<int64_t>(elapsed) < delay) return;
  (this->*procedure)();
  last_move = services_.clock.TickCount();
}

int32_t SaverWindow::RandomInt(int32_t n, int32_t k) {
  return static_cast<int32_t>(std::floor(services_.random.Next() * n + k));
}

}  // namespace larkspill

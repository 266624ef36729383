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

// Milliseconds between the butterflies' steps: the first kind's, and each of the second kind's.
constexpr int32_t kDriftingStepDelay = 15;
constexpr int32_t kClimbingStepDelays[2] = {25, 6};

}  // namespace

void SaverWindow::PickFirstScene() {
  if (settings.scene2_in_rotation) {
    Waterfall2Enabled = true;
    CurrentWaterfall = 2;
    ++WaterfallCount;
  }
  if (settings.scene1_in_rotation) {
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
  const uint32_t now = services_.clock.TickCount();

  if (settings.show_flock && flock.flying) {
    AnimateIfDue(flock.Sprite());
    flock.StepIfDue(now, settings.bird_step_delay);
    d.DrawSprite(flock.Sprite());
    flock.ReEnterIfGone(settings.flock_rest == FlockRest::Always);
  }

  if (settings.show_single_birds) {
    for (larkspill::SingleBird* bird : {&single_birds[1], &single_birds[0]}) {
      if (!bird->flying) continue;
      AnimateIfDue(bird->Sprite());
      bird->StepIfDue(now, settings.bird_step_delay);
      d.DrawSprite(bird->Sprite());
    }
  }

  if (settings.show_first_butterflies) {
    // Butterflies 1 and 2 show from a count of 1 and 2 up; the third only at a count of exactly 3.
    const bool shown[3] = {settings.butterfly_count >= 1, settings.butterfly_count >= 2,
                           settings.butterfly_count == 3};
    for (size_t i = 0; i < 3; ++i) {
      if (!shown[i]) continue;
      DriftingButterfly& b = drifting_butterflies[i];
      AnimateIfDue(b.Sprite());
      d.DrawSprite(b.Sprite());
      b.StepIfDue(now, kDriftingStepDelay);
      b.ReEnterIfGone();
    }
  }

  if (settings.show_second_butterflies) {
    for (size_t i = 0; i < 2; ++i) {
      ClimbingButterfly& b = climbing_butterflies[i];
      AnimateIfDue(b.Sprite());
      d.DrawSprite(b.Sprite());
      b.StepIfDue(now, kClimbingStepDelays[i]);
      b.ReEnterIfGone();
    }
  }
}

void SaverWindow::DrawTexts() {
  SpriteDisplay& d = services_.display;
  if (settings.show_clock && settings.clock_corner >= 1 && settings.clock_corner <= 4) {
    const ClockCorner& corner = kClockCorners[settings.clock_corner - 1];
    d.SetTextFont(settings.font_face, settings.clock_font_size, 1, false, false, false);
    d.DrawText(services_.clock.TimeText(ClockTime), corner.x, corner.y, kYellow);
  }
  if (settings.show_user_message) {
    d.SetTextFont(settings.font_face, settings.message_font_size, 1, false, false, false);
    d.DrawText(settings.user_message, 1, 568, kYellow);
  }
}

void SaverWindow::AnimateIfDue(int32_t sprite) {
  auto animation = animations_.find(sprite);
  if (animation == animations_.end()) return;
  if (const int32_t frame = animation->second.NextIfDue(services_.clock.TickCount()))
    services_.display.SetSpriteFrame(sprite, frame);
}

}  // namespace larkspill

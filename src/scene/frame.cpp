#include "scene/exit_status.h"
#include "scene/saver_window.h"

namespace larkspill {

namespace {

struct TextPlace {
  int32_t x;
  int32_t y;
};

// Upper left, lower left, upper right, lower right: the clock corner setting's 1 to 4.
constexpr TextPlace kClockCorners[4] = {{0, 1}, {1, 545}, {650, 1}, {650, 550}};
// The message's place, along the bottom.
constexpr TextPlace kMessagePlace = {1, 568};

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
  if (HasEnded()) return;

  // Never draw a scene that is switched off.
  if (CurrentWaterfall == 1 && !Waterfall1Enabled) CurrentWaterfall = 2;
  if (CurrentWaterfall == 2 && !Waterfall2Enabled) CurrentWaterfall = 1;

  frame_.drawings.clear();
  DrawScene(frame_);
  DrawCreatures(frame_);
  DrawTexts(frame_);
  if (services_.add_to_frame) services_.add_to_frame(frame_);
  if (services_.display.Show(frame_)) return;

  End(kExitDisplayLost);
  services_.sound.StopAllSounds();
  services_.display.Close();
  Unload();
}

void SaverWindow::DrawScene(SceneFrame& frame) {
  const uint32_t now = services_.clock.TickCount();
  auto draw = [&frame](const ScenePicture& p) {
    frame.Picture(p.pictures, p.animation.Frame(), p.x, p.y);
  };
  if (CurrentWaterfall == 1) {
    draw(Background1);
    Water1.animation.NextIfDue(now);
    draw(Water1);
  } else if (CurrentWaterfall == 2) {
    draw(Background2);
    Water2.animation.NextIfDue(now);
    draw(Water2);
    Water2Small.animation.NextIfDue(services_.clock.TickCount());
    draw(Water2Small);
  } else {
    frame.Fill(kBlack);
    frame.Text("You have not selected a Waterfall", "Arial", 30, kYellow, 215, 295);
  }
}

void SaverWindow::DrawCreatures(SceneFrame& frame) {
  const uint32_t now = services_.clock.TickCount();
  const SceneEdges edges = services_.display.CreatureEdges();
  flock.SetEdges(edges);
  for (Creature& c : single_birds) c.SetEdges(edges);
  for (Creature& c : drifting_butterflies) c.SetEdges(edges);

  if (settings.show_flock && flock.flying) {
    flock.AnimateIfDue(services_.clock.TickCount());
    flock.StepIfDue(now, settings.bird_step_delay);
    flock.DrawOn(frame);
    flock.ReEnterIfGone(settings.flock_rest == FlockRest::AlwaysFlying);
  }

  if (settings.show_single_birds) {
    for (larkspill::SingleBird* bird : {&single_birds[1], &single_birds[0]}) {
      if (!bird->flying) continue;
      bird->AnimateIfDue(services_.clock.TickCount());
      bird->StepIfDue(now, settings.bird_step_delay);
      bird->DrawOn(frame);
    }
  }

  if (settings.show_first_butterflies) {
    // Butterflies 1 and 2 show from a count of 1 and 2 up; the third only at a count of exactly 3.
    const bool shown[3] = {settings.butterfly_count >= 1, settings.butterfly_count >= 2,
                           settings.butterfly_count == 3};
    for (size_t i = 0; i < 3; ++i) {
      if (!shown[i]) continue;
      DriftingButterfly& b = drifting_butterflies[i];
      b.AnimateIfDue(services_.clock.TickCount());
      b.DrawOn(frame);
      b.StepIfDue(now, kDriftingStepDelay);
      b.ReEnterIfGone();
    }
  }

  if (settings.show_second_butterflies) {
    for (size_t i = 0; i < 2; ++i) {
      ClimbingButterfly& b = climbing_butterflies[i];
      b.AnimateIfDue(services_.clock.TickCount());
      b.DrawOn(frame);
      b.StepIfDue(now, kClimbingStepDelays[i]);
      b.ReEnterIfGone();
    }
  }
}

void SaverWindow::DrawTexts(SceneFrame& frame) {
  if (settings.show_clock && settings.clock_corner >= 1 && settings.clock_corner <= 4) {
    const TextPlace& corner = kClockCorners[settings.clock_corner - 1];
    frame.Text(services_.clock.TimeText(ClockTime), settings.font_face, settings.clock_font_size,
               kYellow, corner.x, corner.y);
  }
  if (settings.show_user_message)
    frame.Text(settings.user_message, settings.font_face, settings.message_font_size, kYellow,
               kMessagePlace.x, kMessagePlace.y);
}

}  // namespace larkspill

#include "scene/saver_window.h"
#include "scene/tick_counts.h"

namespace larkspill {

namespace {

// ScrollCount goes back to 0 after this many seconds so it can never overflow.
constexpr int32_t kScrollCountLimit = 28800000;
// Power-off timer tick on which the sounds are silenced.
constexpr int16_t kSilenceOnPowerOffTick = 4;

}  // namespace

void SaverWindow::EverySecond() {
  if (HasEnded()) return;
  ClockTime = services_.clock.SecondsSinceMidnight() / 86400.0;

  Sound.CountTowardsSoundOff();

  ++ScrollCount;
  if (WaterfallCount > 1 && ScrollCount == settings.scene_seconds) {
    ++CurrentWaterfall;
    if (CurrentWaterfall > 2) CurrentWaterfall = 1;
    ScrollCount = 0;
  }
  if (ScrollCount > kScrollCountLimit) ScrollCount = 0;

  Sound.CountTowardsEagleCall();
}

void SaverWindow::LetRestedBirdsFly() {
  if (HasEnded()) return;
  if (settings.flock_rest == FlockRest::AlwaysFlying) return;

  if (settings.show_flock) flock.Rest(settings.flock_rest_seconds);
  if (settings.show_single_birds) {
    for (larkspill::SingleBird& bird : single_birds) bird.Rest();
  }
}

void SaverWindow::DriftSecondKindButterflies() {
  if (HasEnded()) return;
  for (ClimbingButterfly& b : climbing_butterflies) b.Drift();
}

void SaverWindow::PowerOffTick() {
  if (HasEnded()) return;
  CountUp(PowerOffTicks);
  if (PowerOffTicks != kSilenceOnPowerOffTick) return;
  Sound.StopForDarkMonitor();
  // Its work is done for this run.
  timers_.SetEnabled(power_off_timer_, false, services_.clock.TickCount());
}

void SaverWindow::StartPowerOffCountdown() {
  timers_.SetEnabled(power_off_timer_, true, services_.clock.TickCount());
}

}  // namespace larkspill

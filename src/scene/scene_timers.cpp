#include <limits>
#include <optional>

#include "scene/saver_window.h"
#include "settings/key_table.h"

namespace larkspill {

namespace {

// ScrollCount goes back to 0 after this many seconds so it can never overflow.
constexpr int32_t kScrollCountLimit = 28800000;
// Seconds a single bird rests between flights.
constexpr int16_t kSingleBirdRest = 30;
// The flock's rest when BirdTimer holds neither "Always" nor a number: the first-run value.
constexpr double kDefaultFlockRest = 20;
// Power-off timer tick on which the sounds are silenced.
constexpr int16_t kSilenceOnPowerOffTick = 4;

// Counts one more second, stopping at the counter's maximum rather than wrapping.
void CountUp(int16_t& counter) {
  if (counter < std::numeric_limits<int16_t>::max()) ++counter;
}

}  // namespace

void SaverWindow::EverySecond() {
  if (ended_) return;
  ClockTime = services_.clock.SecondsSinceMidnight() / 86400.0;

  Sound.CountTowardsSoundOff();

  ++ScrollCount;
  if (WaterfallCount > 1 && ScrollCount == ScrollSec) {
    ++CurrentWaterfall;
    if (CurrentWaterfall > 2) CurrentWaterfall = 1;
    ScrollCount = 0;
  }
  if (ScrollCount > kScrollCountLimit) ScrollCount = 0;

  Sound.CountTowardsEagleCall();
}

void SaverWindow::LetRestedBirdsFly() {
  if (ended_) return;
  if (BirdTimer == "Always") return;

  if (Birds == 1) {
    CountUp(FlockWait);
    const std::optional<double> rest = ParseNumber(BirdTimer);
    if (FlockWait >= rest.value_or(kDefaultFlockRest)) {
      FlockWait = 0;
      FlockActive = true;
    }
  }

  if (SingleBird == 1) {
    CountUp(Bird1Wait);
    if (Bird1Wait >= kSingleBirdRest) {
      Bird1Wait = 0;
      Bird1Active = true;
    }
    CountUp(Bird2Wait);
    if (Bird2Wait >= kSingleBirdRest) {
      Bird2Wait = 0;
      Bird2Active = true;
    }
  }
}

void SaverWindow::DriftSecondKindButterflies() {
  if (ended_) return;
  services_.display.MoveSpriteX(ButterflySprite4, -1);
  services_.display.MoveSpriteX(ButterflySprite5, -1);
}

void SaverWindow::PowerOffTick() {
  if (ended_) return;
  CountUp(PowerOffTicks);
  if (PowerOffTicks != kSilenceOnPowerOffTick) return;
  services_.sound.StopAllSounds();
  services_.sound.StopAllSounds();
  Sound.ReleaseLoops();
  // Its work is done for this run.
  timers_.SetEnabled(power_off_timer_, false, services_.clock.TickCount());
}

void SaverWindow::StartPowerOffCountdown() {
  timers_.SetEnabled(power_off_timer_, true, services_.clock.TickCount());
}

}  // namespace larkspill

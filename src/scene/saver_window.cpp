#include "scene/saver_window.h"

#include <cmath>
#include <limits>
#include <utility>

#include "scene/exit_status.h"
#include "settings/key_table.h"

namespace larkspill {

namespace {

constexpr double kSecondsPerDay = 86400.0;
// A counting window of pointer moves closes on the first move more than this many seconds
// after it opened.
constexpr double kCountingWindowSeconds = 10.0;

}  // namespace

SaverWindow::SaverWindow(SaverServices services)
    : services_(std::move(services)), Sound(services_.sound, services_.store, settings) {
  const uint32_t now = services_.clock.TickCount();
  timers_.Add(
      "every second", 1000, true, [this] { EverySecond(); }, now);
  timers_.Add(
      "rested birds", 1000, true, [this] { LetRestedBirdsFly(); }, now);
  timers_.Add(
      "butterfly drift", 200, true, [this] { DriftSecondKindButterflies(); }, now);
  power_off_timer_ = timers_.Add(
      "power-off", 15000, false, [this] { PowerOffTick(); }, now);
}

void SaverWindow::Load() {
  // A store without the first-run marker gets every first-run value before anything is read.
  WriteFirstRunValuesIfNew(services_.store);

  flock.flying = true;
  single_birds[0].flying = false;
  // The single birds first fly six and sixteen seconds in.
  single_birds[0].rested = 24;
  single_birds[1].rested = 14;
  WaterfallCount = 0;
  CurrentWaterfall = 0;

  ReadSettings();
  if (settings.fast_start) settings.font_face = "Arial";
  if (settings.sound_off != SoundGoesOff::Never) Sound.SetSoundOffSeconds();

  services_.windows.ShowCursor(false);
  PickFirstScene();
  ScrollCount = 0;

  try {
    OpenDisplayAndLoadScene();
  } catch (const AssetError&) {
    // Give the screen and the cursor back before the error ends the program.
    End(kExitAssetError);
    services_.display.Close();
    Unload();
    throw;
  }
  if (HasEnded()) return;  // no display could be opened

  Sound.LoadSounds(AssetPath);
}

void SaverWindow::ReadSettings() {
  ReadSaverSettings(services_.store, settings);
}

void SaverWindow::OnPointerMoved() {
  if (HasEnded()) return;
  // The counter stops at its maximum rather than wrapping round to negative counts.
  if (MouseMoves < std::numeric_limits<int16_t>::max()) ++MouseMoves;
  if (MouseMoves == settings.mouse_sensitivity) {
    CloseDown();
    return;
  }
  const double now = services_.clock.SecondsSinceMidnight();
  if (FirstMoveTime == 0) {
    FirstMoveTime = static_cast<int32_t>(std::nearbyint(now));  // halves to even
    return;
  }
  // Measured round the clock, so a window opened just before midnight still closes. The
  // opening time is rounded to the second, so a move within the same half second comes out a
  // little negative: only a difference of more than half a day is a passed midnight.
  double elapsed = now - FirstMoveTime;
  if (elapsed < -kSecondsPerDay / 2) elapsed += kSecondsPerDay;
  if (elapsed > kCountingWindowSeconds) {
    FirstMoveTime = 0;
    MouseMoves = 0;
  }
}

void SaverWindow::OnButton() {
  if (HasEnded()) return;
  CloseDown();
}

void SaverWindow::OnWheel() {
  OnButton();
}

void SaverWindow::OnKey() {
  if (HasEnded()) return;
  CloseDown();
}

void SaverWindow::OnScreenTaken() {
  CloseDown();
}

void SaverWindow::CloseDown() {
  if (HasEnded()) return;
  End(kExitOk);
  services_.sound.StopAllSounds();
  Sound.ReleaseLoops();
  services_.windows.SetScreenSaverRunning(false);
  Unload();
}

void SaverWindow::Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  Sound.ReleaseLoops();
  services_.sound.StopAllSounds();
  services_.windows.ShowCursor(true);
}

void SaverWindow::End(int status) {
  if (!end_status_) end_status_ = status;
}

}  // namespace larkspill

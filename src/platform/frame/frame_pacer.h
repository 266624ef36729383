#pragma once

#include <chrono>

namespace larkspill {

// Keeps the frame rate at the display's refresh rate without spinning: frames start on a fixed
// grid of frame periods, so the rate holds on average. A frame that started late is made up for
// by starting the following ones a little early, but never more than kMaxEarly early, so no two
// frames start much less than a period apart and a creature whose delay is just under a period
// still moves on every frame. Far behind (a stall), the grid starts again from now.
class FramePacer {
 public:
  // Starts the grid now, at `refresh` frames a second (60 when unknown, within 24 to 240).
  void Start(int refresh);
  // Sleeps until the next frame may start.
  void Pace();
  // The time between frame starts.
  std::chrono::steady_clock::duration Period() const { return period_; }

  static constexpr auto kMaxEarly = std::chrono::milliseconds(1);

 private:
  std::chrono::steady_clock::duration period_{};
  std::chrono::steady_clock::time_point next_{};        // where the grid puts the next frame
  std::chrono::steady_clock::time_point last_start_{};  // when the last frame began
};

}  // namespace larkspill

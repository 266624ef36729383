#include "platform/frame/frame_pacer.h"

#include <algorithm>
#include <thread>

namespace larkspill {

void FramePacer::Start(int refresh) {
  if (refresh <= 0) refresh = 60;
  refresh = std::clamp(refresh, 24, 240);
  period_ = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(1.0 / refresh));
  next_ = std::chrono::steady_clock::now();
  last_start_ = next_ - period_;
}

void FramePacer::Pace() {
  auto now = std::chrono::steady_clock::now();
  next_ += period_;
  auto earliest = last_start_ + period_ - kMaxEarly;
  auto start = std::max(next_, earliest);
  if (next_ + 2 * period_ <= now) next_ = now;  // stalled: a new grid
  if (start > now) {
    std::this_thread::sleep_until(start);
    now = std::chrono::steady_clock::now();
  }
  last_start_ = now;
}

}  // namespace larkspill

// The saver's frames on a Wayland compositor paced by the outputs' frame callbacks, and the
// dark of outputs that keep them back.
#include <poll.h>
#include <wayland-client.h>

#include <algorithm>
#include <chrono>

#include "platform/wayland/wayland_screens.h"

namespace larkspill {
namespace {

// How long an output may keep the frame callback of a frame sent back before it counts as dark.
constexpr auto kWithheld = std::chrono::seconds(1);

// Whether the output shows a surface of the saver's.
bool Showing(const WaylandOutput& output) {
  return !output.gone && output.configured && output.surface != nullptr;
}

}  // namespace

void WaylandScreens::WaitForEvents(uint32_t milliseconds) {
  if (lost_) {
    ::poll(nullptr, 0, static_cast<int>(milliseconds));
    return;
  }
  // Events already read would not wake the poll: they are handled at once.
  const int shown = wl_display_dispatch_queue_pending(display_, frame_queue_);
  if (shown != 0) {
    if (shown < 0) lost_ = true;
    return;
  }
  if (wl_display_prepare_read(display_) != 0) return;
  Flush();
  pollfd connection{wl_display_get_fd(display_), POLLIN, 0};
  ::poll(&connection, 1, static_cast<int>(milliseconds));
  wl_display_cancel_read(display_);
}

int WaylandScreens::OutputsWaitingForCallback() const {
  return static_cast<int>(std::count_if(outputs_.begin(), outputs_.end(), [](const auto& o) {
    return Showing(*o) && o->frame_callback != nullptr;
  }));
}

void WaylandScreens::WaitForNextFrame() {
  using Clock = std::chrono::steady_clock;
  if (lost_ || !open_) return;
  const auto now = Clock::now();
  // The latest the wait lasts: till an output counts as dark, or the next frame of one that
  // waits for nothing.
  auto until = now + kWithheld;
  bool pacing_itself = true;
  for (const auto& output : outputs_) {
    if (!Showing(*output)) continue;
    if (output->frame_callback != nullptr) {
      // One already dark waits as long as it likes; the wait is for the others.
      if (output->committed_at + kWithheld > now) {
        until = std::min(until, output->committed_at + kWithheld);
      }
    } else {
      pacing_itself = false;
    }
  }
  if (!pacing_itself) {
    const int refresh = std::clamp(RefreshRate() > 0 ? RefreshRate() : 60, 24, 240);
    const auto period = std::chrono::microseconds(1000000 / refresh);
    until = std::min(until, std::max(now, frame_started_ + period));
  }
  const int waiting = OutputsWaitingForCallback();
  while (!lost_) {
    if (wl_display_dispatch_queue_pending(display_, frame_queue_) < 0) {
      lost_ = true;
      break;
    }
    if (OutputsWaitingForCallback() < waiting) break;  // a frame was shown: the next may go
    // Input or another event already read: Pump hands it on now.
    if (wl_display_prepare_read(display_) != 0) break;
    Flush();
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
    pollfd connection{wl_display_get_fd(display_), POLLIN, 0};
    // Nothing to read by the deadline, or a signal: its end is answered at once.
    if (left <= 0 || ::poll(&connection, 1, static_cast<int>(left)) <= 0) {
      wl_display_cancel_read(display_);
      break;
    }
    if (wl_display_read_events(display_) < 0) lost_ = true;
  }
  frame_started_ = Clock::now();
}

bool WaylandScreens::AllDark() const {
  const auto now = std::chrono::steady_clock::now();
  bool any = false;
  for (const auto& output : outputs_) {
    if (!Showing(*output)) continue;
    if (output->frame_callback == nullptr || now - output->committed_at < kWithheld) return false;
    any = true;
  }
  return any;
}

int WaylandScreens::RefreshRate() const {
  int32_t highest = 0;
  for (const auto& output : outputs_) highest = std::max(highest, output->refresh_mhz);
  return (highest + 500) / 1000;
}

}  // namespace larkspill

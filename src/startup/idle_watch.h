#pragma once

#include <chrono>
#include <functional>
#include <optional>

namespace larkspill {

// What the idle watcher knows when it decides.
struct IdleFacts {
  std::optional<std::chrono::milliseconds> idle;  // time without input; nullopt: not known
  // Asked only when the saver would start: a player, a call or another program holds idle off;
  // the session is locked. Unset counts as no.
  std::function<bool()> inhibited;
  std::function<bool()> locked;
  bool saver_running = false;  // the saver it started is still running
};

// What to do now: start the saver or not, and how long to wait before deciding again.
struct IdleStep {
  bool start_saver = false;
  std::chrono::milliseconds wait{0};
};

// The watcher's decisions, apart from any desktop: one saver for each stretch of idle time, never
// while idle is held off or the session is locked. A stretch held off by an inhibit or a lock
// counts as input: the full stretch must pass again after it ends.
class IdleWatch {
 public:
  explicit IdleWatch(std::chrono::milliseconds stretch);
  IdleStep Decide(const IdleFacts& facts);

 private:
  std::chrono::milliseconds stretch_;
  std::chrono::milliseconds counted_from_{0};  // idle time at which the current stretch began
  bool started_this_stretch_ = false;
};

}  // namespace larkspill

#include "startup/idle_watch.h"

#include <algorithm>

namespace larkspill {
namespace {

using std::chrono::milliseconds;

// How often the watcher looks when the desktop cannot say, and while its saver runs.
constexpr milliseconds kAskAgain{1000};
constexpr milliseconds kSaverCheck{500};
// Never sooner than this: a source whose clock lags must not make the watcher spin.
constexpr milliseconds kShortestWait{20};

}  // namespace

IdleWatch::IdleWatch(milliseconds stretch) : stretch_(stretch) {}

IdleStep IdleWatch::Decide(const IdleFacts& facts) {
  if (!facts.idle) return {false, facts.saver_running ? kSaverCheck : kAskAgain};
  const milliseconds idle = *facts.idle;
  if (idle < counted_from_) counted_from_ = milliseconds{0};  // input since: a fresh stretch
  if (idle < stretch_) started_this_stretch_ = false;
  if (facts.saver_running) return {false, kSaverCheck};
  const milliseconds counted = idle - counted_from_;
  if (counted < stretch_) return {false, std::max(stretch_ - counted, kShortestWait)};
  // The saver ended without input (killed, or it could not start): wait for some.
  if (started_this_stretch_) return {false, stretch_};
  if ((facts.inhibited && facts.inhibited()) || (facts.locked && facts.locked())) {
    counted_from_ = idle;
    return {false, stretch_};
  }
  started_this_stretch_ = true;
  return {true, kSaverCheck};
}

}  // namespace larkspill

#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "os/fd.h"

namespace larkspill {

// A lock file as OpenLockFile found it.
struct LockFile {
  Fd fd;                    // open only when the file can carry the lock
  bool not_a_file = false;  // something other than a regular file is in its place
  std::string why;          // when it cannot: the system's reason, or "not a regular file"
};

// Opens the lock file at `path` for flock(), making it (0600) when it is missing: never through
// a link (the folder is the user's, and a link there is not ours), never waiting on a FIFO put in
// its place, and closed on exec, so that a program started from ours never holds the lock.
LockFile OpenLockFile(const std::filesystem::path& path);

// Whether the open lock file belongs to this user; one made by another user where ours should be
// is not trusted.
bool OwnedByThisUser(const Fd& lock);

// What WaitForLock says when the wait ran out.
inline constexpr const char* kTimedOut = "timed out";

// Takes the exclusive lock on `fd`, waiting at most `wait_ms` and ending the wait when
// `pending_signal` reports an end signal. The wait blocks in flock(), so the lock goes to a waiter
// as soon as it is free; a timer of this thread interrupts it every 100 ms to look at the clock
// and the signal (the end signals interrupt it too, but one may come just before the call).
std::string WaitForLock(int fd, int wait_ms, const std::function<int()>& pending_signal);

}  // namespace larkspill

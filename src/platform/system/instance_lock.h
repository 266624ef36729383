#pragma once

#include <filesystem>

#include "os/fd.h"

namespace larkspill {

// Tells whether another instance of the program runs. Every instance holds a shared lock on one
// file for as long as it lives; the kernel drops the lock with the process, so a crashed
// instance never leaves a stale claim behind.
class InstanceLock {
 public:
  explicit InstanceLock(std::filesystem::path path);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // The first call probes for other holders and then joins them; later calls repeat the answer.
  // Without a lock file (an empty path) no other instance is seen.
  bool OtherInstanceRunning();

 private:
  std::filesystem::path path_;
  Fd fd_;
  bool probed_ = false;
  bool other_ = false;
};

}  // namespace larkspill

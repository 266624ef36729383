#pragma once

#include <filesystem>
#include <string>

namespace larkspill {

// The folder for this user's run-time files (locks): $XDG_RUNTIME_DIR, or else
// <temp>/larkspill-UID, made 0700 and used only when it is a real folder of this user's with mode
// 0700, since anyone may create it first. Empty, with the reason in `why`, when there is none.
std::filesystem::path RuntimeDir(std::string* why = nullptr);

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
  int fd_ = -1;
  bool probed_ = false;
  bool other_ = false;
};

}  // namespace larkspill

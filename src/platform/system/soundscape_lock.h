#pragma once

#include <filesystem>

#include "os/fd.h"

namespace larkspill {

// One soundscape per session: of all the savers a user runs at once (a host starts one per
// monitor), only the one holding this lock plays sound. It is an exclusive lock on a file in the
// user's runtime folder, which the kernel drops with its process however that ends; the others
// keep trying, so when the holder ends while they run, exactly one of them takes over.
class SoundscapeLock {
 public:
  explicit SoundscapeLock(std::filesystem::path path);
  ~SoundscapeLock();
  SoundscapeLock(const SoundscapeLock&) = delete;
  SoundscapeLock& operator=(const SoundscapeLock&) = delete;

  // Takes the lock if nobody holds it, without waiting; true once this process holds it. Where
  // the lock file cannot be opened at all, says so once and answers true: a saver that cannot
  // agree with others still plays its sound.
  bool TryTake();

 private:
  std::filesystem::path path_;
  Fd fd_;
  bool held_ = false;
  bool failed_ = false;
};

}  // namespace larkspill

#include "platform/system/soundscape_lock.h"

#include <sys/file.h>

#include <cstdio>
#include <utility>

#include "os/lock_file.h"

namespace larkspill {

SoundscapeLock::SoundscapeLock(std::filesystem::path path) : path_(std::move(path)) {}

SoundscapeLock::~SoundscapeLock() = default;

bool SoundscapeLock::TryTake() {
  if (held_ || failed_) return true;
  if (path_.empty()) {
    // No runtime folder to agree in (the start said why): this saver plays its sound.
    failed_ = true;
    return true;
  }
  if (!fd_.valid()) {
    LockFile lock = OpenLockFile(path_);
    if (!lock.fd.valid()) {
      std::fprintf(stderr, "larkspill: cannot open the sound lock %s: %s; playing sound anyway\n",
                   path_.c_str(), lock.why.c_str());
      failed_ = true;
      return true;
    }
    if (!OwnedByThisUser(lock.fd)) {
      std::fprintf(stderr,
                   "larkspill: the sound lock %s belongs to another user and is not "
                   "trusted; playing sound anyway\n",
                   path_.c_str());
      failed_ = true;
      return true;
    }
    fd_ = std::move(lock.fd);
  }
  held_ = ::flock(fd_.get(), LOCK_EX | LOCK_NB) == 0;
  return held_;
}

}  // namespace larkspill

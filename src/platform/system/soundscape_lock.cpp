#include "platform/system/soundscape_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace larkspill {

SoundscapeLock::SoundscapeLock(std::filesystem::path path) : path_(std::move(path)) {}

SoundscapeLock::~SoundscapeLock() {
  if (fd_ >= 0) ::close(fd_);
}

bool SoundscapeLock::TryTake() {
  if (held_ || failed_) return true;
  if (path_.empty()) {
    // No runtime folder to agree in (the start said why): this saver plays its sound.
    failed_ = true;
    return true;
  }
  if (fd_ < 0) {
    // Never through a link: the folder is the user's own, and a link there is not ours.
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd_ < 0) {
      std::fprintf(stderr, "larkspill: cannot open the sound lock %s: %s; playing sound anyway\n",
                   path_.c_str(), std::strerror(errno));
      failed_ = true;
      return true;
    }
    if (struct stat st {}; ::fstat(fd_, &st) == 0 && st.st_uid != ::getuid()) {
      std::fprintf(stderr, "larkspill: the sound lock %s belongs to another user and is not "
                   "trusted; playing sound anyway\n", path_.c_str());
      failed_ = true;
      return true;
    }
  }
  held_ = ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
  return held_;
}

}  // namespace larkspill

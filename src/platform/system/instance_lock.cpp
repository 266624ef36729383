#include "platform/system/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace larkspill {

InstanceLock::InstanceLock(std::filesystem::path path) : path_(std::move(path)) {}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) ::close(fd_);
}

bool InstanceLock::OtherInstanceRunning() {
  if (probed_) return other_;
  probed_ = true;
  if (path_.empty()) return other_ = false;
  fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  if (fd_ < 0) {
    std::fprintf(stderr, "larkspill: cannot open instance lock %s: %s\n", path_.c_str(),
                 std::strerror(errno));
    return other_ = false;
  }
  if (struct stat st {}; ::fstat(fd_, &st) == 0 && st.st_uid != ::getuid()) {
    std::fprintf(stderr, "larkspill: instance lock %s belongs to another user and is not trusted\n",
                 path_.c_str());
    ::close(fd_);
    fd_ = -1;
    return other_ = false;
  }
  // An exclusive lock is granted only when nobody else holds one of any kind.
  if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
    other_ = false;
  } else {
    other_ = errno == EWOULDBLOCK;
  }
  // From now on this instance is one of the holders. Only a probe like ours holds the lock
  // exclusively, for a moment: a lock held longer is no instance of this program, and joining
  // is not worth waiting for.
  for (int tries = 0; tries < 50 && ::flock(fd_, LOCK_SH | LOCK_NB) != 0; ++tries) ::usleep(10'000);
  return other_;
}

}  // namespace larkspill

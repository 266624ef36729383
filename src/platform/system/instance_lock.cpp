#include "platform/system/instance_lock.h"

#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

#include "os/lock_file.h"

namespace larkspill {

InstanceLock::InstanceLock(std::filesystem::path path) : path_(std::move(path)) {}

InstanceLock::~InstanceLock() = default;

bool InstanceLock::OtherInstanceRunning() {
  if (probed_) return other_;
  probed_ = true;
  if (path_.empty()) return other_ = false;
  LockFile lock = OpenLockFile(path_);
  if (!lock.fd.valid()) {
    std::fprintf(stderr, "larkspill: cannot open instance lock %s: %s\n", path_.c_str(),
                 lock.why.c_str());
    return other_ = false;
  }
  if (!OwnedByThisUser(lock.fd)) {
    std::fprintf(stderr, "larkspill: instance lock %s belongs to another user and is not trusted\n",
                 path_.c_str());
    return other_ = false;
  }
  fd_ = std::move(lock.fd);
  // An exclusive lock is granted only when nobody else holds one of any kind.
  if (::flock(fd_.get(), LOCK_EX | LOCK_NB) == 0) {
    other_ = false;
  } else {
    other_ = errno == EWOULDBLOCK;
  }
  // From now on this instance is one of the holders. Only a probe like ours holds the lock
  // exclusively, for a moment: a lock held longer is no instance of this program, and joining
  // is not worth waiting for.
  for (int tries = 0; tries < 50 && ::flock(fd_.get(), LOCK_SH | LOCK_NB) != 0; ++tries)
    ::usleep(10'000);
  return other_;
}

}  // namespace larkspill

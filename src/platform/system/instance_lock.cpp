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

std::filesystem::path RuntimeDir(std::string* why) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') {
    struct stat st {};
    if (::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode)) return runtime;
  }
  std::error_code ec;
  std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
  if (ec) temp = "/tmp";
  const std::filesystem::path dir = temp / ("larkspill-" + std::to_string(::getuid()));
  ::mkdir(dir.c_str(), 0700);
  struct stat st {};
  std::string problem;
  if (::lstat(dir.c_str(), &st) != 0) {
    problem = std::string("cannot be made: ") + std::strerror(errno);
  } else if (!S_ISDIR(st.st_mode)) {
    problem = "is not a folder";
  } else if (st.st_uid != ::getuid()) {
    problem = "belongs to another user";
  } else if ((st.st_mode & 07777) != 0700) {
    problem = "is open to other users";
  }
  if (problem.empty()) return dir;
  if (why != nullptr) {
    *why = "XDG_RUNTIME_DIR is unset and " + dir.string() + " " + problem;
  }
  return {};
}

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

#include "platform/instance_lock.h"

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

std::filesystem::path RuntimeDir() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') {
    struct stat st {};
    if (::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode)) return runtime;
  }
  std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("larkspill-" + std::to_string(::getuid()));
  ::mkdir(dir.c_str(), 0700);
  return dir;
}

InstanceLock::InstanceLock(std::filesystem::path path) : path_(std::move(path)) {}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) ::close(fd_);
}

bool InstanceLock::OtherInstanceRunning() {
  if (probed_) return other_;
  probed_ = true;
  fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
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
  // From now on this instance is one of the holders.
  while (::flock(fd_, LOCK_SH) != 0 && errno == EINTR) {
  }
  return other_;
}

}  // namespace larkspill

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

namespace {

// Why the folder at `path` is not this user's own private folder; empty when it is. Anyone may
// make a folder under a shared one first, or point a link at their own.
std::string NotOwnPrivateFolder(const std::filesystem::path& path, bool mode_0700) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) {
    return std::string("cannot be used: ") + std::strerror(errno);
  }
  if (S_ISLNK(st.st_mode)) return "is a link";
  if (!S_ISDIR(st.st_mode)) return "is not a folder";
  if (st.st_uid != ::getuid()) return "belongs to another user";
  if (mode_0700 ? (st.st_mode & 07777) != 0700 : (st.st_mode & 022) != 0) {
    return "is open to other users";
  }
  return {};
}

}  // namespace

std::filesystem::path RuntimeDir(std::string* why) {
  std::string passed_over;  // why XDG_RUNTIME_DIR is not used, when it is set
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') {
    // Without its trailing slashes, or lstat would follow a link.
    std::string folder = runtime;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    const std::string problem = NotOwnPrivateFolder(folder, false);
    if (problem.empty()) return folder;
    passed_over = "XDG_RUNTIME_DIR " + folder + " " + problem;
  }
  std::error_code ec;
  std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
  if (ec) temp = "/tmp";
  const std::filesystem::path dir = temp / ("larkspill-" + std::to_string(::getuid()));
  ::mkdir(dir.c_str(), 0700);
  const std::string problem = NotOwnPrivateFolder(dir, true);
  if (why != nullptr) {
    if (problem.empty() && !passed_over.empty()) {
      *why = passed_over + "; " + dir.string() + " is used instead";
    } else if (!problem.empty()) {
      *why = (passed_over.empty() ? "XDG_RUNTIME_DIR is unset" : passed_over) + " and " +
             dir.string() + " " + problem;
    }
  }
  return problem.empty() ? dir : std::filesystem::path();
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

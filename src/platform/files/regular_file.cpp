#include "platform/files/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace larkspill {
namespace {

// What a path that is not a regular file is, in the words of the refusal.
const char* WhatItIs(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder, not a file";
  if (S_ISFIFO(mode)) return "a FIFO (named pipe), not a regular file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device, not a regular file";
  if (S_ISSOCK(mode)) return "a socket, not a regular file";
  return "not a regular file";
}

std::string ReasonOf(int error) {
  if (error == ENOENT) return "no such file";
  if (error == EACCES) return "not readable (permission denied)";
  return std::strerror(error);
}

}  // namespace

RegularFile& RegularFile::operator=(RegularFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    size_ = other.size_;
  }
  return *this;
}

RegularFile::~RegularFile() {
  if (fd_ >= 0) ::close(fd_);
}

RegularFile OpenRegularFile(const std::string& path, std::string* error) {
  // Opening a FIFO waits for a writer and opening a device may do anything, so neither is opened.
  struct stat before {};
  if (::stat(path.c_str(), &before) != 0) {
    *error = ReasonOf(errno);
    return {};
  }
  if (!S_ISREG(before.st_mode)) {
    *error = WhatItIs(before.st_mode);
    return {};
  }
  // Non-blocking all the same, for a FIFO put in the file's place since.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    *error = ReasonOf(errno);
    return {};
  }
  struct stat opened {};
  if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
    *error = WhatItIs(opened.st_mode);
    ::close(fd);
    return {};
  }
  return RegularFile(fd, static_cast<int64_t>(opened.st_size));
}

std::FILE* StreamOnCopy(int fd) {
  const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (copy < 0) return nullptr;
  std::FILE* stream = ::fdopen(copy, "rb");
  if (stream == nullptr) {
    ::close(copy);
    return nullptr;
  }
  std::rewind(stream);  // the copy shares the original's position
  return stream;
}

bool ReadAt(int fd, void* to, size_t size, int64_t offset) {
  auto* out = static_cast<uint8_t*>(to);
  while (size > 0) {
    const ssize_t got = ::pread(fd, out, size, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    out += got;
    size -= static_cast<size_t>(got);
    offset += got;
  }
  return true;
}

}  // namespace larkspill

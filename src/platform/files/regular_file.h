#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

namespace larkspill {

// A file opened for reading that is known to be a regular file; the descriptor is closed with it.
class RegularFile {
 public:
  RegularFile() = default;
  RegularFile(int fd, int64_t size) : fd_(fd), size_(size) {}
  RegularFile(RegularFile&& other) noexcept
      : fd_(std::exchange(other.fd_, -1)), size_(other.size_) {}
  RegularFile& operator=(RegularFile&& other) noexcept;
  ~RegularFile();
  RegularFile(const RegularFile&) = delete;
  RegularFile& operator=(const RegularFile&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  // The size when it was opened.
  int64_t size() const { return size_; }

 private:
  int fd_ = -1;
  int64_t size_ = 0;
};

// Opens `path` for reading if, and only if, it is a regular file (links followed), without ever
// blocking: a FIFO, a device, a socket or a folder in a picture's or a sound's place is refused
// unopened, and one swapped in between the look and the opening is refused as well. Not open,
// with `error` saying in a few words why (what the path is, or the system's reason), otherwise.
RegularFile OpenRegularFile(const std::string& path, std::string* error);

// A stdio stream reading from the start of the file open as `fd`, on a copy of the descriptor
// that closing the stream closes; null when none can be made.
std::FILE* StreamOnCopy(int fd);

// Reads exactly `size` bytes at `offset`; false at the end of the file or on an error.
bool ReadAt(int fd, void* to, size_t size, int64_t offset);

}  // namespace larkspill

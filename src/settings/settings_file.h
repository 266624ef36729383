#pragma once

#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>

// The settings file on disk, below the store: links followed by hand, files opened only as they
// were seen, temporary files left by writers that died. Descriptors and the lock are os/'s.
namespace larkspill {

// The text of errno.
std::string Errno();
// Writes all of `text`, going on after interruptions; false on an error.
bool WriteAll(int fd, const std::string& text);

// What tells one version of a file from the next: a replaced file is a new inode, one written
// in place has a new size or change time.
struct FileId {
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  timespec mtime{};
  timespec ctime{};
  static FileId Of(const struct stat& st) {
    return FileId{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
  }
  bool operator==(const FileId& o) const {
    return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
           mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec &&
           ctime.tv_nsec == o.ctime.tv_nsec;
  }
};

// The file a path names once its symbolic links are followed, which may not exist yet.
struct Target {
  std::filesystem::path path;
  bool exists = false;
  struct stat st {};
};

// Follows the path's symbolic links to the file they name; nullopt, with the reason in `why`,
// when a link cannot be read or the links run in a loop.
std::optional<Target> Resolve(const std::filesystem::path& path, std::string* why);

// Removes the temporary files of writers that died before renaming theirs: NAME.tmp.PID of a
// process that no longer exists, owned by this user.
void RemoveStaleTemps(const std::filesystem::path& dir, const std::string& name);

// Opens `file` for reading, never through a link, if it is still the file `seen` describes (null:
// none was there), so that nothing put in its place since it was looked at is read; `opened` gets
// its state. -1 otherwise, with `changed` telling a different file (or none) from an error (errno).
int OpenAsSeen(const std::filesystem::path& file, const struct stat* seen, struct stat* opened,
               bool* changed);

}  // namespace larkspill

#include "settings/settings_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>

#include <cerrno>
#include <cstring>
#include <string_view>
#include <vector>

#include "os/fd.h"

namespace larkspill {

namespace fs = std::filesystem;

std::string Errno() {
  return std::strerror(errno);
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

std::optional<Target> Resolve(const fs::path& path, std::string* why) {
  fs::path current = path;
  for (int hops = 0; hops < 40; ++hops) {
    Target target{current, true, {}};
    if (::lstat(current.c_str(), &target.st) != 0) {
      if (errno == ENOENT) return Target{current, false, {}};
      *why = "cannot be looked at: " + Errno();
      return std::nullopt;
    }
    if (!S_ISLNK(target.st.st_mode)) return target;
    std::error_code ec;
    fs::path next = fs::read_symlink(current, ec);
    if (ec) {
      *why = "is a link that cannot be read: " + ec.message();
      return std::nullopt;
    }
    current = next.is_absolute() ? next : current.parent_path() / next;
  }
  *why = "is a link in a loop of links";
  return std::nullopt;
}

// Removes the temporary files of writers that died before renaming theirs: NAME.tmp.PID of a
// process that no longer exists, owned by this user.
void RemoveStaleTemps(const fs::path& dir, const std::string& name) {
  DIR* listing = ::opendir(dir.c_str());
  if (listing == nullptr) return;
  const std::string prefix = name + ".tmp.";
  std::vector<std::string> stale;
  while (const dirent* entry = ::readdir(listing)) {
    std::string_view file(entry->d_name);
    if (file.size() <= prefix.size() || file.substr(0, prefix.size()) != prefix) continue;
    std::string_view digits = file.substr(prefix.size());
    if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string_view::npos) {
      continue;
    }
    const pid_t pid = static_cast<pid_t>(std::stol(std::string(digits)));
    if (pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH) continue;
    struct stat st {};
    if (::fstatat(::dirfd(listing), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(st.st_mode) && st.st_uid == ::geteuid()) {
      stale.emplace_back(file);
    }
  }
  for (const std::string& file : stale) ::unlinkat(::dirfd(listing), file.c_str(), 0);
  ::closedir(listing);
}

int OpenAsSeen(const fs::path& file, const struct stat* seen, struct stat* opened, bool* changed) {
  *changed = false;
  // Not blocking: what was a file a moment ago may be a FIFO by now.
  Fd fd(::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!fd.valid()) {
    // A link (ELOOP) or nothing where something was, or nothing where nothing was.
    *changed = errno == ELOOP || (errno == ENOENT && seen != nullptr);
    return -1;
  }
  if (::fstat(fd.get(), opened) != 0) {
    const int error = errno;
    fd.reset();
    errno = error;
    return -1;
  }
  if (seen == nullptr || !S_ISREG(opened->st_mode) || opened->st_dev != seen->st_dev ||
      opened->st_ino != seen->st_ino) {
    *changed = true;
    return -1;
  }
  return fd.release();
}

}  // namespace larkspill

#include "settings/settings_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <time.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string_view>
#include <vector>

namespace larkspill {
namespace {

namespace fs = std::filesystem;

void Wake(int) {}

}  // namespace

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

// Takes the exclusive lock on `fd`, waiting at most `wait_ms` and ending the wait when
// `pending_signal` reports an end signal. The wait blocks in flock(), so the lock goes to a waiter
// as soon as it is free; a timer of this thread interrupts it every 100 ms to look at the clock
// and the signal (the end signals interrupt it too, but one may come just before the call).
std::string WaitForLock(int fd, int wait_ms, const std::function<int()>& pending_signal) {
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return {};
  if (errno != EWOULDBLOCK) return "cannot be locked: " + Errno();
  struct sigaction wake {
  }, previous{};
  wake.sa_handler = Wake;  // no SA_RESTART: the signal ends the blocking call
  sigemptyset(&wake.sa_mask);
  ::sigaction(SIGALRM, &wake, &previous);
  sigevent event{};
  event.sigev_notify = SIGEV_THREAD_ID;
  event.sigev_signo = SIGALRM;
  event._sigev_un._tid = static_cast<pid_t>(::gettid());
  timer_t timer{};
  const bool ticking = ::timer_create(CLOCK_MONOTONIC, &event, &timer) == 0;
  if (ticking) {
    const itimerspec every{{0, 100'000'000}, {0, 100'000'000}};
    ::timer_settime(timer, 0, &every, nullptr);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
  std::string why;
  for (;;) {
    const bool last_try = std::chrono::steady_clock::now() >= deadline;
    if (::flock(fd, ticking && !last_try ? LOCK_EX : LOCK_EX | LOCK_NB) == 0) break;
    if (errno != EINTR && errno != EWOULDBLOCK) {
      why = "cannot be locked: " + Errno();
      break;
    }
    if (pending_signal && pending_signal() != 0) {
      why = "was not written: the program is ending";
      break;
    }
    if (last_try) {
      why = kTimedOut;
      break;
    }
    if (!ticking) ::usleep(10'000);
  }
  if (ticking) ::timer_delete(timer);
  ::sigaction(SIGALRM, &previous, nullptr);
  return why;
}

int OpenAsSeen(const fs::path& file, const struct stat* seen, struct stat* opened, bool* changed) {
  *changed = false;
  // Not blocking: what was a file a moment ago may be a FIFO by now.
  const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    // A link (ELOOP) or nothing where something was, or nothing where nothing was.
    *changed = errno == ELOOP || (errno == ENOENT && seen != nullptr);
    return -1;
  }
  if (::fstat(fd, opened) != 0) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return -1;
  }
  if (seen == nullptr || !S_ISREG(opened->st_mode) || opened->st_dev != seen->st_dev ||
      opened->st_ino != seen->st_ino) {
    ::close(fd);
    *changed = true;
    return -1;
  }
  return fd;
}

}  // namespace larkspill

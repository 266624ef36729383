#include "os/lock_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace larkspill {
namespace {

void Wake(int) {}

}  // namespace

LockFile OpenLockFile(const std::filesystem::path& path) {
  LockFile lock;
  lock.fd.reset(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600));
  struct stat st {};
  if (!lock.fd.valid() || ::fstat(lock.fd.get(), &st) != 0) {
    lock.why = std::strerror(errno);
    lock.fd.reset();
  } else if (!S_ISREG(st.st_mode)) {
    lock.not_a_file = true;
    lock.why = "not a regular file";
    lock.fd.reset();
  }
  return lock;
}

bool OwnedByThisUser(const Fd& lock) {
  struct stat st {};
  return ::fstat(lock.get(), &st) == 0 && st.st_uid == ::getuid();
}

std::string WaitForLock(int fd, int wait_ms, const std::function<int()>& pending_signal) {
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return {};
  if (errno != EWOULDBLOCK) return std::string("cannot be locked: ") + std::strerror(errno);
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
      why = std::string("cannot be locked: ") + std::strerror(errno);
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

}  // namespace larkspill

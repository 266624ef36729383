#include "settings/ini_file_store.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "settings/ini_format.h"

namespace larkspill {
namespace {

namespace fs = std::filesystem;

// A file descriptor closed when it goes out of scope.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

std::string SectionFor(const std::string& app, const std::string& section) {
  return app == kAppName ? section : app + "/" + section;
}

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
  fs::path path;
  bool exists = false;
  struct stat st {};
};

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

// Why a settings file cannot be read, or the empty text.
std::string NotAFile(const struct stat& st) {
  if (!S_ISREG(st.st_mode)) return "is not a regular file";
  if (static_cast<size_t>(st.st_size) > IniFileStore::kMaxFileSize) {
    return "is larger than " + std::to_string(IniFileStore::kMaxFileSize >> 20) + " MiB";
  }
  return {};
}

// Why a settings file may not be replaced, or the empty text.
std::string Unwritable(const Target& target) {
  if (!target.exists) return {};
  if (std::string why = NotAFile(target.st); !why.empty()) return why;
  // A file its owner cannot write is one the user protected, whoever runs the program.
  if ((target.st.st_mode & S_IWUSR) == 0 ||
      (::geteuid() != 0 && ::faccessat(AT_FDCWD, target.path.c_str(), W_OK, AT_EACCESS) != 0)) {
    return "is read-only";
  }
  return {};
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

constexpr const char* kTimedOut = "timed out";
constexpr const char* kNoFolder =
    "XDG_CONFIG_HOME and HOME are unset and the user has no home folder";

void Wake(int) {}

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

// Says a problem once per store.
void ReportOnce(std::set<std::string>& reported, const std::string& kind,
                const std::string& message) {
  if (!reported.insert(kind).second) return;
  std::fprintf(stderr, "larkspill: %s\n", message.c_str());
}

}  // namespace

std::filesystem::path DefaultSettingsPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return fs::path(config) / "larkspill" / "settings.ini";
  fs::path home;
  const char* env_home = std::getenv("HOME");
  if (env_home != nullptr && env_home[0] == '/') {
    home = env_home;
  } else {
    std::vector<char> buffer(16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/') {
      home = found->pw_dir;
    }
  }
  if (home.empty()) return {};
  return home / ".config" / "larkspill" / "settings.ini";
}

struct IniFileStore::State {
  // The file as last read or written, and which version of it that was.
  IniDocument document;
  bool cached = false;
  FileId cached_id;
  // The text of a file with unreadable lines, kept for its backup; empty for a clean file.
  std::string unreadable_text;
  bool read_cleanly = true;
  // Values that could not be written, kept for the rest of the run and written with the next
  // write that succeeds; by (folded section, folded key).
  struct Unwritten {
    std::string section;
    std::string key;
    std::string value;
  };
  std::map<std::pair<std::string, std::string>, Unwritten> unwritten;
  std::string last_failure;
  bool lock_timed_out = false;
  std::set<std::string> reported;
};

IniFileStore::IniFileStore(std::filesystem::path path, std::function<int()> pending_signal)
    : path_(std::move(path)),
      pending_signal_(std::move(pending_signal)),
      state_(std::make_shared<State>()) {}

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

std::string IniFileStore::Refresh(const fs::path& file) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) {
    // No file, or no folder for it: nothing is stored yet.
    if (errno != ENOENT && errno != ENOTDIR) return "cannot be looked at: " + Errno();
    return Refresh(file, -1, st);
  }
  const State& s = *state_;
  if (s.cached && FileId::Of(st) == s.cached_id) return {};
  if (std::string why = NotAFile(st); !why.empty()) return why;
  // Not blocking: what was a file a moment ago may be a FIFO by now.
  Fd fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) return "cannot be read: " + Errno();
  return Refresh(file, fd.get(), st);
}

std::string IniFileStore::Refresh(const fs::path& file, int fd, const struct stat& st) {
  State& s = *state_;
  if (fd < 0) {
    s.document = IniDocument();
    s.cached = false;
    s.unreadable_text.clear();
    s.read_cleanly = true;
    return {};
  }
  if (s.cached && FileId::Of(st) == s.cached_id) return {};
  if (std::string why = NotAFile(st); !why.empty()) return why;
  std::string text;
  text.resize(std::min(static_cast<size_t>(st.st_size), kMaxFileSize) + 1);
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::read(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return "cannot be read: " + Errno();
    if (n == 0) break;
    done += static_cast<size_t>(n);
    // A file that grows while it is read is read up to one byte past the limit.
    if (done == text.size() && done <= kMaxFileSize) {
      text.resize(std::min(done * 2, kMaxFileSize + 1));
    }
  }
  if (done > kMaxFileSize) {
    return "is larger than " + std::to_string(kMaxFileSize >> 20) + " MiB";
  }
  text.resize(done);

  IniProblems problems;
  s.document = IniDocument::Parse(text, &problems);
  s.cached = true;
  s.cached_id = FileId::Of(st);
  s.read_cleanly = problems.count == 0;
  s.unreadable_text = s.read_cleanly ? std::string() : std::move(text);
  if (!s.read_cleanly) {
    std::string message = "settings file " + file.string() + ": " + problems.first.front();
    if (problems.count > 1) {
      message += " (and " + std::to_string(problems.count - 1) + " more such lines)";
    }
    ReportOnce(s.reported, "parse", message + "; those lines are ignored");
  }
  return {};
}

std::string IniFileStore::GetSetting(const std::string& app, const std::string& section,
                                     const std::string& key, const std::string& default_value) {
  State& s = *state_;
  std::string full_section = SectionFor(app, section);
  auto unwritten = s.unwritten.find({FoldCase(full_section), FoldCase(key)});
  if (unwritten != s.unwritten.end()) return unwritten->second.value;
  if (!path_.empty()) {
    if (std::string why = Refresh(path_); !why.empty()) {
      // The values read last (none, at first) stand.
      s.read_cleanly = false;
      ReportInMemory(why);
    }
  }
  return s.document.Find(full_section, key).value_or(default_value);
}

bool IniFileStore::ReadCleanly() {
  return state_->read_cleanly;
}

std::string IniFileStore::WhyCannotSave() {
  if (!state_->last_failure.empty()) return "the settings file " + state_->last_failure;
  std::string why;
  if (path_.empty()) return std::string("there is no settings file: ") + kNoFolder;
  if (std::optional<Target> target = Resolve(path_, &why)) why = Unwritable(*target);
  return why.empty() ? why : "the settings file " + why;
}

void IniFileStore::SaveSetting(const std::string& app, const std::string& section,
                               const std::string& key, const std::string& value) {
  SaveSettings(app, {Entry{section, key, value}});
}

void IniFileStore::SaveSettings(const std::string& app, const std::vector<Entry>& entries) {
  if (entries.empty()) return;
  State& s = *state_;
  const std::string why = Write(app, entries);
  if (why.empty()) {
    s.unwritten.clear();
    s.last_failure.clear();
    return;
  }
  s.last_failure = why;
  for (const Entry& e : entries) {
    const std::string full_section = SectionFor(app, e.section);
    std::pair<std::string, std::string> id{FoldCase(full_section), FoldCase(e.key)};
    if (e.only_if_absent && (s.unwritten.count(id) != 0 || s.document.Find(full_section, e.key))) {
      continue;
    }
    s.unwritten[id] = State::Unwritten{full_section, e.key, e.value};
  }
  ReportInMemory(why);
}

void IniFileStore::ReportInMemory(const std::string& why) {
  ReportOnce(state_->reported, why,
             (path_.empty() ? "no settings file: " : "settings file " + path_.string() + " ") +
                 why + "; settings are kept in memory until the program ends");
}

std::string IniFileStore::Write(const std::string& app, const std::vector<Entry>& entries) {
  State& s = *state_;
  if (path_.empty()) return kNoFolder;
  std::error_code ec;
  fs::create_directories(path_.parent_path(), ec);
  if (ec) return "has no folder: " + ec.message();

  // One lock file beside the settings, so that every writer reads, changes and replaces the
  // file in turn; the settings file itself is replaced on each write and cannot carry the lock.
  fs::path lock_path = path_;
  lock_path += ".lock";
  Fd lock(::open(lock_path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
  struct stat lock_st {};
  if (lock.get() < 0 || ::fstat(lock.get(), &lock_st) != 0) {
    return "cannot be locked: " + lock_path.string() + ": " + Errno();
  }
  if (!S_ISREG(lock_st.st_mode)) return "cannot be locked: " + lock_path.string() + " is no file";
  const int wait_ms = s.lock_timed_out ? kLockRetryWaitMs : kLockWaitMs;
  if (std::string why = WaitForLock(lock.get(), wait_ms, pending_signal_); !why.empty()) {
    if (why == kTimedOut) {
      s.lock_timed_out = true;
      return "is locked: another program has held " + lock_path.filename().string() +
             " for more than " + std::to_string(kLockWaitMs / 1000) + " s";
    }
    return why;
  }

  // The file is read through the handle of the very file Resolve found, never by its name again:
  // a link or another file put in its place in between would have its lines copied into the
  // settings and handed to the owner seen first. Such a change is looked at afresh once.
  std::string why;
  std::optional<Target> target;
  struct stat st {};
  for (int look = 0;; ++look) {
    target = Resolve(path_, &why);
    if (!target) return why;
    if (why = Unwritable(*target); !why.empty()) return why;
    bool changed = false;
    Fd fd(OpenAsSeen(target->path, target->exists ? &target->st : nullptr, &st, &changed));
    if (fd.get() >= 0 || (!changed && errno == ENOENT)) {
      if (why = Refresh(target->path, fd.get(), st); !why.empty()) return why;
      if (fd.get() >= 0) target->st = st;
      break;
    }
    if (!changed) return "cannot be read: " + Errno();
    if (look == 1) return "was replaced while it was being read";
  }

  if (!s.read_cleanly) {
    // Lines that do not parse are dropped by the rewrite: keep the file as it was beside it
    // first, or leave it alone.
    fs::path backup = path_;
    backup += ".bad";
    if (::unlink(backup.c_str()) != 0 && errno != ENOENT) {
      return "has unreadable lines that cannot be kept in " + backup.string() + " (" + Errno() +
             "), so it is left as it is";
    }
    Fd out(::open(backup.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (out.get() < 0 || !WriteAll(out.get(), s.unreadable_text)) {
      return "has unreadable lines that cannot be kept in " + backup.string() + " (" + Errno() +
             "), so it is left as it is";
    }
    ReportOnce(
        s.reported, "backup",
        "the settings file as it was, unreadable lines included, is kept as " + backup.string());
  }

  // From here the document runs ahead of the file until the file is replaced.
  s.cached = false;
  IniDocument& doc = s.document;
  // Values that earlier writes could not store go in now too, unless written again here.
  for (const auto& [folded, kept] : s.unwritten) doc.Set(kept.section, kept.key, kept.value);
  for (const Entry& e : entries) {
    const std::string full_section = SectionFor(app, e.section);
    if (e.only_if_absent && doc.Find(full_section, e.key)) continue;
    doc.Set(full_section, e.key, e.value);
  }
  const std::string text = doc.Serialize();

  const fs::path dir = target->path.parent_path();
  const std::string name = target->path.filename().string();
  RemoveStaleTemps(dir, name);
  const fs::path temp = dir / (name + ".tmp." + std::to_string(::getpid()));
  // A new file gets the user's umask; a replaced one keeps its owner and permission bits.
  Fd out(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                target->exists ? 0600 : 0666));
  if (out.get() < 0) return "cannot be written: " + temp.string() + ": " + Errno();
  auto abandon = [&](const std::string& what) {
    const std::string error = Errno();
    ::unlink(temp.c_str());
    return "cannot be written: " + what + ": " + error;
  };
  struct stat temp_st {};
  if (::fstat(out.get(), &temp_st) != 0) return abandon("fstat");
  if (target->exists) {
    if ((temp_st.st_uid != target->st.st_uid || temp_st.st_gid != target->st.st_gid) &&
        ::fchown(out.get(), target->st.st_uid, target->st.st_gid) != 0) {
      return abandon("its owner cannot be kept");
    }
    if (::fchmod(out.get(), target->st.st_mode & 07777) != 0) {
      return abandon("its permissions cannot be kept");
    }
  }
  if (!WriteAll(out.get(), text) || ::fsync(out.get()) != 0) return abandon(temp.string());
  if (::rename(temp.c_str(), target->path.c_str()) != 0) return abandon(target->path.string());
  if (::fstat(out.get(), &temp_st) == 0) {
    s.cached = true;
    s.cached_id = FileId::Of(temp_st);
  }
  s.read_cleanly = true;
  s.unreadable_text.clear();
  return {};
}

}  // namespace larkspill

#include "settings/ini_file_store.h"

#include <dirent.h>
#include <fcntl.h>
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

#include "os/fd.h"
#include "os/lock_file.h"
#include "os/paths.h"
#include "settings/ini_format.h"
#include "settings/settings_file.h"

namespace larkspill {
namespace {

namespace fs = std::filesystem;

std::string SectionFor(const std::string& app, const std::string& section) {
  return app == kAppName ? section : app + "/" + section;
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

constexpr const char* kNoFolder =
    "XDG_CONFIG_HOME and HOME are unset and the user has no home folder";

// Says a problem once per store.
void ReportOnce(std::set<std::string>& reported, const std::string& kind,
                const std::string& message) {
  if (!reported.insert(kind).second) return;
  std::fprintf(stderr, "larkspill: %s\n", message.c_str());
}

}  // namespace

std::filesystem::path DefaultSettingsPath() {
  const fs::path config = ConfigHome();
  return config.empty() ? config : config / "larkspill" / "settings.ini";
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
  const LockFile lock = OpenLockFile(lock_path);
  if (lock.not_a_file) return "cannot be locked: " + lock_path.string() + " is no file";
  if (!lock.fd.valid()) return "cannot be locked: " + lock_path.string() + ": " + lock.why;
  const int wait_ms = s.lock_timed_out ? kLockRetryWaitMs : kLockWaitMs;
  if (std::string why = WaitForLock(lock.fd.get(), wait_ms, pending_signal_); !why.empty()) {
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

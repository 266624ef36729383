#include "settings/ini_file_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

// The whole file; nullopt with errno set when it cannot be read. A missing file reads as empty.
std::optional<std::string> ReadWhole(const std::filesystem::path& path, bool* missing) {
  *missing = false;
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    if (errno == ENOENT) {
      *missing = true;
      return std::string();
    }
    return std::nullopt;
  }
  std::string text;
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (n == 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  return text;
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

}  // namespace

std::filesystem::path DefaultSettingsPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::filesystem::path base;
  if (config != nullptr && config[0] == '/') {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    base = std::filesystem::path(home != nullptr && home[0] != '\0' ? home : "/tmp") / ".config";
  }
  return base / "larkspill" / "settings.ini";
}

struct IniFileStore::State {
  // The parsed file and what it was parsed from, so a run of reads parses it once.
  IniDocument document;
  bool cached = false;
  struct stat cached_stat {};
  // Values that could not be written, kept for the rest of the run and written with the next
  // write that succeeds; by (folded section, folded key).
  struct Unwritten {
    std::string section;
    std::string key;
    std::string value;
  };
  std::map<std::pair<std::string, std::string>, Unwritten> unwritten;
  std::set<std::string> reported;
  bool backed_up = false;
};

IniFileStore::IniFileStore(std::filesystem::path path)
    : path_(std::move(path)), state_(std::make_shared<State>()) {}

namespace {

// Says a problem once per store.
void ReportOnce(std::set<std::string>& reported, const std::string& kind,
                const std::string& message) {
  if (!reported.insert(kind).second) return;
  std::fprintf(stderr, "larkspill: %s\n", message.c_str());
}

IniDocument ParseReported(const std::filesystem::path& path, const std::string& text,
                          std::set<std::string>& reported, bool* had_problems) {
  std::vector<std::string> problems;
  IniDocument doc = IniDocument::Parse(text, &problems);
  *had_problems = !problems.empty();
  if (!problems.empty()) {
    std::string message = "settings file " + path.string() + ": " + problems.front();
    if (problems.size() > 1) {
      message += " (and " + std::to_string(problems.size() - 1) + " more such lines)";
    }
    ReportOnce(reported, "parse", message + "; those lines are ignored");
  }
  return doc;
}

}  // namespace

std::string IniFileStore::GetSetting(const std::string& app, const std::string& section,
                                     const std::string& key, const std::string& default_value) {
  std::string full_section = SectionFor(app, section);
  auto unwritten = state_->unwritten.find({FoldCase(full_section), FoldCase(key)});
  if (unwritten != state_->unwritten.end()) return unwritten->second.value;

  struct stat st {};
  bool exists = ::stat(path_.c_str(), &st) == 0;
  if (!exists) return default_value;
  bool same = state_->cached && st.st_ino == state_->cached_stat.st_ino &&
              st.st_size == state_->cached_stat.st_size &&
              st.st_mtim.tv_sec == state_->cached_stat.st_mtim.tv_sec &&
              st.st_mtim.tv_nsec == state_->cached_stat.st_mtim.tv_nsec;
  if (!same) {
    bool missing = false;
    std::optional<std::string> text = ReadWhole(path_, &missing);
    if (!text) {
      ReportOnce(state_->reported, "read",
                 "cannot read settings file " + path_.string() + ": " + std::strerror(errno) +
                     "; using defaults");
      return default_value;
    }
    bool problems = false;
    state_->document = ParseReported(path_, *text, state_->reported, &problems);
    state_->cached = true;
    state_->cached_stat = st;
  }
  const std::string* value = state_->document.Find(full_section, key);
  return value != nullptr ? *value : default_value;
}

void IniFileStore::SaveSetting(const std::string& app, const std::string& section,
                               const std::string& key, const std::string& value) {
  SaveSettings(app, {Entry{section, key, value}});
}

void IniFileStore::SaveSettings(const std::string& app, const std::vector<Entry>& entries) {
  if (entries.empty()) return;
  auto fail = [&](const std::string& what) {
    for (const Entry& e : entries) {
      const std::string full_section = SectionFor(app, e.section);
      state_->unwritten[{FoldCase(full_section), FoldCase(e.key)}] =
          State::Unwritten{full_section, e.key, e.value};
    }
    ReportOnce(state_->reported, "write",
               "cannot write settings file " + path_.string() + ": " + what +
                   "; changes are kept only until the program ends");
  };

  std::error_code ec;
  std::filesystem::create_directories(path_.parent_path(), ec);
  if (ec) return fail(ec.message());

  // One lock file beside the settings, so that every writer reads, changes and replaces the
  // file in turn; the settings file itself is replaced on each write and cannot carry the lock.
  std::filesystem::path lock_path = path_;
  lock_path += ".lock";
  Fd lock(::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (lock.get() < 0) return fail(std::strerror(errno));
  while (::flock(lock.get(), LOCK_EX) != 0) {
    if (errno != EINTR) return fail(std::strerror(errno));
  }

  bool missing = false;
  std::optional<std::string> text = ReadWhole(path_, &missing);
  if (!text) return fail(std::string("cannot read it first: ") + std::strerror(errno));
  bool problems = false;
  IniDocument doc = ParseReported(path_, *text, state_->reported, &problems);
  if (problems && !state_->backed_up) {
    // Lines that do not parse are dropped by the rewrite; keep the file as it was beside it.
    std::filesystem::path backup = path_;
    backup += ".bad";
    Fd out(::open(backup.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (out.get() >= 0 && WriteAll(out.get(), *text)) {
      ReportOnce(state_->reported, "backup",
                 "the unreadable settings file was kept as " + backup.string());
    }
    state_->backed_up = true;
  }
  // Values that earlier writes could not store go in now too, unless written again here.
  for (const auto& [folded, kept] : state_->unwritten) doc.Set(kept.section, kept.key, kept.value);
  for (const Entry& e : entries) doc.Set(SectionFor(app, e.section), e.key, e.value);
  std::string serialized = doc.Serialize();

  std::filesystem::path temp = path_;
  temp += ".tmp." + std::to_string(::getpid());
  {
    Fd out(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (out.get() < 0) return fail(std::strerror(errno));
    if (!WriteAll(out.get(), serialized) || ::fsync(out.get()) != 0) {
      int saved = errno;
      ::unlink(temp.c_str());
      return fail(std::strerror(saved));
    }
  }
  if (::rename(temp.c_str(), path_.c_str()) != 0) {
    int saved = errno;
    ::unlink(temp.c_str());
    return fail(std::strerror(saved));
  }
  state_->unwritten.clear();
  state_->cached = false;
}

}  // namespace larkspill

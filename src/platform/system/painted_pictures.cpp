#include "platform/system/painted_pictures.h"

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

namespace larkspill {
namespace {

namespace fs = std::filesystem;

constexpr const char kPaintingPrefix[] = "painting-";

// Calls `each` with the name of every entry of the open folder `dir` but "." and "..".
void ForEachEntry(int dir, const std::function<void(const char*)>& each) {
  const int copy = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* stream = copy >= 0 ? ::fdopendir(copy) : nullptr;
  if (stream == nullptr) {
    if (copy >= 0) ::close(copy);
    return;
  }
  while (const dirent* entry = ::readdir(stream)) {
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
      each(entry->d_name);
    }
  }
  ::closedir(stream);
}

// Opens the folder `name` in `dir` without following a link or waiting on a FIFO.
Fd OpenFolderAt(int dir, const std::string& name) {
  return Fd(
      ::openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
}

// Why what `st` describes is not a folder of this user's that nobody else may write; empty when
// it is one.
std::string NotOwnFolder(const struct stat& st) {
  if (S_ISLNK(st.st_mode)) return "is a link";
  if (!S_ISDIR(st.st_mode)) return "is not a folder";
  if (st.st_uid != ::getuid()) return "belongs to another user";
  if ((st.st_mode & 022) != 0) return "may be written by other users";
  return {};
}

// Why the folder `name` in `dir`, found unopenable with `error`, is not to be used.
std::string WhyNotOpened(int dir, const std::string& name, int error) {
  struct stat st {};
  if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    if (std::string why = NotOwnFolder(st); !why.empty()) return why;
  }
  return std::string("cannot be opened: ") + std::strerror(error);
}

// Removes the folder `name` in `dir` with all it holds; links in it are removed, never followed.
void RemoveTree(int dir, const std::string& name) {
  if (Fd folder = OpenFolderAt(dir, name); folder.valid()) {
    ForEachEntry(folder.get(), [&](const char* entry) {
      struct stat st {};
      if (::fstatat(folder.get(), entry, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) {
        RemoveTree(folder.get(), entry);
      } else {
        ::unlinkat(folder.get(), entry, 0);
      }
    });
  }
  ::unlinkat(dir, name.c_str(), AT_REMOVEDIR);
}

// 64-bit FNV-1a, to name a painter build in a folder's name.
uint64_t Fnv1a(const std::string& bytes) {
  uint64_t hash = 0xcbf29ce484222325u;
  for (unsigned char c : bytes) hash = (hash ^ c) * 0x100000001b3u;
  return hash;
}

// `scale` with four decimals and a point whatever the locale, as the painter reads it.
std::string ScaleText(double scale) {
  char text[64];
  const auto printed = std::to_chars(text, text + sizeof text, scale, std::chars_format::fixed, 4);
  return std::string(text, printed.ptr);
}

// What the backgrounds cover as the painter reads it (--area): LEFT,TOP,WIDTH,HEIGHT.
std::string AreaText(const scene_layout::SceneArea& area) {
  return ScaleText(area.left) + "," + ScaleText(area.top) + "," + ScaleText(area.width) + "," +
         ScaleText(area.height);
}

// Why the painter ended with `status` (as waitpid gives it).
std::string HowItEnded(int status) {
  if (WIFEXITED(status)) return "status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
  return "ended with " + std::to_string(status);
}

// In the forked child: the painter at the lowest priority, dying with its parent, its output
// dropped and its errors kept. Only async-signal-safe calls here.
[[noreturn]] void ExecPainter(pid_t parent, const char* painter, char* const argv[]) {
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != parent) ::_exit(127);  // the parent died before the line above
  ::setpriority(PRIO_PROCESS, 0, 19);
  const sched_param idle{};
  ::sched_setscheduler(0, SCHED_IDLE, &idle);
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  struct sigaction default_action {};
  default_action.sa_handler = SIG_DFL;
  ::sigaction(SIGPIPE, &default_action, nullptr);
  const int null = ::open("/dev/null", O_RDWR);
  if (null < 0 || ::dup2(null, 0) < 0 || ::dup2(null, 1) < 0) ::_exit(127);
  ::close_range(3, ~0u, 0);
  ::execv(painter, argv);
  ::_exit(127);
}

}  // namespace

PaintedPictures::PaintedPictures(fs::path cache_home, fs::path painter)
    : cache_home_(std::move(cache_home)), painter_(std::move(painter)) {
  if (!cache_home_.empty()) root_ = cache_home_ / "larkspill";
  struct stat st {};
  if (::stat(painter_.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    char hash[17];
    std::snprintf(
        hash, sizeof hash, "%016llx",
        static_cast<unsigned long long>(
            Fnv1a(painter_.string() + '\0' + std::to_string(st.st_size) + '\0' +
                  std::to_string(st.st_mtim.tv_sec) + '.' + std::to_string(st.st_mtim.tv_nsec))));
    identity_ = hash;
  }
}

PaintedPictures::~PaintedPictures() {
  if (!painting_) return;
  ::kill(painting_->pid, SIGKILL);
  while (::waitpid(painting_->pid, nullptr, 0) < 0 && errno == EINTR) {
  }
  RemoveTree(painting_->root.get(), painting_->folder);
}

std::string PaintedPictures::FolderName(double scale, const scene_layout::SceneArea& area) const {
  if (identity_.empty() || !std::isfinite(scale) || scale <= 0 || scale > 100) return {};
  for (double v : {area.left, area.top, area.width, area.height})
    if (!std::isfinite(v) || std::abs(v) > 1e6) return {};
  // The wide backgrounds keep the name they always had; a desk's backgrounds name their area.
  const std::string covers = area == scene_layout::SceneArea{} ? "" : "-desk=" + AreaText(area);
  return "pictures-" + ScaleText(scale) + covers + "-" + identity_;
}

Fd PaintedPictures::OpenRoot(bool make) {
  if (root_.empty()) {
    if (make) SayOnce("no cache", "no cache folder (no home folder): the pictures stay unpainted");
    return Fd();
  }
  if (make) {
    ::mkdir(cache_home_.c_str(), 0700);
    ::mkdir(root_.c_str(), 0700);
  }
  Fd root(::open(root_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat st {};
  std::string why;
  if (!root.valid()) {
    if (errno == ENOENT && !make) return root;
    const int error = errno;
    why = ::lstat(root_.c_str(), &st) == 0 ? NotOwnFolder(st) : std::string();
    if (why.empty()) why = std::string("cannot be opened: ") + std::strerror(error);
  } else if (::fstat(root.get(), &st) != 0) {
    why = std::string("cannot be examined: ") + std::strerror(errno);
  } else {
    why = NotOwnFolder(st);
  }
  if (!why.empty()) {
    SayOnce(root_.string(), root_.string() + " " + why +
                                ": no pictures painted at the screen's scale are used from it");
    return Fd();
  }
  if (!stale_removed_) {
    stale_removed_ = true;
    // A painting folder nobody holds locked was left by a saver or painter that died.
    ForEachEntry(root.get(), [&](const char* name) {
      if (std::strncmp(name, kPaintingPrefix, sizeof kPaintingPrefix - 1) != 0) return;
      Fd folder = OpenFolderAt(root.get(), name);
      struct stat folder_st {};
      if (folder.valid() && ::fstat(folder.get(), &folder_st) == 0 &&
          folder_st.st_uid == ::getuid() && ::flock(folder.get(), LOCK_EX | LOCK_NB) == 0) {
        RemoveTree(root.get(), name);
      }
    });
  }
  return root;
}

std::optional<fs::path> PaintedPictures::Folder(double scale, const scene_layout::SceneArea& area) {
  const std::string name = FolderName(scale, area);
  if (name.empty()) return std::nullopt;
  const fs::path path = root_ / name;
  if (refused_.count(path.string()) != 0) return std::nullopt;
  const Fd root = OpenRoot(false);
  if (!root.valid()) return std::nullopt;
  const Fd folder = OpenFolderAt(root.get(), name);
  fs::path where = path;
  std::string why;
  struct stat st {};
  if (!folder.valid()) {
    if (errno == ENOENT) return std::nullopt;
    why = WhyNotOpened(root.get(), name, errno);
  } else if (::fstat(folder.get(), &st) != 0) {
    why = std::string("cannot be examined: ") + std::strerror(errno);
  } else if (why = NotOwnFolder(st); why.empty()) {
    // Only looked at, never opened: the display's readers open the pictures themselves.
    ForEachEntry(folder.get(), [&](const char* entry) {
      struct stat entry_st {};
      if (!why.empty()) return;
      if (::fstatat(folder.get(), entry, &entry_st, AT_SYMLINK_NOFOLLOW) != 0) {
        why = std::string("cannot be examined: ") + std::strerror(errno);
      } else if (S_ISLNK(entry_st.st_mode)) {
        why = "is a link";
      } else if (!S_ISREG(entry_st.st_mode)) {
        why = "is not a regular file";
      } else if (entry_st.st_uid != ::getuid()) {
        why = "belongs to another user";
      }
      if (!why.empty()) where = path / entry;
    });
  }
  if (!why.empty()) {
    Refuse(path, where.string() + " " + why);
    return std::nullopt;
  }
  return path;
}

void PaintedPictures::StartPainting(double scale, const scene_layout::SceneArea& area) {
  const std::string name = FolderName(scale, area);
  if (identity_.empty()) {
    SayOnce("no painter", "the painter " + painter_.string() +
                              " is missing: the pictures stay unpainted at the screen's scale");
  }
  if (name.empty() || painting_ || painter_failed_ || !tried_.insert(name).second) return;
  Fd root = OpenRoot(true);
  struct stat st {};
  if (!root.valid() || ::fstatat(root.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return;

  const std::string scale_text = ScaleText(scale);
  std::string folder = (root_ / (std::string(kPaintingPrefix) + "XXXXXX")).string();
  Fd lock;
  if (::mkdtemp(folder.data()) != nullptr) {
    lock = OpenFolderAt(root.get(), fs::path(folder).filename().string());
    // A folder found unlocked for a moment may have been taken for stale and removed.
    if (lock.valid() && (::flock(lock.get(), LOCK_EX | LOCK_NB) != 0 ||
                         ::fstat(lock.get(), &st) != 0 || st.st_nlink == 0)) {
      lock.reset();
    }
  }
  if (!lock.valid()) {
    SayOnce("painting " + name, "cannot make a folder to paint the pictures at scale " +
                                    scale_text + " in " + root_.string() + ": " +
                                    std::strerror(errno));
    return;
  }
  std::string scale_option = "--scale", area_option = "--area", area_text = AreaText(area);
  std::vector<char*> argv = {const_cast<char*>(painter_.c_str()), scale_option.data(),
                             const_cast<char*>(scale_text.c_str())};
  if (area != scene_layout::SceneArea{}) {
    argv.push_back(area_option.data());
    argv.push_back(area_text.data());
  }
  argv.push_back(folder.data());
  argv.push_back(nullptr);
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid == 0) ExecPainter(parent, painter_.c_str(), argv.data());
  const std::string folder_name = fs::path(folder).filename().string();
  if (pid < 0) {
    SayOnce("painting " + name,
            "cannot start the painter " + painter_.string() + ": " + std::strerror(errno));
    RemoveTree(root.get(), folder_name);
    return;
  }
  painting_ = Painting{pid, scale, area, folder_name, std::move(root), std::move(lock)};
}

bool PaintedPictures::TakeFinished() {
  if (!painting_) return false;
  int status = 0;
  pid_t ended = 0;
  do {
    ended = ::waitpid(painting_->pid, &status, WNOHANG);
  } while (ended < 0 && errno == EINTR);
  if (ended == 0) return false;
  return Finish(status, ended > 0);
}

bool PaintedPictures::Finish(int status, bool status_known) {
  const Painting painting = std::move(*painting_);
  painting_.reset();
  const int root = painting.root.get();
  const int folder = painting.lock.get();
  const std::string scale_text = ScaleText(painting.scale);
  std::string failure;
  if (!status_known) {
    failure = "its end was not seen";
  } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    failure = HowItEnded(status);
  } else {
    // On the disk before the rename, so that a power loss leaves no half-written picture under
    // the final name.
    ForEachEntry(folder, [&](const char* entry) {
      const Fd file(::openat(folder, entry, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
      struct stat st {};
      if (file.valid() && ::fstat(file.get(), &st) == 0 && S_ISREG(st.st_mode)) {
        ::fsync(file.get());
      }
    });
    ::fsync(folder);
    const std::string name = FolderName(painting.scale, painting.area);
    if (::renameat2(root, painting.folder.c_str(), root, name.c_str(), RENAME_NOREPLACE) == 0) {
      ::fsync(root);
      return true;
    }
    // Another saver may have finished the same pictures first.
    if (errno != EEXIST) {
      failure = std::string("its folder cannot be put in place: ") + std::strerror(errno);
    }
  }
  RemoveTree(root, painting.folder);
  if (failure.empty()) return true;
  painter_failed_ = true;
  SayOnce("painting " + FolderName(painting.scale, painting.area),
          "painting the pictures at scale " + scale_text + " failed: " + failure);
  return false;
}

void PaintedPictures::Refuse(const fs::path& folder, const std::string& why) {
  refused_.insert(folder.string());
  SayOnce(folder.string(), why + ": the pictures painted at the screen's scale in " +
                               folder.string() + " are not used");
}

void PaintedPictures::SayOnce(const std::string& key, const std::string& text) {
  if (said_.insert(key).second) std::fprintf(stderr, "larkspill: %s\n", text.c_str());
}

}  // namespace larkspill

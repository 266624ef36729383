#include "os/paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace larkspill {
namespace {

namespace fs = std::filesystem;

// The variable `name` when it holds an absolute path; empty otherwise.
fs::path AbsoluteFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] == '/' ? fs::path(value) : fs::path();
}

// $HOME, or the password database's home folder; empty when there is neither.
fs::path HomeFolder() {
  if (fs::path home = AbsoluteFromEnvironment("HOME"); !home.empty()) return home;
  std::vector<char> buffer(16384);
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
      found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/') {
    return found->pw_dir;
  }
  return {};
}

// The folder the XDG variable `name` names, or `fallback` under the home folder.
fs::path XdgFolder(const char* name, const char* fallback) {
  if (fs::path folder = AbsoluteFromEnvironment(name); !folder.empty()) return folder;
  fs::path home = HomeFolder();
  return home.empty() ? home : home / fallback;
}

// Why the folder at `path` is not this user's own private folder; empty when it is. Anyone may
// make a folder under a shared one first, or point a link at their own.
std::string NotOwnPrivateFolder(const fs::path& path, bool mode_0700) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) {
    return std::string("cannot be used: ") + std::strerror(errno);
  }
  if (S_ISLNK(st.st_mode)) return "is a link";
  if (!S_ISDIR(st.st_mode)) return "is not a folder";
  if (st.st_uid != ::getuid()) return "belongs to another user";
  if (mode_0700 ? (st.st_mode & 07777) != 0700 : (st.st_mode & 022) != 0) {
    return "is open to other users";
  }
  return {};
}

}  // namespace

fs::path ConfigHome() {
  return XdgFolder("XDG_CONFIG_HOME", ".config");
}

fs::path CacheHome() {
  return XdgFolder("XDG_CACHE_HOME", ".cache");
}

fs::path SessionRuntimeDir() {
  // Without its trailing slashes, or lstat would follow a link.
  std::string folder = AbsoluteFromEnvironment("XDG_RUNTIME_DIR");
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

fs::path RuntimeDir(std::string* why) {
  std::string passed_over;  // why XDG_RUNTIME_DIR is not used, when it is set
  if (const fs::path folder = SessionRuntimeDir(); !folder.empty()) {
    const std::string problem = NotOwnPrivateFolder(folder, false);
    if (problem.empty()) return folder;
    passed_over = "XDG_RUNTIME_DIR " + folder.string() + " " + problem;
  }
  std::error_code ec;
  fs::path temp = fs::temp_directory_path(ec);
  if (ec) temp = "/tmp";
  const fs::path dir = temp / ("larkspill-" + std::to_string(::getuid()));
  ::mkdir(dir.c_str(), 0700);
  const std::string problem = NotOwnPrivateFolder(dir, true);
  if (why != nullptr) {
    if (problem.empty() && !passed_over.empty()) {
      *why = passed_over + "; " + dir.string() + " is used instead";
    } else if (!problem.empty()) {
      *why = (passed_over.empty() ? "XDG_RUNTIME_DIR is unset" : passed_over) + " and " +
             dir.string() + " " + problem;
    }
  }
  return problem.empty() ? dir : fs::path();
}

}  // namespace larkspill

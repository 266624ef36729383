#include "platform/system/runtime_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace larkspill {

namespace {

// Why the folder at `path` is not this user's own private folder; empty when it is. Anyone may
// make a folder under a shared one first, or point a link at their own.
std::string NotOwnPrivateFolder(const std::filesystem::path& path, bool mode_0700) {
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

std::filesystem::path RuntimeDir(std::string* why) {
  std::string passed_over;  // why XDG_RUNTIME_DIR is not used, when it is set
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') {
    // Without its trailing slashes, or lstat would follow a link.
    std::string folder = runtime;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    const std::string problem = NotOwnPrivateFolder(folder, false);
    if (problem.empty()) return folder;
    passed_over = "XDG_RUNTIME_DIR " + folder + " " + problem;
  }
  std::error_code ec;
  std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
  if (ec) temp = "/tmp";
  const std::filesystem::path dir = temp / ("larkspill-" + std::to_string(::getuid()));
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
  return problem.empty() ? dir : std::filesystem::path();
}

}  // namespace larkspill

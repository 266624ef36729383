#include "platform/system/runtime_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace larkspill {

std::filesystem::path RuntimeDir(std::string* why) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') {
    struct stat st {};
    if (::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode)) return runtime;
  }
  std::error_code ec;
  std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
  if (ec) temp = "/tmp";
  const std::filesystem::path dir = temp / ("larkspill-" + std::to_string(::getuid()));
  ::mkdir(dir.c_str(), 0700);
  struct stat st {};
  std::string problem;
  if (::lstat(dir.c_str(), &st) != 0) {
    problem = std::string("cannot be made: ") + std::strerror(errno);
  } else if (!S_ISDIR(st.st_mode)) {
    problem = "is not a folder";
  } else if (st.st_uid != ::getuid()) {
    problem = "belongs to another user";
  } else if ((st.st_mode & 07777) != 0700) {
    problem = "is open to other users";
  }
  if (problem.empty()) return dir;
  if (why != nullptr) {
    *why = "XDG_RUNTIME_DIR is unset and " + dir.string() + " " + problem;
  }
  return {};
}

}  // namespace larkspill

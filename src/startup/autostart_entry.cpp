#include "startup/autostart_entry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "os/fd.h"

namespace larkspill {
namespace {

// A program path as the Exec key reads it: bare when it holds only plain characters, else quoted
// with the characters the desktop-entry rules reserve escaped, and every backslash doubled once
// more for the string value itself.
std::string ExecArgument(const std::string& program) {
  if (program.find_first_not_of(
          "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._+-") ==
      std::string::npos) {
    return program;
  }
  std::string quoted = "\"";
  for (char c : program) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
  }
  quoted += '"';
  std::string escaped;
  for (char c : quoted) {
    escaped += c;
    if (c == '\\') escaped += '\\';
  }
  return escaped;
}

bool Fail(std::string* why, const std::string& what, const std::filesystem::path& path) {
  if (why != nullptr) *why = "cannot " + what + " " + path.string() + ": " + std::strerror(errno);
  return false;
}

}  // namespace

std::filesystem::path AutostartEntryPath(const std::filesystem::path& config_home) {
  return config_home / "autostart" / "larkspill-on-idle.desktop";
}

std::string AutostartEntryText(const std::string& program, const std::string& minutes) {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Larkspill on idle\n"
         "Comment=Starts the Larkspill screen saver after " +
         minutes +
         " minutes without input\n"
         "Exec=" +
         ExecArgument(program) + " --on-idle " + minutes +
         "\n"
         "Terminal=false\n"
         "NoDisplay=true\n"
         "X-GNOME-Autostart-enabled=true\n";
}

bool WriteAutostartEntry(const std::filesystem::path& path, const std::string& text,
                         std::string* why) {
  const std::filesystem::path folder = path.parent_path();
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    errno = error.value();
    return Fail(why, "make the folder", folder);
  }
  const std::filesystem::path temp = path.string() + ".tmp." + std::to_string(::getpid());
  Fd out(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
  if (!out.valid()) return Fail(why, "write", temp);
  size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = ::write(out.get(), text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int saved = errno;
      ::unlink(temp.c_str());
      errno = saved;
      return Fail(why, "write", temp);
    }
    written += static_cast<size_t>(n);
  }
  if (::fsync(out.get()) != 0 || ::rename(temp.c_str(), path.c_str()) != 0) {
    const int saved = errno;
    ::unlink(temp.c_str());
    errno = saved;
    return Fail(why, "write", path);
  }
  Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.valid()) ::fsync(dir.get());
  return true;
}

bool RemoveAutostartEntry(const std::filesystem::path& path, std::string* why) {
  if (::unlink(path.c_str()) == 0 || errno == ENOENT) return true;
  return Fail(why, "remove", path);
}

}  // namespace larkspill

#include "platform/x11/power_saving_record.h"

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "os/lock_file.h"

namespace larkspill {
namespace {

constexpr std::string_view kHeldOff = "DPMS time-outs held off\n";

// The note this process holds, for the handler of a lost X connection.
int g_held_note = -1;

// Opens the note for flock(), refusing one another user made where ours should be.
Fd OpenNote(const std::filesystem::path& path) {
  LockFile note = OpenLockFile(path);
  if (!note.fd.valid()) {
    std::fprintf(stderr, "larkspill: %s: %s\n", path.c_str(), note.why.c_str());
    return Fd();
  }
  if (!OwnedByThisUser(note.fd)) {
    std::fprintf(stderr, "larkspill: %s belongs to another user and is not used\n", path.c_str());
    return Fd();
  }
  return std::move(note.fd);
}

}  // namespace

void PowerSavingRecord::NoteHeldOff() {
  if (path_.empty() || held_.valid()) return;
  Fd note = OpenNote(path_);
  if (!note.valid()) return;
  // Only a start putting back what a killed saver left holds it, and only for a moment.
  if (const std::string why = WaitForLock(note.get(), 1000, nullptr); !why.empty()) {
    std::fprintf(stderr, "larkspill: %s %s\n", path_.c_str(), why.c_str());
    return;
  }
  if (::ftruncate(note.get(), 0) != 0 || ::pwrite(note.get(), kHeldOff.data(), kHeldOff.size(),
                                                  0) != static_cast<ssize_t>(kHeldOff.size())) {
    std::fprintf(stderr, "larkspill: %s cannot be written: %s\n", path_.c_str(),
                 std::strerror(errno));
    return;
  }
  held_ = std::move(note);
  g_held_note = held_.get();
}

void PowerSavingRecord::NoteGivenBack() {
  if (!held_.valid()) return;
  g_held_note = -1;
  (void)::ftruncate(held_.get(), 0);
  held_.reset();  // closing lets the lock go
}

void ForgetPowerSavingNoteOfALostServer() {
  if (g_held_note >= 0) (void)::ftruncate(g_held_note, 0);
}

std::filesystem::path PowerSavingRecordPath(const std::filesystem::path& runtime_dir) {
  const char* display = std::getenv("DISPLAY");
  if (runtime_dir.empty() || display == nullptr || *display == '\0') return {};
  std::string name = "larkspill-dpms-";
  for (const char* c = display; *c != '\0'; ++c) {
    const bool plain = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') ||
                       (*c >= '0' && *c <= '9') || *c == '.' || *c == ':' || *c == '-';
    name += plain ? *c : '_';
  }
  return runtime_dir / (name + ".lock");
}

bool PutBackPowerSavingLeftOff(const std::filesystem::path& record, Dpms& dpms) {
  struct stat st {};
  if (record.empty() || ::lstat(record.c_str(), &st) != 0) return false;
  Fd note = OpenNote(record);
  // A saver that holds the note still runs, and puts the time-outs back itself.
  if (!note.valid() || ::flock(note.get(), LOCK_EX | LOCK_NB) != 0) return false;
  char text[64] = {};
  const ssize_t size = ::pread(note.get(), text, sizeof text, 0);
  if (size <= 0 || std::string_view(text, static_cast<size_t>(size)) != kHeldOff) return false;
  if (dpms.Capable() && !dpms.Enabled()) dpms.SetEnabled(true);
  (void)::ftruncate(note.get(), 0);
  return true;
}

}  // namespace larkspill

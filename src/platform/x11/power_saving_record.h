#pragma once

#include <filesystem>

#include "os/fd.h"
#include "platform/x11/dpms.h"

namespace larkspill {

// A note in the runtime folder that this saver has switched DPMS's time-outs off, held locked
// while the saver runs. A saver killed before it could put them back leaves the note behind,
// unlocked, and the next start of the saver or of the dialog puts them back.
class PowerSavingRecord {
 public:
  // With an empty path nothing is noted.
  explicit PowerSavingRecord(std::filesystem::path path) : path_(std::move(path)) {}

  // Notes, before the time-outs are switched off, that they were in force.
  void NoteHeldOff();
  // Forgets the note once the time-outs are back in force.
  void NoteGivenBack();

 private:
  std::filesystem::path path_;
  Fd held_;
};

// Empties the note this process holds, for a display whose server went away with its DPMS state:
// a new server on that display has DPMS of its own, which nothing must change.
void ForgetPowerSavingNoteOfALostServer();

// Where the note for the display DISPLAY names lives; empty without a runtime folder or DISPLAY.
std::filesystem::path PowerSavingRecordPath(const std::filesystem::path& runtime_dir);

// Puts DPMS's time-outs back in force where a saver that ended without doing so left its note;
// nothing while that saver still runs, and nothing for a note that is not this user's. True when
// it found such a note.
bool PutBackPowerSavingLeftOff(const std::filesystem::path& record, Dpms& dpms);

}  // namespace larkspill

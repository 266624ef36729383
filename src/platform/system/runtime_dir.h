#pragma once

#include <filesystem>
#include <string>

namespace larkspill {

// The folder for this user's run-time files (locks, the dialog's socket): $XDG_RUNTIME_DIR when
// it is a real folder of this user's that nobody else may write, or else <temp>/larkspill-UID,
// made 0700 and used only when it is a real folder of this user's with mode 0700, since anyone
// may create it first. Empty when there is none; `why` says what was passed over, and why.
std::filesystem::path RuntimeDir(std::string* why = nullptr);

}  // namespace larkspill

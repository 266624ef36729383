#pragma once

#include <filesystem>
#include <string>

namespace larkspill {

// The folder for this user's run-time files (locks): $XDG_RUNTIME_DIR, or else
// <temp>/larkspill-UID, made 0700 and used only when it is a real folder of this user's with mode
// 0700, since anyone may create it first. Empty, with the reason in `why`, when there is none.
std::filesystem::path RuntimeDir(std::string* why = nullptr);

}  // namespace larkspill

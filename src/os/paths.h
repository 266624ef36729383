#pragma once

#include <filesystem>
#include <string>

namespace larkspill {

// The user's folders, each looked up here and nowhere else. An XDG variable counts only when it
// holds an absolute path; HOME likewise, and without it the password database's home folder.

// $XDG_CONFIG_HOME, or <home>/.config; empty when the user has no home folder.
std::filesystem::path ConfigHome();
// $XDG_CACHE_HOME, or <home>/.cache; empty when the user has no home folder.
std::filesystem::path CacheHome();
// $XDG_RUNTIME_DIR as the session set it, without trailing slashes; empty when unset. Nothing
// says it is safe to use: RuntimeDir checks that.
std::filesystem::path SessionRuntimeDir();

// The folder for this user's run-time files (locks, the dialog's socket): $XDG_RUNTIME_DIR when
// it is a real folder of this user's that nobody else may write, or else <temp>/larkspill-UID,
// made 0700 and used only when it is a real folder of this user's with mode 0700, since anyone
// may create it first. Empty when there is none; `why` says what was passed over, and why.
std::filesystem::path RuntimeDir(std::string* why = nullptr);

}  // namespace larkspill

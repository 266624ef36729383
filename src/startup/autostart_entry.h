#pragma once

#include <filesystem>
#include <string>

namespace larkspill {

// The idle watcher's XDG autostart entry, which GNOME, Plasma, Xfce, MATE and other desktops run
// at login: $XDG_CONFIG_HOME/autostart/larkspill-on-idle.desktop.
std::filesystem::path AutostartEntryPath(const std::filesystem::path& config_home);

// The entry's text: it runs `program --on-idle MINUTES`.
std::string AutostartEntryText(const std::string& program, const std::string& minutes);

// Writes the entry whole or not at all (a temporary file beside it, renamed over it), making the
// folder if needed; false with the reason in `why`.
bool WriteAutostartEntry(const std::filesystem::path& path, const std::string& text,
                         std::string* why);
// Removes it; true when it is gone (or was never there), false with the reason in `why`.
bool RemoveAutostartEntry(const std::filesystem::path& path, std::string* why);

}  // namespace larkspill

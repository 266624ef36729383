#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/key_table.h"

namespace larkspill {

enum class Mode {
  Saver,         // "/s": full screen, refused while another instance runs
  SaverNoCheck,  // no command line at all: full screen, no single-instance check
  Preview,       // "/p" with the preview pane's window
  Settings,      // "/c": the settings dialog
  Password,      // "/a"
  Host,          // a screen-saver host's window: -root, -window-id ID or XSCREENSAVER_WINDOW
  Help,          // --help: the usage on standard output
  OnIdle,        // --on-idle MINUTES: stays in the session and starts the saver when it is idle
  Autostart,     // --no-autostart alone: the idle watcher's autostart entry removed
  None,          // anything else: the program ends
};

// A setting a host option overrides for one run; never written to the store.
struct SettingOverride {
  Key key;
  std::string value;
};

struct StartupOptions {
  Mode mode = Mode::None;
  std::string normalized;  // the command line trimmed and lowered
  std::string switch_text;  // its first two characters
  int32_t PreviewParent = 0;    // preview mode: the pane's window, 0 when no number was found
  bool preview_has_number = false;
  uint64_t host_window = 0;  // host mode: the window to draw into; 0 with host_root for the root
  bool host_root = false;
  std::string error;  // a host argument that cannot be used, said in words
  // The host options (-waterfall, -sound, -clock, -fps, -span): settings for this run only.
  std::vector<SettingOverride> overrides;
  bool no_sound = false;              // -no-sound: no sound device at all
  bool show_fps = false;              // -fps: frames per second in a corner
  std::vector<std::string> warnings;  // host options with a value that cannot be used
  // The idle watcher: minutes without input before the saver starts (fractions allowed), and
  // whether its autostart entry is written (--autostart) or removed (--no-autostart).
  double idle_minutes = 0;
  enum class AutostartEntry { Keep, Write, Remove } autostart = AutostartEntry::Keep;
};

// What --help prints: the modes, the hosts' arguments and the host options.
const char* UsageText();

// Trims spaces at both ends and lowers every letter.
std::string NormalizeCommandLine(std::string_view command_line);

// The longest tail of the text that reads as a number, as a 32-bit window handle; nullopt when
// no tail does (or the number does not fit).
std::optional<int32_t> LongestNumericTail(std::string_view text);

// A window id in decimal or 0x hexadecimal; nullopt for anything else, 0 included.
std::optional<uint64_t> ParseWindowId(std::string_view text);

// Picks the mode from the arguments (without the program name) and the XSCREENSAVER_WINDOW
// value (nullptr when unset). The hosts' own arguments are looked for first; otherwise the
// arguments are joined by spaces into the command line.
// The idle watcher's options (--on-idle MINUTES, --autostart, --no-autostart) into `options`;
// false when the arguments hold none of them. A value it cannot use is put in options.error.
bool ParseIdleWatchOptions(const std::vector<std::string>& args, StartupOptions& options);

StartupOptions ParseStartup(const std::vector<std::string>& args,
                            const char* xscreensaver_window);

}  // namespace larkspill

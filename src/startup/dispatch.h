#pragma once

#include <functional>

#include "scene/window_system.h"
#include "startup/command_line.h"

namespace larkspill {

// What each mode runs; each returns the program's exit status.
struct ModeRunners {
  std::function<int()> saver;     // full screen
  std::function<int()> preview;   // into the preview pane
  std::function<int()> settings;  // the settings dialog
  std::function<int()> password;  // the password change
  std::function<int()> host;      // into a screen-saver host's window
  std::function<int()> on_idle;   // the idle watcher, and its autostart entry
};

// Title of the display-settings window; while it is open a second full-screen start is allowed,
// since the instance drawing its preview is the one already running.
inline constexpr const char* kDisplayPropertiesTitle = "Display Properties";

// The start: the single-instance rule, then the mode. Every instance joins the instance lock
// here, so that later starts can see it.
int Main(const StartupOptions& options, WindowSystem& windows, const ModeRunners& runners);

}  // namespace larkspill

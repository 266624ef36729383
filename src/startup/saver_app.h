#pragma once

#include <cstdint>
#include <string>

#include "platform/x11_window_system.h"

namespace larkspill {

// Where the saver draws: its own full-screen window, or a window a screen-saver host owns.
struct SaverTarget {
  uint64_t embed_window = 0;  // 0: a full-screen window of its own
  bool host_owns_input = false;
};

// Runs the saver until it ends and returns its exit status. In a host's window the scene
// follows the window's size, no input ends it, the host's screen saver and power saving are
// left alone, and the host destroying the window ends it with kExitOk. In its own window the
// power hook keeps or gives up the monitor as PwrSave says.
int RunSaver(const SaverTarget& target, X11WindowSystem& windows, const std::string& asset_dir);

// Tells the user that no display could be opened, as the saver does, and gives the status
// that says so.
int ReportNoDisplay();

// The id of the X display's root window, for a host that names no window of its own; 0 when
// there is no X display.
uint64_t RootWindowId();

// The signal that asked the program to end, or 0.
int PendingSignal();
// SIGTERM, SIGINT and SIGHUP ask the running mode to end in order.
void InstallEndSignals();

}  // namespace larkspill

#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/x11/x11_window_system.h"
#include "startup/command_line.h"

namespace larkspill {

// Where the saver draws: its own full-screen window, or a window a screen-saver host owns.
struct SaverTarget {
  uint64_t embed_window = 0;  // 0: a full-screen window of its own
  bool host_owns_input = false;
};

// What the command line chose for this run beyond the stored settings: the host options.
struct SaverChoices {
  std::vector<SettingOverride> overrides;
  bool no_sound = false;
  bool show_fps = false;
};

// Runs the saver until it ends and returns its exit status. In a host's window the scene
// follows the window's size, no input ends it, the host's screen saver and power saving are
// left alone, and the host destroying the window ends it with kExitOk. In its own window the
// power watch keeps or gives up the monitor as PwrSave says.
//
// Sound: of the savers running at once, only the one holding the soundscape lock plays (the
// others take over when it ends); none plays in a preview pane or with -no-sound.
// `painter` is the asset generator that paints the pictures at the screen's scale into the
// user's cache; `runtime_dir` the user's checked runtime folder (empty where none could be
// trusted).
int RunSaver(const SaverTarget& target, const SaverChoices& choices, X11WindowSystem& windows,
             const std::string& asset_dir, const std::filesystem::path& painter,
             const std::filesystem::path& runtime_dir);

// Tells the user that no display could be opened, as the saver does, and gives the status
// that says so.
int ReportNoDisplay();

// The signal that asked the program to end, or 0.
int PendingSignal();
// SIGTERM, SIGINT and SIGHUP ask the running mode to end in order.
void InstallEndSignals();
// After the orderly end: when a signal asked for it, ends the process by that same signal (its
// default action), so that a parent sees a signal end as it does for the hosts' own savers.
// Returns only when no signal is pending.
void EndBySignalIfAsked();

// Keeps the program from starting a D-Bus session bus of its own. With no session bus address
// in the environment, libdbus (used by SDL's video start) asks dbus-launch to start a bus that
// lives on after the program; pointed at the user's bus where systemd keeps it, it connects
// there or, where there is none, goes on without D-Bus.
void UseOnlyAnExistingSessionBus();

}  // namespace larkspill

#pragma once

#include <chrono>
#include <compare>
#include <memory>
#include <vector>

typedef struct _XDisplay Display;
typedef union _XEvent XEvent;

namespace larkspill {

// Keeps the full-screen saver's windows (one per monitor) above every ordinary window on X11,
// with the keyboard focus, and notices when a screen locker or another saver wants the screen.
//
// It holds no grab: a locker (i3lock, slock, xsecurelock, the hosts' own lock) must get the
// keyboard and pointer the moment it asks, and most ask only for a fraction of a second before
// giving up. Keys reach the saver through the focus, which it takes back from any window that
// takes it; pointer moves and buttons reach it because its windows cover every monitor.
//
// The screen counts as taken, and the saver steps aside, when another client grabs the keyboard
// (a locker's first act; a window manager's key binding is a key as well), maps an
// override-redirect window over a whole monitor (a locker's or another saver's window), or when
// the X screen saver turns on at the end of the idle time (what xss-lock and light-locker lock on).
//
// It also notices when the monitors change (RandR: a monitor resized, added, removed or moved), so
// that the saver can cover them again.
//
// It has an X connection of its own, so that what it selects and asks never mixes with SDL's.
class X11ScreenHold {
 public:
  using Clock = std::chrono::steady_clock;
  // Raising and taking the focus back answer another window's change at once, then at most this
  // often, so two programs that both want to be on top take turns instead of flooding the server.
  static constexpr auto kRestoreSpacing = std::chrono::milliseconds(100);
  // How often the monitors are looked at unasked: RandR tells of no monitor a client sets
  // (`xrandr --setmonitor`), only of modes and outputs.
  static constexpr auto kMonitorLookSpacing = std::chrono::milliseconds(500);

  struct Area {
    int x = 0, y = 0, width = 0, height = 0;
    bool primary = false;  // RandR's primary monitor
    auto operator<=>(const Area&) const = default;
  };

  // The monitors as RandR has them now, each area once, in order; empty where the X server has
  // no monitor list (RandR before 1.5) or cannot be reached.
  static std::vector<Area> Monitors();

  // Holds the screen for `windows` (SDL's, on the display SDL uses); null when no connection of
  // its own can be opened.
  static std::unique_ptr<X11ScreenHold> Take(const std::vector<unsigned long>& windows);
  ~X11ScreenHold();
  X11ScreenHold(const X11ScreenHold&) = delete;
  X11ScreenHold& operator=(const X11ScreenHold&) = delete;

  // Whether a screen locker holds the screen already: the topmost window is another client's
  // override-redirect window covering one of `monitors`, and another client holds the keyboard.
  // A grab alone (an open menu) or a full-screen window alone (a video) is no lock.
  static bool LockerHoldsScreen(const std::vector<Area>& monitors);

  // Whether the monitors are looked at unasked, besides RandR's word: not while every monitor is
  // dark, when each look would wake the saver for nothing it shows.
  void LookAtMonitorsUnasked(bool look) { looks_unasked_ = look; }
  // Reads what the X server told since the last call; then maps, raises and focuses the windows
  // again, as far as is due by `now`, unless the screen was taken.
  void Pump(Clock::time_point now);

  // Whether another client destroyed one of the saver's windows.
  bool WindowGone() const { return window_gone_; }
  // Whether a locker, another saver or the X screen saver has taken the screen.
  bool ScreenTaken() const { return screen_taken_; }
  // Whether the monitors are no longer where the saver's windows are.
  bool MonitorsChanged() const { return monitors_changed_; }

 private:
  X11ScreenHold(Display* display, std::vector<unsigned long> windows);
  bool Own(unsigned long window) const;
  void Notice(const XEvent& event);
  // Whether another client's override-redirect window now covers one of the saver's monitors.
  bool CoversAMonitor(unsigned long window);
  void TakeFocus();
  void CheckMonitors();

  Display* display_;
  std::vector<unsigned long> windows_;
  std::vector<Area> monitors_;   // where the saver's windows are
  int screen_saver_event_ = -1;  // MIT-SCREEN-SAVER's notify event, where the server has it
  int randr_event_ = -1;         // RandR's first event, where the server has it
  bool randr_told_ = false;      // RandR told of a change not yet checked
  bool raise_wanted_ = true;
  bool focus_wanted_ = true;
  bool map_wanted_ = false;
  bool viewable_ = true;
  bool window_gone_ = false;
  bool screen_taken_ = false;
  bool monitors_changed_ = false;
  Clock::time_point next_restore_{};
  Clock::time_point next_monitor_look_{};
  bool looks_unasked_ = true;  // the monitors are looked at unasked (not while every one is dark)
};

}  // namespace larkspill

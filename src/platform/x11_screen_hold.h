#pragma once

#include <chrono>
#include <memory>
#include <vector>

typedef struct _XDisplay Display;
typedef union _XEvent XEvent;

namespace larkspill {

// Holds the screen for the full-screen saver on X11: its windows (one per monitor) stay above
// every other window, and the keyboard and pointer are grabbed for them, so every key, button and
// pointer move reaches the saver wherever another program put the focus.
//
// It has an X connection of its own: the grabs belong to it, so SDL, which lets go of its own
// grabs whenever its window loses the focus, cannot drop them, and the input they bring is read
// here. The windows are override-redirect, so no window manager stacks, moves or focuses them; a
// window mapped or restacked later by anyone is answered by raising the saver's again.
class X11ScreenHold {
 public:
  using Clock = std::chrono::steady_clock;
  // Grabs another client holds are tried again this often.
  static constexpr auto kGrabRetry = std::chrono::milliseconds(100);
  // Raising answers another window's change at once, then at most this often, so two programs
  // that both want to be on top take turns instead of flooding the X server.
  static constexpr auto kRaiseSpacing = std::chrono::milliseconds(100);

  // What the grabs brought.
  struct Input {
    enum Kind { kKey, kButton, kWheel, kPointer } kind;
    int x = 0;  // kPointer: where the pointer is on the desktop
    int y = 0;
  };

  // Holds the screen for `windows` (SDL's, on the display SDL uses); null when no connection of
  // its own can be opened.
  static std::unique_ptr<X11ScreenHold> Take(const std::vector<unsigned long>& windows);
  // Gives the keyboard and the pointer back.
  ~X11ScreenHold();
  X11ScreenHold(const X11ScreenHold&) = delete;
  X11ScreenHold& operator=(const X11ScreenHold&) = delete;

  // Reads what the X server told since the last call, adding the input to `input`; then raises
  // the windows, maps them again and retries the grabs, as far as is due by `now`.
  void Pump(std::vector<Input>& input, Clock::time_point now);

  // Whether another client destroyed one of the saver's windows.
  bool WindowGone() const { return window_gone_; }

 private:
  X11ScreenHold(Display* display, std::vector<unsigned long> windows);
  bool Own(unsigned long window) const;
  void Notice(const XEvent& event, std::vector<Input>& input);
  void TryGrabs();

  Display* display_;
  std::vector<unsigned long> windows_;
  bool keyboard_held_ = false;
  bool pointer_held_ = false;
  bool raise_wanted_ = true;
  bool map_wanted_ = false;
  bool window_gone_ = false;
  Clock::time_point next_grab_{};
  Clock::time_point next_raise_{};
};

}  // namespace larkspill

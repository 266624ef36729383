#pragma once

#include <functional>

typedef struct _XDisplay Display;

namespace larkspill {

// Xlib's handlers for the whole program, and the only ones: Xlib's own end the program with
// status 1 on the first refused request or lost connection; ours follow the program's exit
// statuses instead. They are installed first thing in main, so they hold for every X connection,
// ours and SDL's alike (SDL's own handler passes errors on to the one it found). A request that
// may fail goes in an XErrorTrap; a window whose loss ends the program is watched.
void InstallXErrorHandlers();

// What must happen before the program ends because the X connection was lost: the sounds
// stopped. It runs inside Xlib's handler; the program then says so and ends with
// kExitDisplayLost. Null clears it.
void SetXConnectionLostAction(std::function<void()> action);

// The one line the program says when the display went away, in every mode.
void SayDisplayLost();

// The program has ended its mode with `status` and closes its X connections: a server found gone
// now changes neither the status nor what was said.
void ClosingDownWith(int status);

// The windows whose loss ends the program: the saver's own, the host's window it draws into, the
// preview pane and the preview in it. Once another client destroys one, every request about it is
// refused: noted here, never fatal, and seen by the mode as the end of its session.
void WatchOwnXWindow(unsigned long window);
// After the windows are gone for good: errors about them no longer count.
void ForgetOwnXWindows();
// Whether a request about one of the watched windows was refused.
bool OwnXWindowFailed();

// While one lives, requests on `display` that the server refuses are expected (a window another
// client unmapped or destroyed a moment ago): noted, never fatal, never said.
class XErrorTrap {
 public:
  explicit XErrorTrap(Display* display);
  ~XErrorTrap();
  XErrorTrap(const XErrorTrap&) = delete;
  XErrorTrap& operator=(const XErrorTrap&) = delete;
  // Whether a request made so far was refused; waits for the server's answers.
  bool Caught();

 private:
  Display* display_;
  Display* outer_;
};

}  // namespace larkspill

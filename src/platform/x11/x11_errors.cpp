#include "platform/x11/x11_errors.h"

#include <X11/Xlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "scene/exit_status.h"

namespace larkspill {
namespace {

// Xlib's handlers are process-wide, and so is what they look at. Only the main thread makes X
// requests.
std::function<void()> g_connection_lost_action;
pid_t g_action_owner = 0;  // the process that set the action: not a forked child (SDL's message box)
std::vector<unsigned long> g_own_windows;
bool g_own_window_failed = false;
bool g_other_error_told = false;
int g_closing_status = -1;
Display* g_trapped_display = nullptr;
bool g_trap_caught = false;

int OnXError(Display* display, XErrorEvent* error) {
  if (display == g_trapped_display) {
    g_trap_caught = true;
    return 0;
  }
  if (std::find(g_own_windows.begin(), g_own_windows.end(), error->resourceid) !=
      g_own_windows.end()) {
    g_own_window_failed = true;
    return 0;
  }
  // Nothing the saver needs; once told, further refusals go unsaid.
  if (!g_other_error_told) {
    g_other_error_told = true;
    std::fprintf(stderr, "larkspill: the X server refused request %d (error %d); going on\n",
                 error->request_code, error->error_code);
  }
  return 0;
}

// Xlib gives no way back from a lost connection: this handler must not return.
[[noreturn]] int OnXConnectionLost(Display*) {
  if (g_closing_status >= 0) std::_Exit(g_closing_status);
  // A forked child holds copies of locks other threads held at the fork: running the action
  // there could wait forever, leaving the child behind on a dead display.
  if (g_connection_lost_action && getpid() == g_action_owner) g_connection_lost_action();
  SayDisplayLost();
  std::_Exit(kExitDisplayLost);
}

}  // namespace

void InstallXErrorHandlers() {
  XSetErrorHandler(OnXError);
  XSetIOErrorHandler(OnXConnectionLost);
}

void SetXConnectionLostAction(std::function<void()> action) {
  g_connection_lost_action = std::move(action);
  g_action_owner = getpid();
}

void SayDisplayLost() {
  std::fprintf(stderr, "larkspill: the X display went away\n");
}

void ClosingDownWith(int status) {
  g_closing_status = status;
}

void WatchOwnXWindow(unsigned long window) {
  if (g_own_windows.empty()) g_own_window_failed = false;
  g_own_windows.push_back(window);
}

void ForgetOwnXWindows() {
  g_own_windows.clear();
  g_own_window_failed = false;
}

bool OwnXWindowFailed() {
  return g_own_window_failed;
}

XErrorTrap::XErrorTrap(Display* display) : display_(display), outer_(g_trapped_display) {
  XSync(display_, False);  // earlier requests' errors are not this trap's
  g_trapped_display = display_;
  g_trap_caught = false;
}

XErrorTrap::~XErrorTrap() {
  XSync(display_, False);
  g_trapped_display = outer_;
}

bool XErrorTrap::Caught() {
  XSync(display_, False);
  return g_trap_caught;
}

}  // namespace larkspill

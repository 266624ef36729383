#pragma once

#include <functional>

#include "platform/system/instance_lock.h"
#include "scene/window_system.h"

typedef struct _XDisplay Display;

namespace larkspill {

// The window system on X11. Without an X display it still answers: no windows to find, an
// 800 x 600 desktop, the monitor on.
class X11WindowSystem : public WindowSystem {
 public:
  explicit X11WindowSystem(InstanceLock& lock);
  ~X11WindowSystem() override;
  X11WindowSystem(const X11WindowSystem&) = delete;
  X11WindowSystem& operator=(const X11WindowSystem&) = delete;

  bool FindWindowByTitle(const std::string& title) override;
  Rect DesktopRect() override;
  void ShowCursor(bool show) override;
  void SetScreenSaverRunning(bool running) override;
  bool MonitorPoweredOff() override;
  bool PreviousInstanceRunning() override;

  // Where the cursor's visibility goes: the display that owns the pointer over the saver.
  void SetCursorHandler(std::function<void(bool)> handler);

 private:
  Display* Connection();

  InstanceLock& lock_;
  Display* display_ = nullptr;
  bool tried_ = false;
  bool cursor_visible_ = true;
  std::function<void(bool)> cursor_handler_;
};

}  // namespace larkspill

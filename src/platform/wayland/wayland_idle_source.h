#pragma once

#include <memory>

#include "platform/system/idle_source.h"

struct wl_display;

namespace larkspill {

// The compositor's own idle notice, for one stretch: ext-idle-notify-v1 where it is offered
// (wlroots compositors, KWin), else KDE's older org_kde_kwin_idle (sway 1.7). Compositors honour
// idle inhibitors (a player's, a browser's full-screen video) in it themselves.
class WaylandIdleSource : public IdleSource {
 public:
  // nullptr without a Wayland display or without either protocol.
  static std::unique_ptr<WaylandIdleSource> Open(std::chrono::milliseconds stretch);
  ~WaylandIdleSource() override;

  std::optional<std::chrono::milliseconds> IdleTime() override;
  int Fd() const override;
  void Dispatch() override;
  bool Lost() const override;
  const char* Name() const override { return "the compositor's idle notice"; }

  struct Parts;  // the protocol objects

 private:
  WaylandIdleSource(std::unique_ptr<Parts> parts, std::chrono::milliseconds stretch);
  std::unique_ptr<Parts> parts_;
  std::chrono::milliseconds stretch_;
};

}  // namespace larkspill

#pragma once

#include <memory>

#include "platform/system/idle_source.h"

typedef struct sd_bus sd_bus;

namespace larkspill {

// GNOME's idle time, from mutter's idle monitor on the session bus: on GNOME neither the X
// screen-saver extension (Xwayland sees only its own clients' input) nor the Wayland idle
// protocols tell it.
class MutterIdleSource : public IdleSource {
 public:
  // nullptr when mutter's idle monitor is not on the session bus.
  static std::unique_ptr<MutterIdleSource> Open();
  ~MutterIdleSource() override;

  std::optional<std::chrono::milliseconds> IdleTime() override;
  const char* Name() const override { return "GNOME's idle monitor"; }

 private:
  explicit MutterIdleSource(sd_bus* bus) : bus_(bus) {}
  sd_bus* bus_;
};

}  // namespace larkspill

#pragma once

#include <chrono>
#include <optional>

namespace larkspill {

// How long the desktop has seen no keyboard or pointer input, as the desktop itself measures it.
// One implementation a kind of desktop: the X screen-saver extension, the Wayland idle
// notifications, GNOME's idle monitor.
class IdleSource {
 public:
  virtual ~IdleSource() = default;
  // The time without input so far; nullopt when the desktop cannot say just now. A source that
  // only hears "idle" and "active" answers the stretch it was made with, or zero.
  virtual std::optional<std::chrono::milliseconds> IdleTime() = 0;
  // A descriptor that turns readable when the source has news to read (-1: none; it is asked).
  virtual int Fd() const { return -1; }
  // Reads what arrived on Fd(), without blocking.
  virtual void Dispatch() {}
  // True once the desktop went away for good: the session is over.
  virtual bool Lost() const { return false; }
  // Its name in messages: "the X screen-saver extension".
  virtual const char* Name() const = 0;
};

}  // namespace larkspill

#pragma once

#include <memory>

#include "platform/system/idle_source.h"

typedef struct _XDisplay Display;

namespace larkspill {

// The X server's own idle time, from the screen-saver extension: what xset's time-outs and the
// X idle lockers count.
class X11IdleSource : public IdleSource {
 public:
  // nullptr when there is no X display or it lacks the extension.
  static std::unique_ptr<X11IdleSource> Open();
  ~X11IdleSource() override;

  std::optional<std::chrono::milliseconds> IdleTime() override;
  const char* Name() const override { return "the X screen-saver extension"; }

 private:
  explicit X11IdleSource(Display* display) : display_(display) {}
  Display* display_;
};

}  // namespace larkspill

#include "startup/fps_overlay.h"

#include <cstdio>

#include "scene/tick_counts.h"

namespace larkspill {

void FpsOverlay::AddTo(SceneFrame& frame) {
  const uint32_t now = clock_.TickCount();
  if (!started_) {
    started_ = true;
    second_start_ = now;
  }
  const uint32_t elapsed = TicksSince(second_start_, now);
  if (elapsed >= 1000) {
    char text[32];
    std::snprintf(text, sizeof text, "FPS: %.1f", frames_ * 1000.0 / elapsed);
    text_ = text;
    second_start_ = now;
    frames_ = 0;
  }
  ++frames_;
  if (!text_.empty()) frame.Text(text_, kFont, kFontSize, kWhite, kX, kY);
}

}  // namespace larkspill

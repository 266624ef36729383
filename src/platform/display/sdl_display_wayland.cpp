// The display on Wayland: the frame shown on the compositor's outputs in place of SDL's windows.
#include <cstdio>

#include "platform/display/sdl_display.h"
#include "platform/wayland/wayland_presenter.h"
#include "platform/wayland/wayland_screens.h"

namespace larkspill {

void SdlDisplay::UseWayland(std::unique_ptr<WaylandScreens> screens) {
  wayland_ = std::move(screens);
}

bool SdlDisplay::SurelyShown() const {
  return !wayland_ || wayland_->Shown();
}

// On a Wayland compositor: the frame composed in memory and shown on an overlay surface of every
// output; no SDL video at all.
bool SdlDisplay::OpenOnWayland() {
  texts_.Prepare();
  if (!wayland_->Open()) {
    Close();
    return false;
  }
  MakeFrameForScreen();
  if (composer_->frame() == nullptr || composer_->frame_surface() == nullptr || !texts_.Start()) {
    std::fprintf(stderr, "larkspill: cannot open the display: %s\n",
                 composer_->frame() == nullptr ? "frame" : "fonts");
    Close();
    return false;
  }
  FollowWaylandOutputs();
  pacer_.Start(wayland_->RefreshRate());
  open_ = true;
  PlanPaintedPictures();
  if (trace_) trace_->OpenEnds();
  return true;
}

// A screen for every output there is now; each is sent whole.
void SdlDisplay::FollowWaylandOutputs() {
  screens_.clear();
  wayland_->ForgetGoneOutputs();
  for (auto& output : wayland_->outputs()) {
    Screen& screen = screens_.emplace_back();
    screen.presenter = std::make_unique<WaylandPresenter>(*wayland_, *output);
  }
}

}  // namespace larkspill

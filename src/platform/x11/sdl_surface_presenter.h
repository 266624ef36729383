#pragma once

#include <SDL.h>

#include <vector>

#include "platform/frame/presenter.h"

namespace larkspill {

// Shows the frame through SDL's window surface: any window system SDL drives, any pixel format
// pixman can write (the frame is converted on the way).
class SdlSurfacePresenter : public Presenter {
 public:
  explicit SdlSurfacePresenter(SDL_Window* window) : window_(window) {}

  bool Size(int* w, int* h, bool* renewed) override;
  void Show(const ScaledView& view, const FrameComposer& frame, const Region& boxes,
            bool whole) override;

 private:
  SDL_Window* window_;
  SDL_Surface* surface_ = nullptr;  // the window's pixels as last seen; owned by SDL
  int surface_w_ = 0;
  int surface_h_ = 0;
  std::vector<SDL_Rect> rects_;  // scratch: the rectangles one Show updates
};

}  // namespace larkspill

#pragma once

#include "platform/frame/frame_composer.h"
#include "platform/frame/scaled_view.h"

namespace larkspill {

// How the composed frame reaches one window. The display asks for the window's size each frame,
// places the view on it, and hands over the window boxes that must show something new.
class Presenter {
 public:
  virtual ~Presenter() = default;

  // The window's size in pixels now, false when it has none to show. `renewed` is set when the
  // window's pixels are new (and so must all be sent again).
  virtual bool Size(int* w, int* h, bool* renewed) = 0;
  // The part of the w x h window that can be seen (inside the screen); nothing outside it is
  // painted. The whole window where that is not known.
  virtual pixman_box32_t Visible(int w, int h) { return {0, 0, w, h}; }
  // Shows the window's `boxes` as `view` paints them from `frame`; with `whole`, the window
  // outside the view goes black first.
  virtual void Show(const ScaledView& view, const FrameComposer& frame, const Region& boxes,
                    bool whole) = 0;
};

}  // namespace larkspill

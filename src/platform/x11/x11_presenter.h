#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/frame/presenter.h"
#include "platform/x11/x11_event_routes.h"
#include "platform/x11/x11_shared_image.h"

struct _XDisplay;  // Xlib's Display
struct _XGC;       // Xlib's GC
struct _XImage;    // Xlib's XImage
union _XEvent;     // Xlib's XEvent

namespace larkspill {

// Shows the frame on an X window on SDL's own X connection, when the window keeps pixels as the
// frame does (32 bits, 8 bits a colour): exact parts straight from the frame (from shared memory
// when there is some); scaled parts painted into a strip of shared memory and put from there
// (a band buffer sent through the connection where memory cannot be shared). No copy of the
// window's pixels is kept here.
class X11Presenter : public Presenter {
 public:
  // Null where the window is not on X11 or keeps pixels in another way. The server's word about
  // the presenter's own shared memory comes through `routes` while it lives.
  static std::unique_ptr<X11Presenter> For(SDL_Window* window, const FrameComposer& frame,
                                           X11SharedImage* shared, XEventRoutes& routes);
  ~X11Presenter() override;

  bool Size(int* w, int* h, bool* renewed) override;
  pixman_box32_t Visible(int w, int h) override;
  void Show(const ScaledView& view, const FrameComposer& frame, const Region& boxes,
            bool whole) override;

  // The strip of shared memory scaled parts go through holds at most this many pixels.
  static constexpr int kStripPixels = 1 << 20;

 private:
  X11Presenter() = default;
  bool TakeEvent(const _XEvent& event);
  void PutScaled(const ScaledView& view, const FrameComposer& frame, const pixman_box32_t& box);
  void SendBand(const ScaledView& view, const FrameComposer& frame, const pixman_box32_t& band);
  void DropStrip();

  SDL_Window* window_ = nullptr;
  XEventRoutes* routes_ = nullptr;
  _XDisplay* display_ = nullptr;
  unsigned long x_window_ = 0;
  _XGC* gc_ = nullptr;
  _XImage* frame_image_ = nullptr;         // the frame's pixels as an X image
  X11SharedImage* shared_ = nullptr;       // the frame, when shared with the server
  std::unique_ptr<X11SharedImage> strip_;  // scaled parts, when memory can be shared
  pixman_image_t* strip_image_ = nullptr;  // the strip's pixels for pixman
  SdlSurfacePtr strip_surface_;            // and for SDL, where texts are blended
  int strip_row_ = 0;                      // the strip's first row not yet used
  bool strip_tried_ = false;
  std::vector<uint32_t> band_;  // a scaled band on its way through the connection
};

}  // namespace larkspill

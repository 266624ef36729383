#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/presenter.h"

struct _XDisplay;  // Xlib's Display
struct _XGC;       // Xlib's GC
struct _XImage;    // Xlib's XImage
union _XEvent;     // Xlib's XEvent

namespace larkspill {

// The frame in memory shared with the X server (MIT-SHM), so that showing a part of it unscaled
// is a short request and no copy. The server reads the memory when it handles the request: the
// next frame is not composed before it has said so.
class X11SharedFrame {
 public:
  // Null where SDL's window is not on X11, the server is on another machine or keeps pixels in
  // another format than the frame's 32-bit xRGB.
  static std::unique_ptr<X11SharedFrame> Create(SDL_Window* window, int width, int height);
  ~X11SharedFrame();
  X11SharedFrame(const X11SharedFrame&) = delete;
  X11SharedFrame& operator=(const X11SharedFrame&) = delete;

  uint32_t* pixels() const;
  int stride() const;
  // Waits, where the server has not already said so, until it has read the frame it was last
  // asked to show.
  void WaitForReading();
  // Takes the server's word that it has read the frame; false for any other event.
  bool OnEvent(const _XEvent& event);

 private:
  friend class X11Presenter;
  X11SharedFrame() = default;
  struct Segment;
  std::unique_ptr<Segment> segment_;
  _XDisplay* display_ = nullptr;
  _XImage* image_ = nullptr;
  int completion_type_ = 0;
  bool reading_ = false;  // a request that reads the frame is sent and not yet answered
};

// Shows the frame on an X window on SDL's own X connection, when the window keeps pixels as the
// frame does (32 bits, 8 bits a colour): exact parts straight from the frame (from shared memory
// when there is some), scaled parts in bands, with no copy of the window's pixels kept here and
// no wait for the server.
class X11Presenter : public Presenter {
 public:
  // Null where the window is not on X11 or keeps pixels in another way.
  static std::unique_ptr<X11Presenter> For(SDL_Window* window, const FrameComposer& frame,
                                           X11SharedFrame* shared);
  ~X11Presenter() override;

  bool Size(int* w, int* h, bool* renewed) override;
  void Show(const ScaledView& view, const FrameComposer& frame, const Region& boxes,
            bool whole) override;

 private:
  X11Presenter() = default;
  void PutScaled(const ScaledView& view, const FrameComposer& frame, const pixman_box32_t& box);

  SDL_Window* window_ = nullptr;
  _XDisplay* display_ = nullptr;
  unsigned long x_window_ = 0;
  _XGC* gc_ = nullptr;
  _XImage* frame_image_ = nullptr;  // the frame's pixels as an X image
  X11SharedFrame* shared_ = nullptr;
  std::vector<uint32_t> band_;  // a scaled band on its way to the window
};

}  // namespace larkspill

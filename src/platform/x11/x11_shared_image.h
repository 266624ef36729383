#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>

struct _XDisplay;  // Xlib's Display
struct _XGC;       // Xlib's GC
struct _XImage;    // Xlib's XImage
union _XEvent;     // Xlib's XEvent

namespace larkspill {

// An image in memory shared with the X server (MIT-SHM): putting a part of it on a window is a
// short request and no copy through the connection. The server reads the memory when it handles
// the request, so the image is not written again before the server has said it has read it.
class X11SharedImage {
 public:
  // A w x h image of 32-bit pixels as `window` keeps them; null where SDL's window is not on
  // X11, the server is on another machine or keeps pixels otherwise than 8 bits a colour.
  static std::unique_ptr<X11SharedImage> ForWindow(SDL_Window* window, int w, int h);
  ~X11SharedImage();
  X11SharedImage(const X11SharedImage&) = delete;
  X11SharedImage& operator=(const X11SharedImage&) = delete;

  uint32_t* pixels() const;
  int stride() const;
  int width() const;
  int height() const;
  // Puts the w x h part at (x, y) of the image at (to_x, to_y) of `window`; with `tell`, asks
  // for the server's word when it has read it (and what was put before).
  void Put(unsigned long window, _XGC* gc, int x, int y, int to_x, int to_y, int w, int h,
           bool tell);
  // Waits, where the server has not already said so, until it has read everything it was
  // asked to put.
  void WaitForReading();
  // Takes the server's word that it has read this image; false for any other event.
  bool OnEvent(const _XEvent& event);

 private:
  X11SharedImage() = default;
  struct Segment;
  std::unique_ptr<Segment> segment_;
  _XDisplay* display_ = nullptr;
  _XImage* image_ = nullptr;
  int completion_type_ = 0;
  int told_ = 0;         // requests sent that will say when they are read, not yet answered
  bool untold_ = false;  // a request sent after them that will not say
};

}  // namespace larkspill

#include "platform/x11/x11_presenter.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <string_view>

namespace larkspill {
namespace {

// SDL's X connection and the window, where the window is on X11.
bool X11Parts(SDL_Window* window, Display** display, Window* x_window) {
  if (std::string_view(SDL_GetCurrentVideoDriver()) != "x11") return false;
  SDL_SysWMinfo wm;
  SDL_VERSION(&wm.version);
  if (!SDL_GetWindowWMInfo(window, &wm) || wm.subsystem != SDL_SYSWM_X11) return false;
  *display = wm.info.x11.display;
  *x_window = wm.info.x11.window;
  return true;
}

// Whether the window's visual keeps pixels as the frame does: 8 bits each of red, green, blue.
bool FrameLikeVisual(const XWindowAttributes& attributes) {
  return attributes.visual != nullptr && attributes.visual->red_mask == 0xFF0000 &&
         attributes.visual->green_mask == 0xFF00 && attributes.visual->blue_mask == 0xFF;
}

// The pixels are in this machine's own order; Xlib turns them round for a server of the other.
constexpr int kOwnByteOrder = SDL_BYTEORDER == SDL_LIL_ENDIAN ? LSBFirst : MSBFirst;

// Notes an X error instead of ending the program, while a request that may fail is tried.
bool g_x_request_failed = false;
int NoteXError(Display*, XErrorEvent*) {
  g_x_request_failed = true;
  return 0;
}

}  // namespace

struct X11SharedImage::Segment {
  XShmSegmentInfo info{};
};

std::unique_ptr<X11SharedImage> X11SharedImage::ForWindow(SDL_Window* window, int w, int h) {
  Display* display = nullptr;
  Window x_window = 0;
  XWindowAttributes attributes{};
  if (!X11Parts(window, &display, &x_window) || !XShmQueryExtension(display) ||
      XGetWindowAttributes(display, x_window, &attributes) == 0 ||
      !FrameLikeVisual(attributes)) {
    return nullptr;
  }
  std::unique_ptr<X11SharedImage> shared(new X11SharedImage);
  shared->segment_ = std::make_unique<Segment>();
  XShmSegmentInfo& segment = shared->segment_->info;
  XImage* image = XShmCreateImage(display, attributes.visual, attributes.depth, ZPixmap, nullptr,
                                  &segment, w, h);
  if (image == nullptr) return nullptr;
  if (image->bits_per_pixel != 32 || image->bytes_per_line != w * 4) {
    XDestroyImage(image);
    return nullptr;
  }
  segment.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(image->bytes_per_line) * image->height,
                         IPC_CREAT | 0600);
  if (segment.shmid < 0) {
    XDestroyImage(image);
    return nullptr;
  }
  segment.shmaddr = static_cast<char*>(shmat(segment.shmid, nullptr, 0));
  segment.readOnly = True;
  bool attached = false;
  if (segment.shmaddr != reinterpret_cast<char*>(-1)) {
    // A server on another machine cannot attach: that is an X error to note, not to die of.
    XSync(display, False);
    g_x_request_failed = false;
    XErrorHandler previous = XSetErrorHandler(NoteXError);
    attached = XShmAttach(display, &segment) != 0;
    XSync(display, False);
    XSetErrorHandler(previous);
    attached = attached && !g_x_request_failed;
  }
  // The segment goes when both sides let go of it, even if this process is killed.
  shmctl(segment.shmid, IPC_RMID, nullptr);
  if (!attached) {
    if (segment.shmaddr != reinterpret_cast<char*>(-1)) shmdt(segment.shmaddr);
    XDestroyImage(image);
    return nullptr;
  }
  image->data = segment.shmaddr;
  image->byte_order = kOwnByteOrder;
  shared->display_ = display;
  shared->image_ = image;
  shared->completion_type_ = XShmGetEventBase(display) + ShmCompletion;
  // The server's word that it has read the image comes among the window-system events.
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
  return shared;
}

X11SharedImage::~X11SharedImage() {
  if (image_ == nullptr) return;
  XShmDetach(display_, &segment_->info);
  XSync(display_, False);
  image_->data = nullptr;
  XDestroyImage(image_);
  shmdt(segment_->info.shmaddr);
}

uint32_t* X11SharedImage::pixels() const {
  return reinterpret_cast<uint32_t*>(image_->data);
}

int X11SharedImage::stride() const {
  return image_->bytes_per_line;
}

int X11SharedImage::width() const {
  return image_->width;
}

int X11SharedImage::height() const {
  return image_->height;
}

void X11SharedImage::Put(unsigned long window, _XGC* gc, int x, int y, int to_x, int to_y, int w,
                         int h, bool tell) {
  XShmPutImage(display_, window, gc, image_, x, y, to_x, to_y, static_cast<unsigned>(w),
               static_cast<unsigned>(h), tell);
  // The server handles requests in order: its word on a later request covers the earlier ones.
  if (tell) {
    ++told_;
    untold_ = false;
  } else {
    untold_ = true;
  }
}

void X11SharedImage::WaitForReading() {
  const auto ours = [](Display*, XEvent* event, XPointer self) -> Bool {
    return static_cast<X11SharedImage*>(reinterpret_cast<void*>(self))->OnEvent(*event);
  };
  XEvent done;
  while (told_ > 0 && XCheckIfEvent(display_, &done, ours, reinterpret_cast<XPointer>(this))) {
  }
  if (told_ > 0 || untold_) {
    XSync(display_, False);  // answered: every earlier request has been handled
    while (XCheckIfEvent(display_, &done, ours, reinterpret_cast<XPointer>(this))) {
    }
    told_ = 0;
    untold_ = false;
  }
}

bool X11SharedImage::OnEvent(const XEvent& event) {
  if (event.type != completion_type_ ||
      reinterpret_cast<const XShmCompletionEvent&>(event).shmseg != segment_->info.shmseg) {
    return false;
  }
  if (told_ > 0) --told_;
  return true;
}

std::unique_ptr<X11Presenter> X11Presenter::For(SDL_Window* window, const FrameComposer& frame,
                                                X11SharedImage* shared) {
  Display* display = nullptr;
  Window x_window = 0;
  XWindowAttributes attributes{};
  if (!X11Parts(window, &display, &x_window) ||
      XGetWindowAttributes(display, x_window, &attributes) == 0 ||
      !FrameLikeVisual(attributes) || (attributes.depth != 24 && attributes.depth != 32)) {
    return nullptr;
  }
  int count = 0;
  int bits = 0;
  if (XPixmapFormatValues* formats = XListPixmapFormats(display, &count)) {
    for (int i = 0; i < count; ++i) {
      if (formats[i].depth == attributes.depth) bits = formats[i].bits_per_pixel;
    }
    XFree(formats);
  }
  if (bits != 32) return nullptr;
  SDL_Surface* pixels = frame.frame_surface();
  XImage* image =
      XCreateImage(display, attributes.visual, attributes.depth, ZPixmap, 0,
                   static_cast<char*>(pixels->pixels), pixels->w, pixels->h, 32, pixels->pitch);
  if (image == nullptr) return nullptr;
  image->byte_order = kOwnByteOrder;
  std::unique_ptr<X11Presenter> presenter(new X11Presenter);
  presenter->window_ = window;
  presenter->display_ = display;
  presenter->x_window_ = x_window;
  presenter->gc_ = XCreateGC(display, x_window, 0, nullptr);
  presenter->frame_image_ = image;
  presenter->shared_ = shared;
  return presenter;
}

X11Presenter::~X11Presenter() {
  DropStrip();
  frame_image_->data = nullptr;  // the frame's pixels, not Xlib's to free
  XDestroyImage(frame_image_);
  XFreeGC(display_, gc_);
}

bool X11Presenter::Size(int* w, int* h, bool* renewed) {
  SDL_GetWindowSize(window_, w, h);
  *renewed = false;  // the window keeps its pixels; a new size or exposure is told otherwise
  return *w > 0 && *h > 0;
}

void X11Presenter::Show(const ScaledView& view, const FrameComposer& frame, const Region& boxes,
                        bool whole) {
  if (whole) {
    // Black bars beside or above and below the view.
    int w = 0;
    int h = 0;
    SDL_GetWindowSize(window_, &w, &h);
    const pixman_box32_t v = view.view_box();
    XSetForeground(display_, gc_, 0);
    const XRectangle bars[] = {
        {0, 0, static_cast<unsigned short>(v.x1), static_cast<unsigned short>(h)},
        {static_cast<short>(v.x2), 0, static_cast<unsigned short>(w - v.x2),
         static_cast<unsigned short>(h)},
        {0, 0, static_cast<unsigned short>(w), static_cast<unsigned short>(v.y1)},
        {0, static_cast<short>(v.y2), static_cast<unsigned short>(w),
         static_cast<unsigned short>(h - v.y2)}};
    for (const XRectangle& bar : bars) {
      if (bar.width > 0 && bar.height > 0) {
        XFillRectangle(display_, x_window_, gc_, bar.x, bar.y, bar.width, bar.height);
      }
    }
  }
  const auto all = boxes.Boxes();
  for (size_t i = 0; i < all.size(); ++i) {
    const pixman_box32_t& box = all[i];
    if (!view.exact()) {
      PutScaled(view, frame, box);
      continue;
    }
    const int x = box.x1 - view.place().x;
    const int y = box.y1 - view.place().y;
    const auto w = static_cast<unsigned>(box.x2 - box.x1);
    const auto h = static_cast<unsigned>(box.y2 - box.y1);
    if (shared_ != nullptr) {
      // The last part asks for the server's word that it has read the frame.
      shared_->Put(x_window_, gc_, x, y, box.x1, box.y1, static_cast<int>(w), static_cast<int>(h),
                   i + 1 == all.size());
    } else {
      XPutImage(display_, x_window_, gc_, frame_image_, x, y, box.x1, box.y1, w, h);
    }
  }
  XFlush(display_);
}

bool X11Presenter::TakeEvent(const XEvent& event) {
  return strip_ && strip_->OnEvent(event);
}

// Scaled parts are painted into the strip, one below the other at their own columns, and put
// from there; once the strip is full the server must have read it before it is painted again.
// A part taller than the strip goes in bands.
void X11Presenter::PutScaled(const ScaledView& view, const FrameComposer& frame,
                             const pixman_box32_t& box) {
  const int view_w = view.place().w;
  if (!strip_tried_ || (strip_ && strip_->width() != view_w)) {
    strip_tried_ = true;
    DropStrip();
    const int rows = std::clamp(kStripPixels / std::max(view_w, 1), 1, view.place().h);
    strip_ = X11SharedImage::ForWindow(window_, view_w, rows);
    if (strip_) {
      strip_image_ = pixman_image_create_bits(PIXMAN_x8r8g8b8, strip_->width(), strip_->height(),
                                              strip_->pixels(), strip_->stride());
      strip_surface_.reset(SDL_CreateRGBSurfaceWithFormatFrom(strip_->pixels(), strip_->width(),
                                                              strip_->height(), 32,
                                                              strip_->stride(),
                                                              SDL_PIXELFORMAT_RGB888));
      if (strip_image_ == nullptr || !strip_surface_) DropStrip();
    }
    strip_row_ = 0;
  }
  const int band_rows = strip_ ? strip_->height() : std::max(1, 65536 / (box.x2 - box.x1));
  for (int top = box.y1; top < box.y2; top += band_rows) {
    SendBand(view, frame, {box.x1, top, box.x2, std::min(box.y2, top + band_rows)});
  }
}

void X11Presenter::DropStrip() {
  if (strip_image_ != nullptr) pixman_image_unref(strip_image_);
  strip_image_ = nullptr;
  strip_surface_.reset();
  strip_.reset();
}

void X11Presenter::SendBand(const ScaledView& view, const FrameComposer& frame,
                            const pixman_box32_t& band) {
  const int w = band.x2 - band.x1;
  const int rows = band.y2 - band.y1;
  if (strip_) {
    if (strip_row_ + rows > strip_->height()) {
      strip_->WaitForReading();
      strip_row_ = 0;
    }
    const int left = view.place().x;
    view.Paint(frame.frame(), frame.scene(), band, strip_image_, strip_surface_.get(), left,
               band.y1 - strip_row_);
    strip_->Put(x_window_, gc_, band.x1 - left, strip_row_, band.x1, band.y1, w, rows, false);
    strip_row_ += rows;
    return;
  }
  band_.resize(static_cast<size_t>(w) * rows);
  pixman_image_t* target = pixman_image_create_bits(PIXMAN_x8r8g8b8, w, rows, band_.data(), w * 4);
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(band_.data(), w, rows, 32, w * 4,
                                                            SDL_PIXELFORMAT_RGB888);
  if (target != nullptr && surface != nullptr) {
    view.Paint(frame.frame(), frame.scene(), band, target, surface, band.x1, band.y1);
    XImage* image = XCreateImage(display_, nullptr, frame_image_->depth, ZPixmap, 0,
                                 reinterpret_cast<char*>(band_.data()), w, rows, 32, w * 4);
    if (image != nullptr) {
      image->byte_order = frame_image_->byte_order;
      image->red_mask = frame_image_->red_mask;
      image->green_mask = frame_image_->green_mask;
      image->blue_mask = frame_image_->blue_mask;
      XPutImage(display_, x_window_, gc_, image, 0, 0, band.x1, band.y1, static_cast<unsigned>(w),
                static_cast<unsigned>(rows));
      image->data = nullptr;  // ours, not Xlib's to free
      XDestroyImage(image);
    }
  }
  if (surface != nullptr) SDL_FreeSurface(surface);
  if (target != nullptr) pixman_image_unref(target);
}

}  // namespace larkspill

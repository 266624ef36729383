#include "platform/x11/x11_presenter.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>

#include "platform/x11/x11_window_parts.h"

namespace larkspill {

std::unique_ptr<X11Presenter> X11Presenter::For(SDL_Window* window, const FrameComposer& frame,
                                                X11SharedImage* shared, XEventRoutes& routes) {
  Display* display = nullptr;
  Window x_window = 0;
  XWindowAttributes attributes{};
  if (!X11Parts(window, &display, &x_window) ||
      XGetWindowAttributes(display, x_window, &attributes) == 0 || !FrameLikeVisual(attributes) ||
      (attributes.depth != 24 && attributes.depth != 32)) {
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
  presenter->routes_ = &routes;
  routes.Add(presenter.get(),
             [p = presenter.get()](const XEvent& event) { return p->TakeEvent(event); });
  return presenter;
}

X11Presenter::~X11Presenter() {
  routes_->Remove(this);
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

// A host's window may be far larger than the screen, or partly off it; only the part inside the
// root window shows.
pixman_box32_t X11Presenter::Visible(int w, int h) {
  const Window root = DefaultRootWindow(display_);
  Window child = 0, ignored = 0;
  int x = 0, y = 0, root_x = 0, root_y = 0;
  unsigned root_w = 0, root_h = 0, border = 0, depth = 0;
  if (!XTranslateCoordinates(display_, x_window_, root, 0, 0, &x, &y, &child) ||
      !XGetGeometry(display_, root, &ignored, &root_x, &root_y, &root_w, &root_h, &border,
                    &depth)) {
    return {0, 0, w, h};
  }
  return {std::clamp(-x, 0, w), std::clamp(-y, 0, h),
          std::clamp(static_cast<int>(root_w) - x, 0, w),
          std::clamp(static_cast<int>(root_h) - y, 0, h)};
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
      strip_surface_.reset(
          SDL_CreateRGBSurfaceWithFormatFrom(strip_->pixels(), strip_->width(), strip_->height(),
                                             32, strip_->stride(), SDL_PIXELFORMAT_RGB888));
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
  SDL_Surface* surface =
      SDL_CreateRGBSurfaceWithFormatFrom(band_.data(), w, rows, 32, w * 4, SDL_PIXELFORMAT_RGB888);
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

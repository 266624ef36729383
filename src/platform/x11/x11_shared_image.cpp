#include "platform/x11/x11_shared_image.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include "platform/x11/x11_errors.h"
#include "platform/x11/x11_window_parts.h"

namespace larkspill {

struct X11SharedImage::Segment {
  XShmSegmentInfo info{};
};

std::unique_ptr<X11SharedImage> X11SharedImage::ForWindow(SDL_Window* window, int w, int h) {
  Display* display = nullptr;
  Window x_window = 0;
  XWindowAttributes attributes{};
  if (!X11Parts(window, &display, &x_window) || !XShmQueryExtension(display) ||
      XGetWindowAttributes(display, x_window, &attributes) == 0 || !FrameLikeVisual(attributes)) {
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
    XErrorTrap trap(display);
    attached = XShmAttach(display, &segment) != 0 && !trap.Caught();
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

}  // namespace larkspill

#include "platform/x11/x11_screens.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <algorithm>
#include <cstdio>

#include "platform/x11/sdl_surface_presenter.h"
#include "platform/x11/x11_presenter.h"
#include "platform/x11/x11_shared_image.h"

namespace larkspill {
namespace {

// A frame in memory shared with the X server; the server's word that it has read it comes
// through the routes while it lives.
class SharedFrameMemory : public FrameMemory {
 public:
  SharedFrameMemory(std::unique_ptr<X11SharedImage> image, XEventRoutes& routes)
      : image_(std::move(image)), routes_(routes) {
    routes_.Add(this,
                [image = image_.get()](const XEvent& event) { return image->OnEvent(event); });
  }
  ~SharedFrameMemory() override { routes_.Remove(this); }
  uint32_t* pixels() override { return image_->pixels(); }
  int stride() const override { return image_->stride(); }
  void WaitBeforeWriting() override { image_->WaitForReading(); }
  X11SharedImage* image() const { return image_.get(); }

 private:
  std::unique_ptr<X11SharedImage> image_;
  XEventRoutes& routes_;
};

}  // namespace

std::string X11Screens::Name() const {
  const char* driver = SDL_GetCurrentVideoDriver();
  return "window surface (" + std::string(driver != nullptr ? driver : "none") + ")";
}

bool X11Screens::Start() {
  if (!video_started_) video_started_ = windows_.StartVideo();
  return video_started_;
}

bool X11Screens::Open(int32_t width, int32_t height) {
  width_ = width;
  height_ = height;
  if (!windows_.Open(width, height)) {
    std::fprintf(stderr, "larkspill: cannot open the display: %s: %s\n",
                 options_.embed_window != 0 ? "host window" : "window", SDL_GetError());
    return false;
  }
  // A palette display (8-bit pseudo-colour) cannot show the scene's 16-bit colours.
  for (size_t i = 0; i < windows_.count(); ++i) {
    const Uint32 format = SDL_GetWindowPixelFormat(windows_.window(i));
    if (SDL_ISPIXELFORMAT_INDEXED(format) || SDL_BITSPERPIXEL(format) < 15) {
      std::fprintf(stderr,
                   "larkspill: cannot open the display: its colours come from a palette or have "
                   "fewer than 15 bits a pixel, too few for the scene's\n");
      return false;
    }
  }
  windows_.Hold();
  SDL_ShowCursor(cursor_visible_ ? SDL_ENABLE : SDL_DISABLE);
  StartPacing();
  return true;
}

// Frames come at the fastest monitor's rate: a slower one is shown every frame it can show.
void X11Screens::StartPacing() {
  int refresh = 0;
  for (const ScreenPlace& place : List()) refresh = std::max(refresh, place.refresh);
  pacer_.Start(refresh);
}

// New windows for the monitors as they are now.
bool X11Screens::Follow() {
  if (!windows_.Open(width_, height_)) {
    std::fprintf(stderr, "larkspill: cannot open the windows for the new monitors: %s\n",
                 SDL_GetError());
    return false;
  }
  windows_.Hold();
  SDL_ShowCursor(cursor_visible_ ? SDL_ENABLE : SDL_DISABLE);
  StartPacing();
  return true;
}

std::vector<ScreenPlace> X11Screens::List() const {
  std::vector<ScreenPlace> places;
  for (size_t i = 0; i < windows_.count(); ++i) {
    SDL_Window* window = windows_.window(i);
    ScreenPlace& place = places.emplace_back();
    SDL_GetWindowPosition(window, &place.x, &place.y);
    SDL_GetWindowSize(window, &place.width, &place.height);
    place.primary = windows_.primary(i);
    SDL_DisplayMode mode{};
    const int display_index = SDL_GetWindowDisplayIndex(window);
    if (display_index >= 0 && SDL_GetCurrentDisplayMode(display_index, &mode) == 0) {
      place.refresh = mode.refresh_rate;
    }
  }
  return places;
}

std::unique_ptr<FrameMemory> X11Screens::MakeFrameMemory(int w, int h) {
  if (windows_.count() > 0) {
    if (auto shared = X11SharedImage::ForWindow(windows_.window(0), w, h)) {
      return std::make_unique<SharedFrameMemory>(std::move(shared), routes_);
    }
  }
  return std::make_unique<PlainFrameMemory>(w, h);
}

std::unique_ptr<Presenter> X11Screens::MakePresenter(size_t screen, const FrameComposer& frame,
                                                     FrameMemory& memory) {
  const auto* shared = dynamic_cast<const SharedFrameMemory*>(&memory);
  std::unique_ptr<Presenter> presenter = X11Presenter::For(
      windows_.window(screen), frame, shared != nullptr ? shared->image() : nullptr, routes_);
  if (!presenter) presenter = std::make_unique<SdlSurfacePresenter>(windows_.window(screen));
  return presenter;
}

void X11Screens::Pump(DisplayEvents& events, const std::function<void(size_t screen)>& renew) {
  if (!video_started_) return;
  windows_.Pump(
      events, [this](const XEvent& event) { return routes_.Deliver(event); },
      [this, &renew](Uint32 window_id) {
        for (size_t i = 0; i < windows_.count(); ++i) {
          if (windows_.window_id(i) == window_id) renew(i);
        }
      });
}

void X11Screens::WaitForEvents(uint32_t milliseconds) {
  pollfd connection{.fd = -1, .events = POLLIN, .revents = 0};
  SDL_SysWMinfo wm;
  SDL_VERSION(&wm.version);
  if (windows_.count() > 0 && SDL_GetWindowWMInfo(windows_.window(0), &wm) &&
      wm.subsystem == SDL_SYSWM_X11) {
    // Events already read from the connection would not wake the poll.
    if (XPending(wm.info.x11.display) > 0) return;
    connection.fd = ConnectionNumber(wm.info.x11.display);
  }
  // Unlike SDL's own wait, the poll is not taken up again after a signal: an end signal is
  // answered at once.
  poll(&connection, connection.fd >= 0 ? 1 : 0, static_cast<int>(milliseconds));
}

void X11Screens::SetCursorVisible(bool visible) {
  cursor_visible_ = visible;
  if (video_started_) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

void X11Screens::Close() {
  windows_.Close();
  if (video_started_) {
    windows_.StopVideo();
    video_started_ = false;
  }
  // Only now, after the last request about the windows has been answered.
  windows_.Forget();
}

}  // namespace larkspill

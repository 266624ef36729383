#include "platform/display/sdl_display.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "platform/display/sdl_surface_presenter.h"
#include "platform/files/picture_file.h"
#include "platform/system/painted_pictures.h"
#include "platform/wayland/wayland_screens.h"
#include "platform/x11/x11_presenter.h"

namespace larkspill {
namespace {

// What CaptureFrame hands out.
constexpr auto kCaptureFormat = SDL_PIXELFORMAT_ARGB8888;
// Frames between two looks at the pictures painted for the screen: about twice a second.
constexpr int kFramesBetweenLooks = 30;

// A scene colour (red + 256 * green + 65536 * blue) as 0xRRGGBB.
uint32_t Rgb(int32_t colour) {
  const auto c = static_cast<uint32_t>(colour);
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

// The box of a w x h picture at (x, y); far-off places are cut to what 32 bits hold.
pixman_box32_t BoxAt(int64_t x, int64_t y, int w, int h) {
  auto cut = [](int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
  };
  return {cut(x), cut(y), cut(x + w), cut(y + h)};
}

}  // namespace

SdlDisplay::SdlDisplay(SdlDisplayOptions options)
    : options_(std::move(options)), trace_(DisplayTrace::FromEnvironment()) {}

SdlDisplay::~SdlDisplay() {
  Close();
}

bool SdlDisplay::Open(int32_t width, int32_t height) {
  if (open_) return true;
  if (trace_) trace_->OpenBegins();
  if (width <= 0 || height <= 0 || width > 8192 || height > 8192) {
    std::fprintf(stderr, "larkspill: cannot open a display of %d x %d pixels\n", width, height);
    return false;
  }
  logical_width_ = width;
  logical_height_ = height;
  if (wayland_) return OpenOnWayland();

  if (!windows_.StartVideo()) return false;
  video_started_ = true;
  // The clock and the message need the font list, made ready while the window comes up. Not
  // before SDL's start: it may start a D-Bus session bus, whose child process must not be forked
  // while other threads are busy.
  texts_.Prepare();

  auto fail = [this](const char* what) {
    std::fprintf(stderr, "larkspill: cannot open the display: %s: %s\n", what, SDL_GetError());
    Close();
    return false;
  };
  if (!windows_.Open(width, height)) {
    return fail(options_.embed_window != 0 ? "host window" : "window");
  }
  // A palette display (8-bit pseudo-colour) cannot show the scene's 16-bit colours.
  for (size_t i = 0; i < windows_.count(); ++i) {
    const Uint32 format = SDL_GetWindowPixelFormat(windows_.window(i));
    if (SDL_ISPIXELFORMAT_INDEXED(format) || SDL_BITSPERPIXEL(format) < 15) {
      std::fprintf(stderr,
                   "larkspill: cannot open the display: its colours come from a palette or have "
                   "fewer than 15 bits a pixel, too few for the scene's\n");
      Close();
      return false;
    }
  }

  MakeFrameForScreen();
  if (composer_->frame() == nullptr || composer_->frame_surface() == nullptr) return fail("frame");
  MakeScreens();
  if (!texts_.Start()) return fail("fonts");

  // Frames come at the fastest screen's rate: a slower one is shown every frame it can show.
  int refresh = 0;
  for (size_t i = 0; i < windows_.count(); ++i) {
    SDL_DisplayMode mode{};
    const int display_index = SDL_GetWindowDisplayIndex(windows_.window(i));
    if (display_index >= 0 && SDL_GetCurrentDisplayMode(display_index, &mode) == 0) {
      refresh = std::max(refresh, mode.refresh_rate);
    }
  }
  pacer_.Start(refresh);

  SDL_ShowCursor(cursor_visible_ ? SDL_ENABLE : SDL_DISABLE);
  open_ = true;
  PlanPaintedPictures();
  if (trace_) trace_->OpenEnds();
  return true;
}

// The frame for the screen as it is at opening, the shipped pictures filtered to its size.
void SdlDisplay::MakeFrameForScreen() {
  int screen_w = 0;
  int screen_h = 0;
  if (ScreenSize(&screen_w, &screen_h)) {
    fit_ = SceneFit::For(screen_w, screen_h, false);
    screen_scale_ = SceneFit::ScreenScale(screen_h);
  }
  MakeFrame();
}

// The frame's pixels (shared with the X server where it can) and its composer, at fit_'s size.
void SdlDisplay::MakeFrame() {
  const int w = fit_.width;
  const int h = fit_.height;
  shared_frame_ = wayland_ ? nullptr : X11SharedImage::ForWindow(windows_.window(0), w, h);
  if (shared_frame_) {
    composer_ =
        std::make_unique<FrameComposer>(shared_frame_->pixels(), w, h, shared_frame_->stride());
    composer_->SetBeforeWriting([frame = shared_frame_.get()] { frame->WaitForReading(); });
  } else {
    frame_pixels_.assign(static_cast<size_t>(w) * h, 0);
    composer_ = std::make_unique<FrameComposer>(frame_pixels_.data(), w, h, w * 4);
  }
}

// The size of the screen the frame is made for: the first window's, or the first output's.
bool SdlDisplay::ScreenSize(int* w, int* h) const {
  *w = 0;
  *h = 0;
  if (wayland_) {
    if (wayland_->outputs().empty()) return false;
    const WaylandOutput& output = *wayland_->outputs().front();
    *w = output.width * output.scale;
    *h = output.height * output.scale;
  } else if (windows_.count() > 0) {
    SDL_GetWindowSize(windows_.window(0), w, h);
  }
  return *w > 0 && *h > 0;
}

// A screen for each window, then the windows held.
void SdlDisplay::MakeScreens() {
  MakePresenters();
  windows_.Hold();
}

// A screen for each window (or output), showing the frame.
void SdlDisplay::MakePresenters() {
  if (wayland_) {
    FollowWaylandOutputs();
    return;
  }
  for (size_t i = 0; i < windows_.count(); ++i) {
    Screen& screen = screens_.emplace_back();
    screen.window_id = windows_.window_id(i);
    screen.presenter = X11Presenter::For(windows_.window(i), *composer_, shared_frame_.get());
    if (!screen.presenter) {
      screen.presenter = std::make_unique<SdlSurfacePresenter>(windows_.window(i));
    }
  }
}

// New windows and screens for the monitors as they are now; the frame, its pictures and
// everything drawn stay, and the next frame is sent whole.
void SdlDisplay::FollowMonitors() {
  screens_.clear();
  if (!windows_.Open(logical_width_, logical_height_)) {
    std::fprintf(stderr, "larkspill: cannot open the windows for the new monitors: %s\n",
                 SDL_GetError());
    return;
  }
  MakeScreens();
  SDL_ShowCursor(cursor_visible_ ? SDL_ENABLE : SDL_DISABLE);
}

Pictures SdlDisplay::LoadPictures(std::span<const std::string> paths, bool keyed) {
  if (!open_) {
    throw std::logic_error("cannot load picture " + (paths.empty() ? "" : paths.front()) +
                           ": the display is not open");
  }
  LoadedPictures loaded;
  for (const std::string& path : paths) {
    loaded.frames.push_back(&pictures_.Get(path, keyed));
    loaded.files.emplace_back(path, keyed);
    if (trace_) trace_->PictureLoaded();
  }
  loaded_.push_back(std::move(loaded));
  return {static_cast<int32_t>(loaded_.size()) - 1};
}

bool SdlDisplay::Show(const SceneFrame& frame) {
  if (Gone()) return false;
  if (dark_) {
    // Nothing is composed or sent while every monitor is dark; the trace still follows the places.
    if (trace_) {
      for (const SceneDrawing& drawing : frame.drawings) {
        if (const auto* picture = std::get_if<PictureDrawing>(&drawing)) {
          trace_->Placed(picture->pictures.index + 1, picture->x, picture->y);
        }
      }
    }
    return true;
  }
  for (const SceneDrawing& drawing : frame.drawings) {
    if (const auto* picture = std::get_if<PictureDrawing>(&drawing)) {
      Draw(*picture);
    } else if (const auto* text = std::get_if<TextDrawing>(&drawing)) {
      Draw(*text);
    } else {
      Fill(std::get<FillDrawing>(drawing).colour);
    }
  }
  Flip();
  return true;
}

void SdlDisplay::Draw(const PictureDrawing& drawing) {
  const int32_t index = drawing.pictures.index;
  if (index < 0 || static_cast<size_t>(index) >= loaded_.size()) {
    throw std::out_of_range("there are no pictures " + std::to_string(index));
  }
  const LoadedPictures& loaded = loaded_[index];
  if (drawing.frame < 1 || static_cast<size_t>(drawing.frame) > loaded.frames.size()) return;
  const Picture* picture = loaded.frames[drawing.frame - 1];
  if (trace_) trace_->Drawn(index + 1, drawing.x, drawing.y);
  if (picture->showing == nullptr) return;  // nothing but its key
  const int w = picture->pixels->w;
  const int32_t x = drawing.roams ? fit_.CreatureX(drawing.x, w) : fit_.X(drawing.x);
  const SDL_Rect& shows = picture->shows;
  composer_->Add(
      {.picture = picture->showing,
       .where = BoxAt(int64_t{x} + shows.x, int64_t{fit_.Y(drawing.y)} + shows.y, shows.w, shows.h),
       .opaque = !picture->keyed});
}

void SdlDisplay::Fill(int32_t colour) {
  composer_->Add({.where = {0, 0, fit_.width, fit_.height}, .colour = Rgb(colour), .opaque = true});
}

void SdlDisplay::Draw(const TextDrawing& drawing) {
  texts_.SetFont(drawing.face, drawing.size);
  const std::string& text = drawing.text;
  const int32_t x = drawing.x;
  const int32_t y = drawing.y;
  if (text.empty()) return;
  // Only what can show on the frame is rendered; a text starting far left of it shows nothing
  // that could be rendered within one picture. A screen narrower than the scene shows less than
  // its width: there a text is moved in from the edge it would be cut by, when it fits.
  const bool narrow = fit_.left > 0;
  int64_t max_width = fit_.SceneWidthRightOf(x);
  if (narrow) max_width = std::max<int64_t>(max_width, std::lround(fit_.width / fit_.scale));
  if (max_width <= 0 || max_width > 16384 || y >= logical_height_) return;
  std::shared_ptr<const TextPixels> rendered = texts_.Render(
      text, static_cast<uint32_t>(drawing.colour) & 0xFFFFFF, static_cast<int32_t>(max_width));
  // On a frame of the screen's size, the text is drawn at that size.
  if (rendered && fit_.scale != 1) rendered = texts_.Scaled(*rendered, fit_.scale);
  if (!rendered) return;
  if (trace_) trace_->Text(text, x, y);
  const SDL_Surface* surface = rendered->surface.get();
  int32_t at = fit_.X(x);
  if (narrow && surface->w <= fit_.width) at = std::clamp(at, 0, fit_.width - surface->w);
  composer_->Add(
      {.text = std::move(rendered), .where = BoxAt(at, fit_.Y(y), surface->w, surface->h)});
}

void SdlDisplay::Flip() {
  composer_->Compose();
  for (Screen& screen : screens_) Present(screen);
  composer_->ClearChanged();
  if (trace_) trace_->Flipped();
  if (painted_ && --frames_until_look_ <= 0) {
    frames_until_look_ = kFramesBetweenLooks;
    LookAfterPaintedPictures();
  }
  pacer_.Pace();
}

void SdlDisplay::SetDark(bool dark) {
  if (dark == dark_) return;
  dark_ = dark;
  if (trace_) trace_->Dark(dark);
  if (!dark) {
    for (Screen& screen : screens_) screen.whole = true;
  }
}

void SdlDisplay::WaitForEvents(uint32_t milliseconds) {
  pollfd connection{.fd = -1, .events = POLLIN, .revents = 0};
  SDL_SysWMinfo wm;
  SDL_VERSION(&wm.version);
  if (!wayland_ && windows_.count() > 0 && SDL_GetWindowWMInfo(windows_.window(0), &wm) &&
      wm.subsystem == SDL_SYSWM_X11) {
    // Events already read from the connection would not wake the poll.
    if (XPending(wm.info.x11.display) > 0) return;
    connection.fd = ConnectionNumber(wm.info.x11.display);
  }
  // Unlike SDL's own wait, the poll is not taken up again after a signal: an end signal is
  // answered at once.
  poll(&connection, connection.fd >= 0 ? 1 : 0, static_cast<int>(milliseconds));
}

// Sends one window what changed of the frame, or everything when it is new, resized or exposed.
void SdlDisplay::Present(Screen& screen) {
  int w = 0;
  int h = 0;
  bool renewed = false;
  if (!screen.presenter->Size(&w, &h, &renewed)) return;
  if (renewed || w != screen.w || h != screen.h) {
    screen.w = w;
    screen.h = h;
    screen.view.Place(w, h, fit_.width, fit_.height);
    screen.whole = true;
    if (!screen.view.exact()) composer_->KeepScene(true);
  }
  // Parts that came into sight are exposed, and so sent whole: only then can the visible part grow.
  if (screen.whole) screen.visible = screen.presenter->Visible(w, h);
  std::vector<SharpText> sharp;
  if (!screen.view.exact() && composer_->texts_known()) {
    for (const Drawing& drawing : composer_->shown()) {
      if (!drawing.text) continue;
      // A text out of sight is not drawn at the view's size: at a huge window's scale it is large.
      if (IsEmpty(Intersect(screen.view.WindowBox(drawing.where), screen.visible))) continue;
      if (auto text = texts_.Scaled(*drawing.text, screen.view.scale_y())) {
        sharp.push_back(screen.view.Sharp(std::move(text), drawing.where));
      }
    }
  }
  window_changes_.Clear();
  screen.view.Changes(composer_->changed(), std::move(sharp), screen.whole, window_changes_);
  window_changes_.Clip(screen.visible);
  if (screen.whole || !window_changes_.Empty()) {
    screen.presenter->Show(screen.view, *composer_, window_changes_, screen.whole);
    const pixman_box32_t& v = screen.visible;
    pixels_presented_ +=
        screen.whole ? int64_t{v.x2 - v.x1} * (v.y2 - v.y1) : window_changes_.Area();
    parts_presented_ += static_cast<int64_t>(window_changes_.Boxes().size());
  }
  screen.whole = false;
}

void SdlDisplay::PumpEvents(DisplayEvents& events) {
  if (wayland_) {
    if (!open_) return;
    wayland_->Pump(events);
    if (wayland_->TakeOutputsChanged()) FollowWaylandOutputs();
    return;
  }
  if (!video_started_) return;
  windows_.Pump(
      events,
      [this](const XEvent& event) {
        if (shared_frame_ && shared_frame_->OnEvent(event)) return true;
        for (Screen& screen : screens_) {
          if (screen.presenter->TakeEvent(event)) return true;
        }
        return false;
      },
      [this](Uint32 window_id) {
        for (Screen& screen : screens_) {
          if (screen.window_id == window_id) screen.whole = true;
        }
      });
  if (open_ && windows_.MonitorsChanged()) FollowMonitors();
}

void SdlDisplay::SetCursorVisible(bool visible) {
  cursor_visible_ = visible;
  if (video_started_) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

bool SdlDisplay::Gone() {
  return !open_ || (wayland_ ? wayland_->Lost() : windows_.Lost(/*check_host=*/true));
}

SdlSurfacePtr SdlDisplay::CaptureFrame() {
  if (!open_ || !composer_) return nullptr;
  composer_->Compose();
  return SdlSurfacePtr(SDL_ConvertSurfaceFormat(composer_->frame_surface(), kCaptureFormat, 0));
}

bool SdlDisplay::SaveScreenshot(const std::string& bmp_path) {
  SdlSurfacePtr frame = CaptureFrame();
  return frame && SDL_SaveBMP(frame.get(), bmp_path.c_str()) == 0;
}

std::string SdlDisplay::RendererName() const {
  if (screens_.empty()) return {};
  if (wayland_) return "shared memory (wayland)";
  return "window surface (" + std::string(SDL_GetCurrentVideoDriver()) + ")";
}

int64_t SdlDisplay::PixelsComposed() const {
  return pixels_composed_before_ + (composer_ ? composer_->pixels_composed() : 0);
}

void SdlDisplay::ReleaseAll() {
  windows_.LetGo();  // the keyboard and pointer first: the rest may take a while
  if (stop_reading_) stop_reading_->store(true);
  if (painted_read_.valid()) painted_read_.wait();  // at most one picture's read
  painted_read_ = {};
  stop_reading_.reset();
  painted_folder_.reset();
  fit_ = SceneFit::Exact();
  screens_.clear();
  loaded_.clear();
  pictures_.Clear();
  if (composer_) pixels_composed_before_ += composer_->pixels_composed();
  composer_.reset();
  shared_frame_.reset();
  frame_pixels_ = {};
  windows_.Close();
  if (wayland_) wayland_->Close();
}

void SdlDisplay::Close() {
  if (trace_ && open_) {
    trace_->Print(RendererName(), WindowCount(), PixelsComposed(), pixels_presented_,
                  parts_presented_);
  }
  ReleaseAll();
  texts_.Stop();
  if (video_started_) {
    windows_.StopVideo();
    video_started_ = false;
  }
  // Only now, after the last request about the windows has been answered.
  windows_.Forget();
  open_ = false;
}

}  // namespace larkspill

#include "platform/display/screen_display.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "platform/files/picture_file.h"

namespace larkspill {
namespace {

// What CaptureFrame hands out.
constexpr auto kCaptureFormat = SDL_PIXELFORMAT_ARGB8888;

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

ScreenDisplay::ScreenDisplay(std::unique_ptr<Screens> screens)
    : screens_(std::move(screens)), trace_(DisplayTrace::FromEnvironment()) {}

ScreenDisplay::~ScreenDisplay() {
  Close();
}

bool ScreenDisplay::Open(int32_t width, int32_t height) {
  if (open_) return true;
  if (trace_) trace_->OpenBegins();
  if (width <= 0 || height <= 0 || width > 8192 || height > 8192) {
    std::fprintf(stderr, "larkspill: cannot open a display of %d x %d pixels\n", width, height);
    return false;
  }
  logical_width_ = width;
  logical_height_ = height;
  if (!screens_->Start()) return false;
  started_ = true;
  // The clock and the message need the font list, made ready while the screens come up. Not
  // before the window system's start: it may start a D-Bus session bus, whose child process must
  // not be forked while other threads are busy.
  texts_.Prepare();
  if (!screens_->Open(width, height)) {
    Close();
    return false;
  }
  const bool framed = Refit();
  if (!framed || !texts_.Start()) {
    std::fprintf(stderr, "larkspill: cannot open the display: %s\n", framed ? "fonts" : "frame");
    Close();
    return false;
  }
  frame_shown_ = false;
  open_ = true;
  PlanPaintedPictures();
  if (trace_) trace_->OpenEnds();
  return true;
}

Pictures ScreenDisplay::LoadPictures(std::span<const std::string> paths, bool keyed) {
  if (!open_) {
    throw std::logic_error("cannot load picture " + (paths.empty() ? "" : paths.front()) +
                           ": the display is not open");
  }
  LoadedPictures loaded;
  for (const std::string& path : paths) {
    loaded.frames.push_back(&pictures_.Get(path, keyed));
    loaded.files.emplace_back(path, keyed);
    const std::string file = std::filesystem::path(path).filename().string();
    loaded.background = loaded.background || file == scene_layout::kBackground1 ||
                        file == scene_layout::kBackground2;
    if (trace_) trace_->PictureLoaded();
  }
  loaded_.push_back(std::move(loaded));
  AddToPaintedSets(loaded_.back());
  return {static_cast<int32_t>(loaded_.size()) - 1};
}

bool ScreenDisplay::Show(const SceneFrame& scene_frame) {
  if (Gone()) return false;
  if (dark_) {
    // Nothing is composed or sent while every monitor is dark; the trace still follows the places.
    if (trace_) {
      for (const SceneDrawing& drawing : scene_frame.drawings) {
        if (const auto* picture = std::get_if<PictureDrawing>(&drawing)) {
          trace_->Placed(picture->pictures.index + 1, picture->x, picture->y);
        }
      }
    }
    return true;
  }
  for (const SceneDrawing& drawing : scene_frame.drawings) {
    if (const auto* picture = std::get_if<PictureDrawing>(&drawing)) {
      if (picture->pictures.index < 0 ||
          static_cast<size_t>(picture->pictures.index) >= loaded_.size()) {
        throw std::out_of_range("there are no pictures " + std::to_string(picture->pictures.index));
      }
      const size_t frames = loaded_[picture->pictures.index].frames.size();
      if (picture->frame < 1 || static_cast<size_t>(picture->frame) > frames) continue;
      if (trace_) trace_->Drawn(picture->pictures.index + 1, picture->x, picture->y);
      for (const auto& frame : frames_) Draw(*frame, *picture);
    } else if (const auto* text = std::get_if<TextDrawing>(&drawing)) {
      bool drawn = false;
      for (const auto& frame : frames_) drawn = Draw(*frame, *text) || drawn;
      if (trace_ && drawn) trace_->Text(text->text, text->x, text->y);
    } else {
      for (const auto& frame : frames_) Fill(*frame, std::get<FillDrawing>(drawing).colour);
    }
  }
  for (const auto& frame : frames_) frame->composer->Compose();
  for (Screen& screen : screens_shown_) Present(screen);
  for (const auto& frame : frames_) frame->composer->ClearChanged();
  if (trace_) trace_->Flipped();
  frame_shown_ = true;
  // About twice a second, a look at the pictures painted for the screens.
  if (painted_ && --frames_until_look_ <= 0) {
    frames_until_look_ = 30;
    look_due_ = true;
  }
  return true;
}

void ScreenDisplay::WaitForNextFrame() {
  if (!frame_shown_) return;
  frame_shown_ = false;
  screens_->WaitForNextFrame();
}

void ScreenDisplay::Draw(Frame& frame, const PictureDrawing& drawing) {
  const size_t index = drawing.pictures.index;
  const Picture* picture = frame.painted ? frame.painted->frames[index][drawing.frame - 1]
                                         : loaded_[index].frames[drawing.frame - 1];
  if (picture->showing == nullptr) return;  // nothing but its key
  const SceneFit& fit = frame.fit;
  const int w = picture->pixels->w;
  int32_t x = drawing.roams ? fit.CreatureX(drawing.x, w) : fit.X(drawing.x);
  int32_t y = fit.Y(drawing.y);
  // Across a desk the background reaches as far as the desk: its corner is the backgrounds'.
  if (desk_ && loaded_[index].background) {
    x = fit.BackgroundX();
    y = fit.BackgroundY();
  }
  const SDL_Rect& shows = picture->shows;
  frame.composer->Add(
      {.picture = picture->showing,
       .where = BoxAt(int64_t{x} + shows.x, int64_t{y} + shows.y, shows.w, shows.h),
       .opaque = !picture->keyed});
}

void ScreenDisplay::Fill(Frame& frame, int32_t colour) {
  frame.composer->Add(
      {.where = {0, 0, frame.fit.width, frame.fit.height}, .colour = Rgb(colour), .opaque = true});
}

bool ScreenDisplay::Draw(Frame& frame, const TextDrawing& drawing) {
  if (!frame.texts) return false;
  const SceneFit& fit = frame.fit;
  texts_.SetFont(drawing.face, drawing.size);
  const std::string& text = drawing.text;
  const int32_t x = drawing.x;
  const int32_t y = drawing.y;
  if (text.empty()) return false;
  // Only what can show on the frame is rendered; a text starting far left of it shows nothing
  // that could be rendered within one picture. A screen narrower than the scene shows less than
  // its width: there a text is moved in from the edge it would be cut by, when it fits.
  const bool narrow = fit.left > 0;
  int64_t max_width = fit.SceneWidthRightOf(x);
  if (narrow) max_width = std::max<int64_t>(max_width, std::lround(fit.width / fit.scale));
  if (max_width <= 0 || max_width > 16384 || y >= logical_height_) return false;
  std::shared_ptr<const TextPixels> rendered = texts_.Render(
      text, static_cast<uint32_t>(drawing.colour) & 0xFFFFFF, static_cast<int32_t>(max_width));
  // On a frame of the screen's size, the text is drawn at that size.
  if (rendered && fit.scale != 1) rendered = texts_.Scaled(*rendered, fit.scale);
  if (!rendered) return false;
  const SDL_Surface* surface = rendered->surface.get();
  int32_t at = fit.X(x);
  if (narrow && surface->w <= fit.width) at = std::clamp(at, 0, fit.width - surface->w);
  frame.composer->Add(
      {.text = std::move(rendered), .where = BoxAt(at, fit.Y(y), surface->w, surface->h)});
  return true;
}

void ScreenDisplay::SetDark(bool dark) {
  if (dark == dark_) return;
  dark_ = dark;
  screens_->SetDark(dark);
  if (trace_) trace_->Dark(dark);
  if (!dark) {
    for (Screen& screen : screens_shown_) screen.whole = true;
  }
}

// Sends one window what changed of its frame, or everything when it is new, resized or exposed.
void ScreenDisplay::Present(Screen& screen) {
  FrameComposer& composer = *frames_[screen.frame]->composer;
  const SceneFit& fit = frames_[screen.frame]->fit;
  int w = 0;
  int h = 0;
  bool renewed = false;
  if (!screen.presenter->Size(&w, &h, &renewed)) return;
  if (renewed || w != screen.w || h != screen.h) {
    screen.w = w;
    screen.h = h;
    screen.view.Place(w, h, fit.width, fit.height);
    screen.whole = true;
    if (!screen.view.exact()) composer.KeepScene(true);
  }
  // Parts that came into sight are exposed, and so sent whole: only then can the visible part grow.
  if (screen.whole) screen.visible = screen.presenter->Visible(w, h);
  std::vector<SharpText> sharp;
  if (!screen.view.exact() && composer.texts_known()) {
    for (const Drawing& drawing : composer.shown()) {
      if (!drawing.text) continue;
      // A text out of sight is not drawn at the view's size: at a huge window's scale it is large.
      if (IsEmpty(Intersect(screen.view.WindowBox(drawing.where), screen.visible))) continue;
      if (auto text = texts_.Scaled(*drawing.text, screen.view.scale_y())) {
        sharp.push_back(screen.view.Sharp(std::move(text), drawing.where));
      }
    }
  }
  window_changes_.Clear();
  screen.view.Changes(composer.changed(), std::move(sharp), screen.whole, window_changes_);
  window_changes_.Clip(screen.visible);
  if (screen.whole || !window_changes_.Empty()) {
    screen.presenter->Show(screen.view, composer, window_changes_, screen.whole);
    const pixman_box32_t& v = screen.visible;
    pixels_presented_ +=
        screen.whole ? int64_t{v.x2 - v.x1} * (v.y2 - v.y1) : window_changes_.Area();
    parts_presented_ += static_cast<int64_t>(window_changes_.Boxes().size());
  }
  screen.whole = false;
}

void ScreenDisplay::PumpEvents(DisplayEvents& events) {
  if (!started_) return;
  screens_->Pump(events, [this](size_t i) {
    if (i < screens_shown_.size()) screens_shown_[i].whole = true;
  });
  if (open_ && screens_->TakeChanged()) FollowScreens();
}

bool ScreenDisplay::Gone() {
  return !open_ || screens_->Lost();
}

SdlSurfacePtr ScreenDisplay::CaptureFrame() {
  if (!open_ || frames_.empty()) return nullptr;
  FrameComposer& composer = *frames_.front()->composer;
  composer.Compose();
  return SdlSurfacePtr(SDL_ConvertSurfaceFormat(composer.frame_surface(), kCaptureFormat, 0));
}

bool ScreenDisplay::SaveScreenshot(const std::string& bmp_path) {
  SdlSurfacePtr frame = CaptureFrame();
  return frame && SDL_SaveBMP(frame.get(), bmp_path.c_str()) == 0;
}

std::string ScreenDisplay::RendererName() const {
  return screens_shown_.empty() ? std::string() : screens_->Name();
}

int64_t ScreenDisplay::PixelsComposed() const {
  int64_t composed = pixels_composed_before_;
  for (const auto& frame : frames_) composed += frame->composer->pixels_composed();
  return composed;
}

void ScreenDisplay::ReleaseAll() {
  screens_->LetGo();  // the keyboard and pointer first: the rest may take a while
  ForgetPainted();
  look_due_ = false;
  desk_.reset();
  painted_area_ = {};
  loaded_.clear();
  pictures_.Clear();
  screens_->Close();
}

void ScreenDisplay::Close() {
  if (trace_ && open_) {
    trace_->Print(RendererName(), WindowCount(), PixelsComposed(), pixels_presented_,
                  parts_presented_);
  }
  ReleaseAll();
  texts_.Stop();
  started_ = false;
  open_ = false;
}

}  // namespace larkspill

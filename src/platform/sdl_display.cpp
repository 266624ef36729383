#include "platform/sdl_display.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <thread>

namespace larkspill {
namespace {

// Magenta, the transparent colour, as an RGB565 pixel.
constexpr Uint32 kMagenta565 = 0xF81F;
constexpr auto kPictureFormat = SDL_PIXELFORMAT_RGB565;
constexpr auto kFrameFormat = SDL_PIXELFORMAT_ARGB8888;
constexpr int kDefaultFontSize = 16;

SDL_Color ColourOf(uint32_t colour) {
  return SDL_Color{static_cast<Uint8>(colour & 0xFF), static_cast<Uint8>((colour >> 8) & 0xFF),
                   static_cast<Uint8>((colour >> 16) & 0xFF), 255};
}

// The host window we draw into and whether the X server has reported it gone. Xlib's error
// handler is process-wide, so this state is too; only one display embeds at a time.
Window g_embedded_window = 0;
bool g_embedded_window_failed = false;
XErrorHandler g_previous_error_handler = nullptr;

// Errors about the host's window mean its owner destroyed it: noted, not fatal. Any other error
// goes to the handler that was there before.
int EmbeddedWindowErrorHandler(Display* display, XErrorEvent* error) {
  if (g_embedded_window != 0 && error->resourceid == g_embedded_window) {
    g_embedded_window_failed = true;
    return 0;
  }
  return g_previous_error_handler != nullptr ? g_previous_error_handler(display, error) : 0;
}

// The start of `text` cut after at most `count` UTF-8 characters.
std::string_view FirstCharacters(std::string_view text, size_t count) {
  size_t end = 0;
  for (size_t seen = 0; end < text.size(); ++end) {
    bool starts_character = (static_cast<unsigned char>(text[end]) & 0xC0) != 0x80;
    if (starts_character && seen++ == count) break;
  }
  return text.substr(0, end);
}

// Byte offsets where each UTF-8 character of `text` ends.
std::vector<size_t> CharacterEnds(std::string_view text) {
  std::vector<size_t> ends;
  for (size_t i = 1; i <= text.size(); ++i) {
    if (i == text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      ends.push_back(i);
    }
  }
  return ends;
}

// An RGB565 picture in the frame's own format, so drawing it is a plain copy or blend. Each
// channel is widened by repeating its top bits, so black and white stay exact; with `keyed`,
// magenta becomes fully transparent.
SdlSurfacePtr Widen565(SDL_Surface* picture, bool keyed) {
  SdlSurfacePtr wide(SDL_CreateRGBSurfaceWithFormat(0, picture->w, picture->h, 32, kFrameFormat));
  if (!wide) return nullptr;
  for (int y = 0; y < picture->h; ++y) {
    const auto* from = reinterpret_cast<const Uint16*>(static_cast<const Uint8*>(picture->pixels) +
                                                       y * picture->pitch);
    auto* to = reinterpret_cast<Uint32*>(static_cast<Uint8*>(wide->pixels) + y * wide->pitch);
    for (int x = 0; x < picture->w; ++x) {
      Uint32 p = from[x];
      if (keyed && p == kMagenta565) {
        to[x] = 0;
        continue;
      }
      Uint32 r = (p >> 11) & 0x1F;
      Uint32 g = (p >> 5) & 0x3F;
      Uint32 b = p & 0x1F;
      r = (r << 3) | (r >> 2);
      g = (g << 2) | (g >> 4);
      b = (b << 3) | (b >> 2);
      to[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
    }
  }
  return wide;
}

}  // namespace

size_t SdlDisplay::TextKeyHash::operator()(const TextKey& key) const {
  size_t h = std::hash<std::string>{}(key.text);
  h ^= std::hash<const void*>{}(key.font) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
  h ^= std::hash<uint32_t>{}(key.colour) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
  h ^= std::hash<int32_t>{}(key.max_width) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
  return h;
}

SdlDisplay::SdlDisplay(Clock& clock, SdlDisplayOptions options)
    : clock_(clock), options_(std::move(options)) {}

SdlDisplay::~SdlDisplay() {
  CloseDisplay();
}

bool SdlDisplay::OpenDisplay(int32_t width, int32_t height, int32_t /*bits*/,
                             const std::string& /*device*/) {
  if (open_) return true;
  if (width <= 0 || height <= 0 || width > 8192 || height > 8192) {
    std::fprintf(stderr, "larkspill: cannot open a display of %d x %d pixels\n", width, height);
    return false;
  }
  logical_width_ = width;
  logical_height_ = height;

  // The lightest correct path without a GPU: SDL's software renderer writing straight into the
  // window's shared-memory image, not through an OpenGL framebuffer emulated on the CPU.
  SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_DEFAULT);
  // Power saving belongs to the desktop or the host; the saver does not block it.
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  // SIGINT and SIGTERM belong to the program's event loop, not to SDL.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // A renderer chosen through SDL_RENDER_DRIVER waits for the vertical blank where it can.
  SDL_SetHintWithPriority(SDL_HINT_RENDER_VSYNC, "1", SDL_HINT_DEFAULT);
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "larkspill: cannot open the display: %s\n", SDL_GetError());
    return false;
  }
  video_started_ = true;

  auto fail = [this](const char* what) {
    std::fprintf(stderr, "larkspill: cannot open the display: %s: %s\n", what, SDL_GetError());
    CloseDisplay();
    return false;
  };

  if (options_.embed_window != 0) {
    // Errors about the host's window must not end the program when its owner destroys it.
    g_embedded_window = static_cast<Window>(options_.embed_window);
    g_embedded_window_failed = false;
    g_previous_error_handler = XSetErrorHandler(EmbeddedWindowErrorHandler);
    window_.reset(SDL_CreateWindowFrom(reinterpret_cast<const void*>(options_.embed_window)));
    if (!window_ || g_embedded_window_failed) return fail("host window");
    WatchEmbeddedWindow();
  } else {
    Uint32 flags = options_.fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : SDL_WINDOW_RESIZABLE;
    window_.reset(SDL_CreateWindow(options_.title.c_str(), SDL_WINDOWPOS_UNDEFINED,
                                   SDL_WINDOWPOS_UNDEFINED, width, height, flags));
    if (!window_) return fail("window");
  }

  renderer_.reset(SDL_CreateRenderer(window_.get(), -1, SDL_RENDERER_SOFTWARE));
  if (!renderer_) return fail("renderer");
  if (SDL_RenderSetLogicalSize(renderer_.get(), width, height) != 0) return fail("logical size");

  frame_.reset(
      SDL_CreateTexture(renderer_.get(), kFrameFormat, SDL_TEXTUREACCESS_TARGET, width, height));
  if (!frame_ || SDL_SetRenderTarget(renderer_.get(), frame_.get()) != 0) {
    return fail("frame texture");
  }
  SDL_SetRenderDrawColor(renderer_.get(), 0, 0, 0, 255);
  SDL_RenderClear(renderer_.get());

  if (!ttf_started_) {
    if (TTF_Init() != 0) return fail("fonts");
    ttf_started_ = true;
  }

  int refresh = 0;
  SDL_DisplayMode mode{};
  int display_index = SDL_GetWindowDisplayIndex(window_.get());
  if (display_index >= 0 && SDL_GetCurrentDisplayMode(display_index, &mode) == 0) {
    refresh = mode.refresh_rate;
  }
  if (refresh <= 0) refresh = 60;
  refresh = std::clamp(refresh, 24, 240);
  frame_period_ = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(1.0 / refresh));
  next_frame_ = std::chrono::steady_clock::now();

  SDL_ShowCursor(cursor_visible_ ? SDL_ENABLE : SDL_DISABLE);
  open_ = true;
  lost_ = false;
  return true;
}

// Asks the X server to tell us when the host resizes or destroys its window; SDL does not
// watch windows it did not create.
void SdlDisplay::WatchEmbeddedWindow() {
  SDL_SysWMinfo wm;
  SDL_VERSION(&wm.version);
  if (!SDL_GetWindowWMInfo(window_.get(), &wm) || wm.subsystem != SDL_SYSWM_X11) return;
  Display* x_display = wm.info.x11.display;
  Window host = static_cast<Window>(options_.embed_window);
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
  XSelectInput(x_display, host, StructureNotifyMask);
  XSync(x_display, False);
  if (options_.accept_input) {
    // Another client (the host) may hold the button presses; then we keep structure events only.
    bool failed_before = g_embedded_window_failed;
    XSelectInput(x_display, host,
                 StructureNotifyMask | PointerMotionMask | ButtonPressMask | KeyPressMask);
    XSync(x_display, False);
    if (!failed_before && g_embedded_window_failed) {
      g_embedded_window_failed = false;
      XSelectInput(x_display, host, StructureNotifyMask);
      XSync(x_display, False);
    }
  }
}

int32_t SdlDisplay::CreateSprite() {
  Sprite sprite;
  sprite.last_change = clock_.TickCount();
  sprites_.push_back(std::move(sprite));
  return static_cast<int32_t>(sprites_.size());
}

SdlDisplay::Sprite& SdlDisplay::SpriteAt(int32_t sprite) {
  if (sprite < 1 || static_cast<size_t>(sprite) > sprites_.size()) {
    throw std::out_of_range("there is no sprite " + std::to_string(sprite));
  }
  return sprites_[static_cast<size_t>(sprite) - 1];
}

SDL_Surface* SdlDisplay::DecodedPicture(const std::string& path) {
  if (auto it = decoded_.find(path); it != decoded_.end()) return it->second.get();
  auto fail = [&path](const std::string& reason) {
    return AssetError("cannot load picture " + path + ": " + reason);
  };
  {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) throw fail("no such file or not readable");
    if (file.tellg() == 0) throw fail("the file is empty");
  }
  SdlSurfacePtr loaded(SDL_LoadBMP(path.c_str()));
  if (!loaded) throw fail(SDL_GetError());
  if (loaded->w <= 0 || loaded->h <= 0) throw fail("the picture has no pixels");
  // The display shows 16 bits per pixel: every picture is quantised to RGB565 once, here.
  SdlSurfacePtr quantised(SDL_ConvertSurfaceFormat(loaded.get(), kPictureFormat, 0));
  if (!quantised) throw fail(SDL_GetError());
  ++picture_decodes_;
  return decoded_.emplace(path, std::move(quantised)).first->second.get();
}

const SdlDisplay::Picture& SdlDisplay::PictureFor(const std::string& path, int32_t key_mode) {
  bool keyed = key_mode == kKeyTransparent;
  auto key = std::make_pair(path, keyed ? kKeyTransparent : kKeyOpaque);
  if (auto it = pictures_.find(key); it != pictures_.end()) return *it->second;

  SDL_Surface* picture = DecodedPicture(path);
  SdlSurfacePtr converted = Widen565(picture, keyed);
  auto made = std::make_unique<Picture>();
  if (converted)
    made->texture.reset(SDL_CreateTextureFromSurface(renderer_.get(), converted.get()));
  if (!made->texture) {
    throw AssetError("cannot load picture " + path + ": " + SDL_GetError());
  }
  SDL_SetTextureBlendMode(made->texture.get(), keyed ? SDL_BLENDMODE_BLEND : SDL_BLENDMODE_NONE);
  made->width = picture->w;
  made->height = picture->h;
  return *pictures_.emplace(key, std::move(made)).first->second;
}

void SdlDisplay::LoadSpriteFrame(int32_t sprite, int32_t frame, const std::string& path,
                                 int32_t key_mode) {
  Sprite& target = SpriteAt(sprite);
  if (frame < 1 || frame > kMaxFrames) {
    throw std::out_of_range("frame " + std::to_string(frame) + " of sprite " +
                            std::to_string(sprite) + " is outside 1 to " +
                            std::to_string(kMaxFrames));
  }
  if (!open_) throw std::logic_error("cannot load picture " + path + ": the display is not open");
  const Picture& picture = PictureFor(path, key_mode);
  if (target.frames.size() < static_cast<size_t>(frame)) target.frames.resize(frame, nullptr);
  target.frames[frame - 1] = &picture;
}

void SdlDisplay::SetSpriteFrame(int32_t sprite, int32_t frame) {
  Sprite& target = SpriteAt(sprite);
  target.frame = frame;
  target.last_change = clock_.TickCount();
}

void SdlDisplay::SetSpriteFrameDelay(int32_t sprite, int32_t milliseconds) {
  SpriteAt(sprite).delay = milliseconds;
}

void SdlDisplay::SetSpriteX(int32_t sprite, int32_t x) {
  SpriteAt(sprite).x = x;
}
void SdlDisplay::SetSpriteY(int32_t sprite, int32_t y) {
  SpriteAt(sprite).y = y;
}

// Positions wrap at 32 bits rather than overflow.
void SdlDisplay::MoveSpriteX(int32_t sprite, int32_t step) {
  Sprite& target = SpriteAt(sprite);
  target.x = static_cast<int32_t>(static_cast<uint32_t>(target.x) + static_cast<uint32_t>(step));
}

void SdlDisplay::MoveSpriteY(int32_t sprite, int32_t step) {
  Sprite& target = SpriteAt(sprite);
  target.y = static_cast<int32_t>(static_cast<uint32_t>(target.y) - static_cast<uint32_t>(step));
}

int16_t SdlDisplay::GetSpriteX(int32_t sprite) {
  return static_cast<int16_t>(SpriteAt(sprite).x);
}
int16_t SdlDisplay::GetSpriteY(int32_t sprite) {
  return static_cast<int16_t>(SpriteAt(sprite).y);
}

bool SdlDisplay::SpriteFrameDue(int32_t sprite) {
  Sprite& target = SpriteAt(sprite);
  uint32_t elapsed = clock_.TickCount() - target.last_change;
  return static_cast<int64_t>(elapsed) >= target.delay;
}

void SdlDisplay::NextSpriteFrame(int32_t sprite) {
  Sprite& target = SpriteAt(sprite);
  auto highest = static_cast<int32_t>(target.frames.size());
  target.frame = (target.frame >= 1 && target.frame < highest) ? target.frame + 1 : 1;
  target.last_change = clock_.TickCount();
}

void SdlDisplay::DrawSprite(int32_t sprite) {
  Sprite& target = SpriteAt(sprite);
  if (!open_ || lost_) return;
  if (target.frame < 1 || static_cast<size_t>(target.frame) > target.frames.size()) return;
  const Picture* picture = target.frames[target.frame - 1];
  if (picture == nullptr) return;
  SDL_Rect where{target.x, target.y, picture->width, picture->height};
  SDL_RenderCopy(renderer_.get(), picture->texture.get(), nullptr, &where);
}

void SdlDisplay::ClearBackBuffer(int32_t colour) {
  if (!open_ || lost_) return;
  SDL_Color c = ColourOf(static_cast<uint32_t>(colour));
  SDL_SetRenderDrawColor(renderer_.get(), c.r, c.g, c.b, 255);
  SDL_RenderClear(renderer_.get());
}

TTF_Font* SdlDisplay::OpenFont(const FontFile& file, int size) {
  auto key = std::make_pair(file.path + '#' + std::to_string(file.index), size);
  if (auto it = fonts_.find(key); it != fonts_.end()) return it->second.get();
  TtfFontPtr font;
  if (!file.path.empty()) {
    ++font_opens_;
    font.reset(TTF_OpenFontIndex(file.path.c_str(), size, file.index));
    if (font) TTF_SetFontStyle(font.get(), TTF_STYLE_NORMAL);
  }
  // A font that cannot be opened is remembered as such, so no later frame tries the file again.
  return fonts_.emplace(key, std::move(font)).first->second.get();
}

void SdlDisplay::SetTextFont(const std::string& name, int32_t size, int32_t /*weight*/,
                             bool /*italic*/, bool /*underline*/, bool /*strikeout*/) {
  font_chosen_ = true;
  current_font_ = nullptr;
  if (!ttf_started_) return;
  int clamped = std::clamp<int32_t>(size, kMinFontSize, kMaxFontSize);
  current_font_ = OpenFont(font_lookup_.Find(name), clamped);
  if (current_font_ == nullptr && !name.empty()) {
    current_font_ = OpenFont(font_lookup_.Find(""), clamped);
  }
}

const SdlDisplay::RenderedText* SdlDisplay::TextFor(const std::string& text, uint32_t colour,
                                                    int32_t max_width) {
  // No glyph that shows is narrower than a pixel, so more characters than visible pixels never
  // show: cutting there first keeps a huge text cheap to look up and to measure.
  TextKey key{current_font_, colour, max_width,
              std::string(FirstCharacters(text, static_cast<size_t>(max_width)))};
  if (auto it = text_index_.find(key); it != text_index_.end()) {
    texts_.splice(texts_.begin(), texts_, it->second);
    return &*it->second;
  }

  // Keep the longest start that fits, plus the one character that the edge cuts through.
  std::string visible = key.text;
  int width = 0;
  int height = 0;
  if (TTF_SizeUTF8(current_font_, visible.c_str(), &width, &height) == 0 && width > max_width) {
    std::vector<size_t> ends = CharacterEnds(visible);
    size_t low = 0;
    size_t high = ends.size();  // the first `high` characters are known to be too wide
    while (high - low > 1) {
      size_t middle = (low + high) / 2;
      std::string prefix = visible.substr(0, ends[middle - 1]);
      if (TTF_SizeUTF8(current_font_, prefix.c_str(), &width, &height) == 0 && width <= max_width) {
        low = middle;
      } else {
        high = middle;
      }
    }
    visible.resize(ends[high - 1]);
  }

  RenderedText entry{std::move(key), nullptr, 0, 0};
  ++text_renders_;
  SdlSurfacePtr surface(
      visible.empty() ? nullptr
                      : TTF_RenderUTF8_Blended(current_font_, visible.c_str(), ColourOf(colour)));
  if (surface && surface->w > 0) {
    SDL_RendererInfo info{};
    SDL_GetRendererInfo(renderer_.get(), &info);
    if (info.max_texture_width > 0 && surface->w > info.max_texture_width) {
      SDL_Rect part{0, 0, info.max_texture_width, surface->h};
      SdlSurfacePtr cut(
          SDL_CreateRGBSurfaceWithFormat(0, part.w, part.h, 32, surface->format->format));
      if (cut) {
        SDL_SetSurfaceBlendMode(surface.get(), SDL_BLENDMODE_NONE);
        SDL_BlitSurface(surface.get(), &part, cut.get(), nullptr);
      }
      surface = std::move(cut);
    }
  }
  if (surface) {
    entry.texture.reset(SDL_CreateTextureFromSurface(renderer_.get(), surface.get()));
    entry.width = surface->w;
    entry.height = surface->h;
  }

  texts_.push_front(std::move(entry));
  text_index_.emplace(texts_.front().key, texts_.begin());
  while (texts_.size() > kTextCacheSize) {
    text_index_.erase(texts_.back().key);
    texts_.pop_back();
  }
  return &texts_.front();
}

void SdlDisplay::DrawText(const std::string& text, int32_t x, int32_t y, int32_t colour) {
  if (!open_ || lost_ || text.empty()) return;
  if (!font_chosen_) SetTextFont("", kDefaultFontSize, 1, false, false, false);
  if (current_font_ == nullptr) return;
  // Only what can show on the frame is rendered; a text starting far left of it shows nothing
  // that could be rendered within one texture.
  int64_t max_width = static_cast<int64_t>(logical_width_) - x;
  if (max_width <= 0 || max_width > 16384 || y >= logical_height_) return;
  const RenderedText* rendered =
      TextFor(text, static_cast<uint32_t>(colour) & 0xFFFFFF, static_cast<int32_t>(max_width));
  if (rendered == nullptr || !rendered->texture) return;
  SDL_Rect where{x, y, rendered->width, rendered->height};
  SDL_RenderCopy(renderer_.get(), rendered->texture.get(), nullptr, &where);
}

void SdlDisplay::Flip() {
  if (!open_ || lost_) return;
  SDL_Renderer* renderer = renderer_.get();
  SDL_SetRenderTarget(renderer, nullptr);
  SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
  SDL_RenderClear(renderer);
  SDL_RenderCopy(renderer, frame_.get(), nullptr, nullptr);
  SDL_RenderPresent(renderer);
  SDL_SetRenderTarget(renderer, frame_.get());
  PaceFrame();
}

// Keeps the frame rate at the display's refresh rate without spinning: where presenting waits
// for the vertical blank the deadline has passed by the time we get here; otherwise we sleep to
// the next frame boundary.
void SdlDisplay::PaceFrame() {
  auto now = std::chrono::steady_clock::now();
  next_frame_ += frame_period_;
  if (next_frame_ <= now) {
    next_frame_ = now;  // fallen behind: count the next frame from now
  } else {
    std::this_thread::sleep_until(next_frame_);
  }
}

void SdlDisplay::HandleWindowSystemEvent(const SDL_Event& event) {
  const XEvent& x_event = event.syswm.msg->msg.x11.event;
  if (x_event.type == DestroyNotify &&
      x_event.xdestroywindow.window == static_cast<Window>(options_.embed_window)) {
    g_embedded_window_failed = true;
  }
}

void SdlDisplay::PumpEvents(DisplayEvents& events) {
  if (!video_started_) return;
  SDL_Event event;
  while (SDL_PollEvent(&event) != 0) {
    switch (event.type) {
      case SDL_QUIT:
      case SDL_RENDER_DEVICE_RESET:
        lost_ = true;
        break;
      case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) lost_ = true;
        break;
      case SDL_SYSWMEVENT:
        if (options_.embed_window != 0 && event.syswm.msg != nullptr &&
            event.syswm.msg->subsystem == SDL_SYSWM_X11) {
          HandleWindowSystemEvent(event);
        }
        break;
      case SDL_MOUSEMOTION:
        // The first report only says where the pointer already is (the window appeared under
        // it), and a report of the same place is no movement; neither counts.
        if (options_.accept_input && pointer_known_ &&
            (event.motion.x != pointer_x_ || event.motion.y != pointer_y_)) {
          events.OnPointerMoved();
        }
        pointer_known_ = true;
        pointer_x_ = event.motion.x;
        pointer_y_ = event.motion.y;
        break;
      case SDL_MOUSEBUTTONDOWN:
        if (options_.accept_input) events.OnButton();
        break;
      case SDL_KEYDOWN:
        if (options_.accept_input) events.OnKey();
        break;
      default:
        break;
    }
  }
  if (options_.embed_window != 0 && g_embedded_window_failed) lost_ = true;
}

void SdlDisplay::SetCursorVisible(bool visible) {
  cursor_visible_ = visible;
  if (video_started_) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

bool SdlDisplay::CheckDisplay() {
  if (options_.embed_window != 0 && g_embedded_window_failed) lost_ = true;
  return open_ && !lost_;
}

SdlSurfacePtr SdlDisplay::CaptureFrame() {
  if (!open_) return nullptr;
  SdlSurfacePtr surface(
      SDL_CreateRGBSurfaceWithFormat(0, logical_width_, logical_height_, 32, kFrameFormat));
  if (!surface) return nullptr;
  if (SDL_RenderReadPixels(renderer_.get(), nullptr, kFrameFormat, surface->pixels,
                           surface->pitch) != 0) {
    return nullptr;
  }
  return surface;
}

bool SdlDisplay::SaveScreenshot(const std::string& bmp_path) {
  SdlSurfacePtr frame = CaptureFrame();
  return frame && SDL_SaveBMP(frame.get(), bmp_path.c_str()) == 0;
}

std::string SdlDisplay::RendererName() const {
  SDL_RendererInfo info{};
  if (!renderer_ || SDL_GetRendererInfo(renderer_.get(), &info) != 0) return {};
  return info.name;
}

void SdlDisplay::ReleaseAll() {
  text_index_.clear();
  texts_.clear();
  current_font_ = nullptr;
  font_chosen_ = false;
  fonts_.clear();
  for (Sprite& sprite : sprites_) sprite.frames.clear();
  pictures_.clear();
  decoded_.clear();
  frame_.reset();
  renderer_.reset();
  window_.reset();
}

void SdlDisplay::CloseDisplay() {
  ReleaseAll();
  if (ttf_started_) {
    TTF_Quit();
    ttf_started_ = false;
  }
  if (video_started_) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    video_started_ = false;
  }
  // Only now, after the last request about the host's window has been answered.
  if (options_.embed_window != 0 && g_embedded_window == options_.embed_window) {
    XErrorHandler current = XSetErrorHandler(g_previous_error_handler);
    if (current != EmbeddedWindowErrorHandler) {
      // A handler installed after ours stays; ours, beneath it, now only passes errors on.
      XSetErrorHandler(current);
    } else {
      g_previous_error_handler = nullptr;
    }
    g_embedded_window = 0;
  }
  open_ = false;
}

}  // namespace larkspill

#include "platform/sdl_display.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <stdexcept>
#include <thread>

#include "platform/picture_file.h"
#include "platform/regular_file.h"
#include "platform/x11_errors.h"
#include "platform/x11_screen_hold.h"

namespace larkspill {
namespace {

// Magenta, the transparent colour, as an RGB565 pixel.
constexpr Uint32 kMagenta565 = 0xF81F;
// The frame is composed in the pictures' widened format, the one X11 and most window systems keep
// 24-bit windows in, so showing a part of it is a plain copy.
constexpr auto kFrameFormat = kWideFormat;
// What CaptureFrame hands out.
constexpr auto kCaptureFormat = SDL_PIXELFORMAT_ARGB8888;
constexpr int kDefaultFontSize = 16;
// Drawings one frame may pile up before they are composed anyway, so a caller that never calls
// Flip cannot grow the list without bound.
constexpr size_t kMaxPendingDrawings = 4096;
// Drawings kept for a frame that has nothing covering it whole; beyond this the frame's pixels
// are taken as they are and the next frame that covers it whole is composed in full.
constexpr size_t kMaxComposedDrawings = 256;

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

// With `keyed`, magenta becomes the picture's colour key; the key is run-length encoded, which
// makes drawing a keyed sprite a copy of its visible runs.
void KeyOnMagenta(SDL_Surface* wide) {
  SDL_SetColorKey(wide, SDL_TRUE, SDL_MapRGB(wide->format, 255, 0, 255));
  SDL_SetSurfaceRLE(wide, 1);
}

// The parts of `a` and `b` together, as one rectangle.
SDL_Rect Union(const SDL_Rect& a, const SDL_Rect& b) {
  SDL_Rect both;
  SDL_UnionRect(&a, &b, &both);
  return both;
}

// Whether two rectangles overlap or touch, so that one rectangle holding both wastes little.
bool Adjoin(const SDL_Rect& a, const SDL_Rect& b) {
  return a.x <= b.x + b.w && b.x <= a.x + a.w && a.y <= b.y + b.h && b.y <= a.y + a.h;
}

// Joins rectangles that overlap or touch until none do, so no pixel is composed or sent twice.
void MergeRects(std::vector<SDL_Rect>& rects) {
  for (bool joined = true; joined;) {
    joined = false;
    for (size_t i = 0; i < rects.size(); ++i) {
      for (size_t j = i + 1; j < rects.size();) {
        if (Adjoin(rects[i], rects[j])) {
          rects[i] = Union(rects[i], rects[j]);
          rects[j] = rects.back();
          rects.pop_back();
          joined = true;
        } else {
          ++j;
        }
      }
    }
  }
}

// Nanoseconds on `clock_id`.
int64_t NowNs(clockid_t clock_id) {
  timespec now{};
  clock_gettime(clock_id, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Milliseconds since this process started, from the kernel's record of its start (to its clock
// tick, 10 ms on most systems); -1 when unknown.
double MillisecondsSinceProcessStart() {
  std::ifstream stat("/proc/self/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  size_t after_name = text.rfind(')');
  if (after_name == std::string::npos) return -1;
  // Field 22 (start time in clock ticks since boot) is the 20th after the name.
  const char* p = text.c_str() + after_name + 1;
  unsigned long long start_ticks = 0;
  for (int field = 0; field < 20 && *p != '\0'; ++field) {
    while (*p == ' ') ++p;
    if (field == 19) start_ticks = std::strtoull(p, nullptr, 10);
    while (*p != ' ' && *p != '\0') ++p;
  }
  long ticks_per_second = sysconf(_SC_CLK_TCK);
  if (start_ticks == 0 || ticks_per_second <= 0) return -1;
  double start_ms = 1000.0 * static_cast<double>(start_ticks) / ticks_per_second;
  return static_cast<double>(NowNs(CLOCK_BOOTTIME)) / 1e6 - start_ms;
}

// Notes an X error instead of ending the program, while a request that may fail is tried.
bool g_x_request_failed = false;
int NoteXError(Display*, XErrorEvent*) {
  g_x_request_failed = true;
  return 0;
}

}  // namespace

struct SdlDisplay::SharedFrame {
  Display* display = nullptr;
  XShmSegmentInfo segment{};
  XImage* image = nullptr;
  int completion_type = 0;
  bool reading = false;  // a request that reads the frame has been sent and not yet answered
};

// What the display did, for measuring it from outside: with LARKSPILL_TRACE set it is printed
// to the standard error when the display closes.
struct SdlDisplay::Trace {
  struct SpriteCounts {
    int64_t moves_x = 0;
    int64_t moves_y = 0;
    int64_t draws = 0;
  };
  int64_t first_flip_realtime_ns = 0;
  double first_flip_since_start_ms = -1;
  int64_t first_flip_ns = 0;
  int64_t last_flip_ns = 0;
  int64_t frames = 0;
  // Milliseconds since the process started at which the display began opening, had opened,
  // and last loaded a picture.
  double open_begin_ms = -1;
  double open_end_ms = -1;
  double last_load_ms = -1;
  std::map<int32_t, SpriteCounts> sprites;
  std::map<std::pair<int32_t, int32_t>, std::set<std::string>> texts;  // by place

  SpriteCounts& For(int32_t sprite) { return sprites[sprite]; }
  void Text(const std::string& text, int32_t x, int32_t y) {
    auto& seen = texts[{x, y}];
    if (seen.size() < 100000) seen.insert(text);
  }
  void Flipped() {
    int64_t now = NowNs(CLOCK_MONOTONIC);
    if (frames++ == 0) {
      first_flip_ns = now;
      first_flip_realtime_ns = NowNs(CLOCK_REALTIME);
      first_flip_since_start_ms = MillisecondsSinceProcessStart();
    }
    last_flip_ns = now;
  }
  void Print(const std::string& renderer, int windows, int64_t composed, int64_t presented) const {
    if (frames == 0) return;
    std::fprintf(stderr, "larkspill-trace renderer %s\n", renderer.c_str());
    std::fprintf(stderr, "larkspill-trace windows %d\n", windows);
    std::fprintf(stderr, "larkspill-trace first_frame_realtime_ns %lld\n",
                 static_cast<long long>(first_flip_realtime_ns));
    std::fprintf(stderr, "larkspill-trace first_frame_since_start_ms %.1f\n",
                 first_flip_since_start_ms);
    std::fprintf(stderr, "larkspill-trace open_display_ms %.1f %.1f\n", open_begin_ms, open_end_ms);
    std::fprintf(stderr, "larkspill-trace last_picture_ms %.1f\n", last_load_ms);
    std::fprintf(stderr, "larkspill-trace frames %lld\n", static_cast<long long>(frames));
    std::fprintf(stderr, "larkspill-trace seconds %.6f\n", (last_flip_ns - first_flip_ns) / 1e9);
    std::fprintf(stderr, "larkspill-trace pixels_composed %lld\n",
                 static_cast<long long>(composed));
    std::fprintf(stderr, "larkspill-trace pixels_presented %lld\n",
                 static_cast<long long>(presented));
    for (const auto& [sprite, counts] : sprites) {
      std::fprintf(stderr, "larkspill-trace sprite %d draws %lld moves_x %lld moves_y %lld\n",
                   sprite, static_cast<long long>(counts.draws),
                   static_cast<long long>(counts.moves_x), static_cast<long long>(counts.moves_y));
    }
    for (const auto& [place, seen] : texts) {
      std::fprintf(stderr, "larkspill-trace texts_at %d %d distinct %zu\n", place.first,
                   place.second, seen.size());
    }
  }
};

size_t SdlDisplay::TextKeyHash::operator()(const TextKey& key) const {
  size_t h = std::hash<std::string>{}(key.text);
  h ^= std::hash<const void*>{}(key.font) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
  h ^= std::hash<uint32_t>{}(key.colour) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
  h ^= std::hash<int32_t>{}(key.max_width) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
  return h;
}

SdlDisplay::SdlDisplay(Clock& clock, SdlDisplayOptions options)
    : clock_(clock), options_(std::move(options)) {
  const char* trace = std::getenv("LARKSPILL_TRACE");
  if (trace != nullptr && *trace != '\0' && *trace != '0') trace_ = std::make_unique<Trace>();
}

SdlDisplay::~SdlDisplay() {
  CloseDisplay();
}

bool SdlDisplay::OpenDisplay(int32_t width, int32_t height, int32_t /*bits*/,
                             const std::string& /*device*/) {
  if (open_) return true;
  if (trace_) trace_->open_begin_ms = MillisecondsSinceProcessStart();
  if (width <= 0 || height <= 0 || width > 8192 || height > 8192) {
    std::fprintf(stderr, "larkspill: cannot open a display of %d x %d pixels\n", width, height);
    return false;
  }
  logical_width_ = width;
  logical_height_ = height;

  // The lightest correct path without a GPU: the frame is written straight into the window's
  // shared-memory image, not through an OpenGL framebuffer emulated on the CPU.
  SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_DEFAULT);
  // Power saving belongs to the desktop or the host; the saver does not block it.
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  // SIGINT and SIGTERM belong to the program's event loop, not to SDL.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // With a window on each monitor, the one without the focus must stay up.
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  // The saver takes no text, so the input method SDL opens needs no compose sequences: reading
  // the locale's table of them (thousands of lines) was a sixth of the time to the first frame.
  // A table the user names is still read.
  setenv("XCOMPOSEFILE", "/dev/null", 0);
  // Without this, SDL falls back to drawing into memory that no screen shows when the X display
  // cannot be opened.
  if (!options_.video_driver.empty()) {
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, options_.video_driver.c_str(), SDL_HINT_OVERRIDE);
  }
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    const char* x_display = std::getenv("DISPLAY");
    if (options_.video_driver == "x11" && (x_display == nullptr || *x_display == '\0')) {
      std::fprintf(stderr, "larkspill: cannot open the display: DISPLAY is not set\n");
    } else if (options_.video_driver == "x11") {
      std::fprintf(stderr,
                   "larkspill: cannot open the X display %s: it is not there or refuses the "
                   "connection\n",
                   x_display);
    } else {
      std::fprintf(stderr, "larkspill: cannot open the display: %s\n", SDL_GetError());
    }
    return false;
  }
  video_started_ = true;
  // The clock and the message need the font list, made ready while the window comes up. Not
  // before SDL's start: it may start a D-Bus session bus, whose child process must not be forked
  // while other threads are busy.
  font_lookup_.Prepare();

  auto fail = [this](const char* what) {
    std::fprintf(stderr, "larkspill: cannot open the display: %s: %s\n", what, SDL_GetError());
    CloseDisplay();
    return false;
  };

  if (!OpenWindows(width, height))
    return fail(options_.embed_window != 0 ? "host window" : "window");
  // A palette display (8-bit pseudo-colour) cannot show the scene's 16-bit colours.
  for (const Screen& screen : screens_) {
    const Uint32 format = SDL_GetWindowPixelFormat(screen.window.get());
    if (SDL_ISPIXELFORMAT_INDEXED(format) || SDL_BITSPERPIXEL(format) < 15) {
      std::fprintf(stderr,
                   "larkspill: cannot open the display: its colours come from a palette or have "
                   "fewer than 15 bits a pixel, too few for the scene's\n");
      CloseDisplay();
      return false;
    }
  }

  if (!ShareFrameWithX11()) {
    frame_.reset(SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, kFrameFormat));
  }
  if (!frame_) return fail("frame");
  SDL_FillRect(frame_.get(), nullptr, SDL_MapRGB(frame_->format, 0, 0, 0));
  for (Screen& screen : screens_) UseX11(screen);
  HoldScreen();
  composed_.assign(1, Drawing{.where = {0, 0, width, height},
                              .colour = SDL_MapRGB(frame_->format, 0, 0, 0),
                              .opaque = true});
  composed_known_ = true;
  drawings_.clear();
  changed_.clear();

  if (!ttf_started_) {
    if (TTF_Init() != 0) return fail("fonts");
    ttf_started_ = true;
  }

  int refresh = 0;
  SDL_DisplayMode mode{};
  int display_index = SDL_GetWindowDisplayIndex(screens_.front().window.get());
  if (display_index >= 0 && SDL_GetCurrentDisplayMode(display_index, &mode) == 0) {
    refresh = mode.refresh_rate;
  }
  if (refresh <= 0) refresh = 60;
  refresh = std::clamp(refresh, 24, 240);
  frame_period_ = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(1.0 / refresh));
  next_frame_ = std::chrono::steady_clock::now();
  last_frame_start_ = next_frame_ - frame_period_;

  SDL_ShowCursor(cursor_visible_ ? SDL_ENABLE : SDL_DISABLE);
  open_ = true;
  if (trace_) trace_->open_end_ms = MillisecondsSinceProcessStart();
  lost_ = false;
  return true;
}

// The windows that show the frame: the host's, or one full-screen window on each monitor, or
// one resizable window.
bool SdlDisplay::OpenWindows(int32_t width, int32_t height) {
  screens_.clear();
  auto add = [this](SDL_Window* window) {
    if (window == nullptr) return false;
    Screen& screen = screens_.emplace_back();
    screen.window.reset(window);
    screen.window_id = SDL_GetWindowID(window);
    return true;
  };
  if (options_.embed_window != 0) {
    // Errors about the host's window must not end the program when its owner destroys it.
    g_embedded_window = static_cast<Window>(options_.embed_window);
    g_embedded_window_failed = false;
    g_previous_error_handler = XSetErrorHandler(EmbeddedWindowErrorHandler);
    if (!add(SDL_CreateWindowFrom(reinterpret_cast<const void*>(options_.embed_window))) ||
        g_embedded_window_failed) {
      return false;
    }
    WatchEmbeddedWindow();
    return true;
  }
  if (!options_.fullscreen) {
    return add(SDL_CreateWindow(options_.title.c_str(), SDL_WINDOWPOS_UNDEFINED,
                                SDL_WINDOWPOS_UNDEFINED, width, height, SDL_WINDOW_RESIZABLE));
  }
  // Every monitor shows the whole scene, each in a window covering just that monitor. On X11
  // that is a borderless override-redirect window the size of the monitor: full screen with or
  // without a window manager, and never stacked below another window by one (HoldScreen).
  const bool x11 = std::string_view(SDL_GetCurrentVideoDriver()) == "x11";
  int monitors = std::max(1, SDL_GetNumVideoDisplays());
  for (int monitor = 0; monitor < monitors; ++monitor) {
    SDL_Rect bounds{};
    SDL_Window* window = nullptr;
    if (x11 && SDL_GetDisplayBounds(monitor, &bounds) == 0) {
      SDL_SetHint(SDL_HINT_X11_FORCE_OVERRIDE_REDIRECT, "1");
      window = SDL_CreateWindow(options_.title.c_str(), bounds.x, bounds.y, bounds.w, bounds.h,
                                SDL_WINDOW_BORDERLESS);
      SDL_ResetHint(SDL_HINT_X11_FORCE_OVERRIDE_REDIRECT);
    } else {
      window = SDL_CreateWindow(options_.title.c_str(), SDL_WINDOWPOS_UNDEFINED_DISPLAY(monitor),
                                SDL_WINDOWPOS_UNDEFINED_DISPLAY(monitor), width, height,
                                SDL_WINDOW_FULLSCREEN_DESKTOP);
    }
    if (!add(window)) return false;
  }
  return true;
}

// Asks the X server to tell us when the host resizes or destroys its window; SDL does not
// watch windows it did not create.
void SdlDisplay::WatchEmbeddedWindow() {
  SDL_SysWMinfo wm;
  SDL_VERSION(&wm.version);
  if (!SDL_GetWindowWMInfo(screens_.front().window.get(), &wm) || wm.subsystem != SDL_SYSWM_X11) {
    return;
  }
  Display* x_display = wm.info.x11.display;
  host_x_display_ = x_display;
  Window host = static_cast<Window>(options_.embed_window);
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
  // Exposure too: only the changed parts of a frame are sent, so the whole frame is sent again
  // when the server has lost what the window showed.
  XSelectInput(x_display, host, StructureNotifyMask | ExposureMask);
  XSync(x_display, False);
  if (options_.accept_input) {
    // Another client (the host) may hold the button presses; then we keep structure events only.
    bool failed_before = g_embedded_window_failed;
    XSelectInput(
        x_display, host,
        StructureNotifyMask | ExposureMask | PointerMotionMask | ButtonPressMask | KeyPressMask);
    XSync(x_display, False);
    if (!failed_before && g_embedded_window_failed) {
      g_embedded_window_failed = false;
      XSelectInput(x_display, host, StructureNotifyMask | ExposureMask);
      XSync(x_display, False);
    }
  }
}

// In its own full-screen windows on X11 the saver keeps them above every other window and takes
// the keyboard and pointer. A host's window, and a resizable window, are left to their owners.
void SdlDisplay::HoldScreen() {
  if (!options_.fullscreen || options_.embed_window != 0 || !options_.accept_input) return;
  if (std::string_view(SDL_GetCurrentVideoDriver()) != "x11") return;
  std::vector<unsigned long> windows;
  for (Screen& screen : screens_) {
    SDL_SysWMinfo wm;
    SDL_VERSION(&wm.version);
    if (!SDL_GetWindowWMInfo(screen.window.get(), &wm) || wm.subsystem != SDL_SYSWM_X11) return;
    windows.push_back(wm.info.x11.window);
  }
  for (unsigned long window : windows) WatchOwnXWindow(window);
  hold_ = X11ScreenHold::Take(windows);
}

// Whether another client destroyed a window of ours, or made a request about it fail.
bool SdlDisplay::WindowLost() const {
  if (options_.embed_window != 0) return g_embedded_window_failed;
  return (hold_ && hold_->WindowGone()) || OwnXWindowFailed();
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

SdlSurfacePtr SdlDisplay::WidePicture(const std::string& path, bool keyed) {
  std::string error;
  RegularFile file = OpenRegularFile(path, &error);
  SdlSurfacePtr wide;
  if (file.IsOpen()) {
    ++picture_decodes_;
    // The display shows 16 bits per pixel: every picture is quantised to RGB565 once, here.
    wide = ReadWidePicture(file.fd(), file.size(), row_, &error);
  }
  if (!wide) throw AssetError("cannot load picture " + path + ": " + error);
  if (keyed) KeyOnMagenta(wide.get());
  return wide;
}

const SdlDisplay::Picture& SdlDisplay::PictureFor(const std::string& path, int32_t key_mode) {
  bool keyed = key_mode == kKeyTransparent;
  auto key = std::make_pair(path, keyed ? kKeyTransparent : kKeyOpaque);
  if (auto it = pictures_.find(key); it != pictures_.end()) return *it->second;

  auto made = std::make_unique<Picture>();
  made->surface = WidePicture(path, keyed);
  made->keyed = keyed;
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
  if (trace_) trace_->last_load_ms = MillisecondsSinceProcessStart();
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
  if (trace_) ++trace_->For(sprite).moves_x;
  target.x = static_cast<int32_t>(static_cast<uint32_t>(target.x) + static_cast<uint32_t>(step));
}

void SdlDisplay::MoveSpriteY(int32_t sprite, int32_t step) {
  Sprite& target = SpriteAt(sprite);
  if (trace_) ++trace_->For(sprite).moves_y;
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
  if (trace_) ++trace_->For(sprite).draws;
  SDL_Surface* surface = picture->surface.get();
  AddDrawing({.source = surface,
              .where = {target.x, target.y, surface->w, surface->h},
              .opaque = !picture->keyed});
}

void SdlDisplay::ClearBackBuffer(int32_t colour) {
  if (!open_ || lost_) return;
  SDL_Color c = ColourOf(static_cast<uint32_t>(colour));
  AddDrawing({.where = {0, 0, logical_width_, logical_height_},
              .colour = SDL_MapRGB(frame_->format, c.r, c.g, c.b),
              .opaque = true});
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

  RenderedText entry{std::move(key), nullptr};
  ++text_renders_;
  if (!visible.empty()) {
    entry.surface.reset(TTF_RenderUTF8_Blended(current_font_, visible.c_str(), ColourOf(colour)),
                        SdlSurfaceDeleter{});
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
  // that could be rendered within one picture.
  int64_t max_width = static_cast<int64_t>(logical_width_) - x;
  if (max_width <= 0 || max_width > 16384 || y >= logical_height_) return;
  const RenderedText* rendered =
      TextFor(text, static_cast<uint32_t>(colour) & 0xFFFFFF, static_cast<int32_t>(max_width));
  if (rendered == nullptr || !rendered->surface) return;
  if (trace_) trace_->Text(text, x, y);
  SDL_Surface* surface = rendered->surface.get();
  AddDrawing(
      {.source = surface, .keep = rendered->surface, .where = {x, y, surface->w, surface->h}});
}

void SdlDisplay::AddDrawing(Drawing drawing) {
  drawings_.push_back(std::move(drawing));
  if (drawings_.size() >= kMaxPendingDrawings) Compose();
}

// Brings the frame up to date with the drawings made since it was last composed. Where this
// frame's list of drawings (from the last one covering the whole frame) matches the list the
// frame shows, drawing by drawing, nothing can have changed; only the places of drawings that
// differ are composed again, each with every drawing that touches it, in order.
void SdlDisplay::Compose() {
  if (drawings_.empty()) return;
  WaitForX11Reading();
  size_t cover = drawings_.size();
  for (size_t i = drawings_.size(); i-- > 0;) {
    const Drawing& d = drawings_[i];
    if (d.opaque && d.where.x <= 0 && d.where.y <= 0 && d.where.x + d.where.w >= logical_width_ &&
        d.where.y + d.where.h >= logical_height_) {
      cover = i;
      break;
    }
  }

  std::vector<SDL_Rect> regions;
  if (cover < drawings_.size()) {
    std::vector<Drawing> frame(std::make_move_iterator(drawings_.begin() + cover),
                               std::make_move_iterator(drawings_.end()));
    if (composed_known_) {
      for (size_t i = 0; i < std::max(frame.size(), composed_.size()); ++i) {
        const Drawing* now = i < frame.size() ? &frame[i] : nullptr;
        const Drawing* before = i < composed_.size() ? &composed_[i] : nullptr;
        if (now != nullptr && before != nullptr && *now == *before) continue;
        if (now != nullptr) AddChanged(now->where, regions);
        if (before != nullptr) AddChanged(before->where, regions);
      }
    } else {
      AddChanged({0, 0, logical_width_, logical_height_}, regions);
    }
    composed_ = std::move(frame);
    composed_known_ = true;
    Repaint(composed_, std::move(regions));
  } else if (composed_known_ && composed_.size() + drawings_.size() <= kMaxComposedDrawings) {
    // Drawn over the frame as it is: the frame shows the old list followed by the new drawings.
    for (const Drawing& d : drawings_) AddChanged(d.where, regions);
    composed_.insert(composed_.end(), std::make_move_iterator(drawings_.begin()),
                     std::make_move_iterator(drawings_.end()));
    Repaint(composed_, std::move(regions));
  } else {
    for (const Drawing& d : drawings_) {
      Paint(d);
      AddChanged(d.where, changed_);
    }
    composed_.clear();
    composed_known_ = false;
  }
  drawings_.clear();
}

// Composes the frame again inside each region: every drawing that touches it, in order.
void SdlDisplay::Repaint(const std::vector<Drawing>& drawings, std::vector<SDL_Rect> regions) {
  MergeRects(regions);
  for (const SDL_Rect& region : regions) {
    SDL_SetClipRect(frame_.get(), &region);
    // What lies under an opaque drawing that covers the whole region cannot show.
    size_t first = 0;
    for (size_t i = drawings.size(); i-- > 0;) {
      const Drawing& d = drawings[i];
      if (d.opaque && d.where.x <= region.x && d.where.y <= region.y &&
          d.where.x + d.where.w >= region.x + region.w &&
          d.where.y + d.where.h >= region.y + region.h) {
        first = i;
        break;
      }
    }
    for (size_t i = first; i < drawings.size(); ++i) {
      if (SDL_HasIntersection(&drawings[i].where, &region)) Paint(drawings[i]);
    }
    pixels_composed_ += static_cast<int64_t>(region.w) * region.h;
    changed_.push_back(region);
  }
  SDL_SetClipRect(frame_.get(), nullptr);
}

// Draws one drawing into the frame, inside the frame's clip rectangle.
void SdlDisplay::Paint(const Drawing& drawing) {
  SDL_Rect where = drawing.where;  // SDL writes the clipped rectangle back
  if (drawing.source == nullptr) {
    SDL_FillRect(frame_.get(), &where, drawing.colour);
  } else if (drawing.opaque) {
    // An opaque picture is in the frame's format: its rows are copied as they are.
    SDL_Rect part;
    if (!SDL_IntersectRect(&where, &frame_->clip_rect, &part)) return;
    const SDL_Surface* from = drawing.source;
    const size_t bytes = static_cast<size_t>(part.w) * 4;
    for (int y = part.y; y < part.y + part.h; ++y) {
      const auto* source = static_cast<const Uint8*>(from->pixels) + (y - where.y) * from->pitch +
                           (part.x - where.x) * 4;
      auto* target = static_cast<Uint8*>(frame_->pixels) + y * frame_->pitch + part.x * 4;
      std::memcpy(target, source, bytes);
    }
  } else {
    SDL_BlitSurface(drawing.source, nullptr, frame_.get(), &where);
  }
}

// Adds the part of `rect` that lies on the frame.
void SdlDisplay::AddChanged(SDL_Rect rect, std::vector<SDL_Rect>& to) const {
  SDL_Rect frame{0, 0, logical_width_, logical_height_};
  SDL_Rect part;
  if (SDL_IntersectRect(&rect, &frame, &part)) to.push_back(part);
}

void SdlDisplay::Flip() {
  if (!open_ || lost_) return;
  // A frame that changes nothing sends nothing, so the host destroying its window would go
  // unnoticed until the next change; its notice may already be waiting.
  if (host_x_display_ != nullptr) {
    XEvent gone;
    if (XCheckTypedWindowEvent(host_x_display_, static_cast<Window>(options_.embed_window),
                               DestroyNotify, &gone)) {
      g_embedded_window_failed = true;
      lost_ = true;
      return;
    }
  }
  Compose();
  MergeRects(changed_);
  for (Screen& screen : screens_) Present(screen);
  changed_.clear();
  if (trace_) trace_->Flipped();
  PaceFrame();
}

// Where the frame goes on a window: as large as fits, centred, with black bars on the other two
// sides; each window pixel shows the nearest frame pixel. A window too small to hold a whole
// pixel of it in one direction (1 x 1 for a 4:3 frame) shows nothing but black.
void SdlDisplay::PlaceView(Screen& screen) {
  const int w = screen.surface_w;
  const int h = screen.surface_h;
  screen.source_col.clear();
  screen.source_row.clear();
  if (w <= 0 || h <= 0) {
    screen.view = {};
    return;
  }
  const float want_aspect = static_cast<float>(logical_width_) / logical_height_;
  const float real_aspect = static_cast<float>(w) / h;
  SDL_Rect& view = screen.view;
  if (w == logical_width_ && h == logical_height_) {
    view = {0, 0, w, h};
  } else if (SDL_fabs(want_aspect - real_aspect) < 0.0001) {
    view = {0, 0, w, h};
  } else if (want_aspect > real_aspect) {
    const float scale = static_cast<float>(w) / logical_width_;
    view.x = 0;
    view.w = w;
    view.h = static_cast<int>(SDL_floor(logical_height_ * scale));
    view.y = (h - view.h) / 2;
  } else {
    const float scale = static_cast<float>(h) / logical_height_;
    view.y = 0;
    view.h = h;
    view.w = static_cast<int>(SDL_floor(logical_width_ * scale));
    view.x = (w - view.w) / 2;
  }
  if (view.w <= 0 || view.h <= 0) {
    view = {};
    return;
  }
  if (view.w == logical_width_ && view.h == logical_height_) return;
  // Nearest-pixel sampling in 16.16 fixed point, each window pixel taking the frame pixel under
  // its centre.
  auto sample = [](int from, int to, std::vector<int>& source, std::vector<int>& first) {
    source.resize(to);
    first.assign(from + 1, to);
    const uint64_t step = (static_cast<uint64_t>(from) << 16) / to;
    uint64_t position = step / 2;
    for (int i = 0; i < to; ++i, position += step) {
      source[i] = std::min(from - 1, static_cast<int>(position >> 16));
    }
    for (int i = to; i-- > 0;) {
      for (int n = source[i]; n >= 0 && first[n] > i; --n) first[n] = i;
    }
  };
  sample(logical_width_, view.w, screen.source_col, screen.first_col);
  sample(logical_height_, view.h, screen.source_row, screen.first_row);
}

// The window rectangle that shows `part` of the frame.
SDL_Rect SdlDisplay::ShownRect(const Screen& screen, const SDL_Rect& part) const {
  const SDL_Rect& view = screen.view;
  if (view.w <= 0 || view.h <= 0) return {};
  if (screen.source_col.empty()) return {view.x + part.x, view.y + part.y, part.w, part.h};
  const int left = screen.first_col[part.x];
  const int top = screen.first_row[part.y];
  return {view.x + left, view.y + top, screen.first_col[part.x + part.w] - left,
          screen.first_row[part.y + part.h] - top};
}

// Writes the window rectangle `shown` of a scaled view into `to`, a block of 32-bit pixels in
// the frame's format `pitch` bytes a row.
void SdlDisplay::ScalePart(const Screen& screen, const SDL_Rect& shown, Uint8* to,
                           int pitch) const {
  const int left = shown.x - screen.view.x;
  const int top = shown.y - screen.view.y;
  const auto* frame_pixels = static_cast<const Uint8*>(frame_->pixels);
  int previous_row = -1;
  for (int y = 0; y < shown.h; ++y) {
    auto* row_to = reinterpret_cast<Uint32*>(to + y * pitch);
    const int row = screen.source_row[top + y];
    if (row == previous_row) {
      std::memcpy(row_to, to + (y - 1) * pitch, static_cast<size_t>(shown.w) * 4);
      continue;
    }
    previous_row = row;
    const auto* from = reinterpret_cast<const Uint32*>(frame_pixels + row * frame_->pitch);
    for (int x = 0; x < shown.w; ++x) row_to[x] = from[screen.source_col[left + x]];
  }
}

// Puts `part` of the frame on the window's surface, and says which window rectangle now shows
// it.
void SdlDisplay::CopyToView(Screen& screen, const SDL_Rect& part, SDL_Rect& shown) {
  SDL_Surface* surface = screen.surface;
  shown = ShownRect(screen, part);
  if (shown.w <= 0 || shown.h <= 0) return;
  const bool same_format =
      surface->format->BytesPerPixel == 4 && surface->format->Rmask == frame_->format->Rmask &&
      surface->format->Gmask == frame_->format->Gmask &&
      surface->format->Bmask == frame_->format->Bmask && !SDL_MUSTLOCK(surface);
  if (screen.source_col.empty()) {
    if (!same_format) {
      SDL_Rect from = part;
      SDL_Rect to = shown;
      SDL_BlitSurface(frame_.get(), &from, surface, &to);
      return;
    }
    const size_t bytes = static_cast<size_t>(part.w) * 4;
    for (int y = 0; y < part.h; ++y) {
      std::memcpy(
          static_cast<Uint8*>(surface->pixels) + (shown.y + y) * surface->pitch + shown.x * 4,
          static_cast<const Uint8*>(frame_->pixels) + (part.y + y) * frame_->pitch + part.x * 4,
          bytes);
    }
    return;
  }
  if (same_format) {
    ScalePart(screen, shown,
              static_cast<Uint8*>(surface->pixels) + shown.y * surface->pitch + shown.x * 4,
              surface->pitch);
    return;
  }
  // By way of a buffer in the frame's format that SDL then converts.
  if (!view_buffer_ || view_buffer_->w < shown.w || view_buffer_->h < shown.h) {
    view_buffer_.reset(SDL_CreateRGBSurfaceWithFormat(
        0, std::max(shown.w, screen.view.w), std::max(shown.h, screen.view.h), 32, kFrameFormat));
    if (!view_buffer_) return;
  }
  ScalePart(screen, shown, static_cast<Uint8*>(view_buffer_->pixels), view_buffer_->pitch);
  SDL_Rect from{0, 0, shown.w, shown.h};
  SDL_Rect to = shown;
  SDL_BlitSurface(view_buffer_.get(), &from, surface, &to);
}

// Sends the changed parts of the frame to one window, or the whole window when it is new,
// resized or was exposed.
void SdlDisplay::Present(Screen& screen) {
  if (screen.x_display != nullptr) {
    PresentX11(screen);
    return;
  }
  SDL_Surface* surface = SDL_GetWindowSurface(screen.window.get());
  if (surface == nullptr) return;
  if (surface != screen.surface || surface->w != screen.surface_w ||
      surface->h != screen.surface_h) {
    screen.surface = surface;
    screen.surface_w = surface->w;
    screen.surface_h = surface->h;
    PlaceView(screen);
    screen.whole = true;
  }
  if (screen.whole) {
    SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
    SDL_Rect shown;
    CopyToView(screen, {0, 0, logical_width_, logical_height_}, shown);
    SDL_UpdateWindowSurface(screen.window.get());
    pixels_presented_ += static_cast<int64_t>(surface->w) * surface->h;
    screen.whole = false;
    return;
  }
  if (changed_.empty()) return;
  shown_.clear();
  for (const SDL_Rect& part : changed_) {
    SDL_Rect shown;
    CopyToView(screen, part, shown);
    if (shown.w > 0 && shown.h > 0) {
      shown_.push_back(shown);
      pixels_presented_ += static_cast<int64_t>(shown.w) * shown.h;
    }
  }
  if (!shown_.empty()) {
    SDL_UpdateWindowSurfaceRects(screen.window.get(), shown_.data(),
                                 static_cast<int>(shown_.size()));
  }
}

// Puts the frame in memory shared with the X server (MIT-SHM), where the server is this
// machine and the windows keep pixels as the frame does; false leaves the frame to be made in
// ordinary memory.
bool SdlDisplay::ShareFrameWithX11() {
  if (std::string_view(SDL_GetCurrentVideoDriver()) != "x11") return false;
  SDL_SysWMinfo wm;
  SDL_VERSION(&wm.version);
  if (!SDL_GetWindowWMInfo(screens_.front().window.get(), &wm) || wm.subsystem != SDL_SYSWM_X11) {
    return false;
  }
  Display* display = wm.info.x11.display;
  XWindowAttributes attributes{};
  if (!XShmQueryExtension(display) ||
      XGetWindowAttributes(display, wm.info.x11.window, &attributes) == 0 ||
      attributes.visual == nullptr || attributes.visual->red_mask != 0xFF0000 ||
      attributes.visual->green_mask != 0xFF00 || attributes.visual->blue_mask != 0xFF) {
    return false;
  }
  auto shared = std::make_unique<SharedFrame>();
  shared->display = display;
  XShmSegmentInfo& segment = shared->segment;
  XImage* image = XShmCreateImage(display, attributes.visual, attributes.depth, ZPixmap, nullptr,
                                  &segment, logical_width_, logical_height_);
  if (image == nullptr) return false;
  if (image->bits_per_pixel != 32 || image->bytes_per_line != logical_width_ * 4) {
    XDestroyImage(image);
    return false;
  }
  segment.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(image->bytes_per_line) * image->height,
                         IPC_CREAT | 0600);
  if (segment.shmid < 0) {
    XDestroyImage(image);
    return false;
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
    return false;
  }
  image->data = segment.shmaddr;
  image->byte_order = SDL_BYTEORDER == SDL_LIL_ENDIAN ? LSBFirst : MSBFirst;
  frame_.reset(SDL_CreateRGBSurfaceWithFormatFrom(segment.shmaddr, logical_width_, logical_height_,
                                                  32, image->bytes_per_line, kFrameFormat));
  if (!frame_) {
    XShmDetach(display, &segment);
    image->data = nullptr;
    XDestroyImage(image);
    shmdt(segment.shmaddr);
    return false;
  }
  shared->image = image;
  shared->completion_type = XShmGetEventBase(display) + ShmCompletion;
  // The server's word that it has read the frame comes among the window-system events.
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
  shared_frame_ = std::move(shared);
  return true;
}

// Waits, where it has not already said so, until the server has read the frame it was last
// asked to show, so composing the next one cannot change what it shows.
void SdlDisplay::WaitForX11Reading() {
  if (!shared_frame_ || !shared_frame_->reading) return;
  XEvent done;
  Display* display = shared_frame_->display;
  if (!XCheckTypedEvent(display, shared_frame_->completion_type, &done)) {
    XSync(display, False);  // the server handles requests in order: now it has read the frame
    XCheckTypedEvent(display, shared_frame_->completion_type, &done);
  }
  shared_frame_->reading = false;
}

// Sends the frame to the window on SDL's own X connection when the window keeps pixels as the
// frame does (32 bits, 8 bits a colour): the changed parts are put on the window straight from
// the frame, with no copy of the window's pixels in between and no wait for the server to
// answer. Anything else keeps to SDL's window surface.
void SdlDisplay::UseX11(Screen& screen) {
  if (std::string_view(SDL_GetCurrentVideoDriver()) != "x11") return;
  SDL_SysWMinfo wm;
  SDL_VERSION(&wm.version);
  if (!SDL_GetWindowWMInfo(screen.window.get(), &wm) || wm.subsystem != SDL_SYSWM_X11) return;
  Display* display = wm.info.x11.display;
  Window window = wm.info.x11.window;
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(display, window, &attributes) == 0 || attributes.visual == nullptr ||
      attributes.visual->red_mask != 0xFF0000 || attributes.visual->green_mask != 0xFF00 ||
      attributes.visual->blue_mask != 0xFF || (attributes.depth != 24 && attributes.depth != 32)) {
    return;
  }
  int count = 0;
  int bits = 0;
  if (XPixmapFormatValues* formats = XListPixmapFormats(display, &count)) {
    for (int i = 0; i < count; ++i) {
      if (formats[i].depth == attributes.depth) bits = formats[i].bits_per_pixel;
    }
    XFree(formats);
  }
  if (bits != 32) return;
  XImage* image =
      XCreateImage(display, attributes.visual, attributes.depth, ZPixmap, 0,
                   static_cast<char*>(frame_->pixels), frame_->w, frame_->h, 32, frame_->pitch);
  if (image == nullptr) return;
  // The pixels are in this machine's own order; Xlib turns them round for a server of the other.
  image->byte_order = SDL_BYTEORDER == SDL_LIL_ENDIAN ? LSBFirst : MSBFirst;
  screen.x_display = display;
  screen.x_window = window;
  screen.x_gc = XCreateGC(display, window, 0, nullptr);
  screen.x_frame = image;
}

void SdlDisplay::PresentX11(Screen& screen) {
  Display* display = screen.x_display;
  const Window window = screen.x_window;
  GC gc = screen.x_gc;
  int w = 0;
  int h = 0;
  SDL_GetWindowSize(screen.window.get(), &w, &h);
  if (w <= 0 || h <= 0) return;
  if (w != screen.surface_w || h != screen.surface_h) {
    screen.surface_w = w;
    screen.surface_h = h;
    PlaceView(screen);
    screen.whole = true;
  }
  // The last unscaled part asks for the server's word that it has read the frame.
  auto put = [&](const SDL_Rect& part, bool last) {
    SDL_Rect shown = ShownRect(screen, part);
    if (shown.w <= 0 || shown.h <= 0) return;
    pixels_presented_ += static_cast<int64_t>(shown.w) * shown.h;
    if (screen.source_col.empty()) {
      if (shared_frame_) {
        XShmPutImage(display, window, gc, shared_frame_->image, part.x, part.y, shown.x, shown.y,
                     static_cast<unsigned>(part.w), static_cast<unsigned>(part.h), last);
        shared_frame_->reading = true;
      } else {
        XPutImage(display, window, gc, screen.x_frame, part.x, part.y, shown.x, shown.y,
                  static_cast<unsigned>(part.w), static_cast<unsigned>(part.h));
      }
      return;
    }
    // Scaled in bands of at most 64K pixels, so the buffer stays small even when the whole
    // frame goes, while a changed part (a creature's box) still goes in one request.
    const int band_rows = std::max(1, std::min(shown.h, 65536 / shown.w));
    scaled_.resize(static_cast<size_t>(shown.w) * band_rows);
    for (int top = 0; top < shown.h; top += band_rows) {
      SDL_Rect band{shown.x, shown.y + top, shown.w, std::min(band_rows, shown.h - top)};
      ScalePart(screen, band, reinterpret_cast<Uint8*>(scaled_.data()), band.w * 4);
      XImage* image =
          XCreateImage(display, nullptr, screen.x_frame->depth, ZPixmap, 0,
                       reinterpret_cast<char*>(scaled_.data()), band.w, band.h, 32, band.w * 4);
      if (image == nullptr) return;
      image->byte_order = screen.x_frame->byte_order;
      image->red_mask = screen.x_frame->red_mask;
      image->green_mask = screen.x_frame->green_mask;
      image->blue_mask = screen.x_frame->blue_mask;
      XPutImage(display, window, gc, image, 0, 0, band.x, band.y, static_cast<unsigned>(band.w),
                static_cast<unsigned>(band.h));
      image->data = nullptr;  // ours, not Xlib's to free
      XDestroyImage(image);
    }
  };
  if (screen.whole) {
    // Black bars beside or above and below the frame, then the frame whole.
    const SDL_Rect& v = screen.view;
    XSetForeground(display, gc, 0);
    if (v.x > 0) {
      XFillRectangle(display, window, gc, 0, 0, static_cast<unsigned>(v.x),
                     static_cast<unsigned>(h));
    }
    if (v.x + v.w < w) {
      XFillRectangle(display, window, gc, v.x + v.w, 0, static_cast<unsigned>(w - v.x - v.w),
                     static_cast<unsigned>(h));
    }
    if (v.y > 0) {
      XFillRectangle(display, window, gc, 0, 0, static_cast<unsigned>(w),
                     static_cast<unsigned>(v.y));
    }
    if (v.y + v.h < h) {
      XFillRectangle(display, window, gc, 0, v.y + v.h, static_cast<unsigned>(w),
                     static_cast<unsigned>(h - v.y - v.h));
    }
    put({0, 0, logical_width_, logical_height_}, true);
    pixels_presented_ += static_cast<int64_t>(w) * h - static_cast<int64_t>(v.w) * v.h;
    screen.whole = false;
  } else {
    for (size_t i = 0; i < changed_.size(); ++i) put(changed_[i], i + 1 == changed_.size());
  }
  XFlush(display);
}

void SdlDisplay::ReleaseX11(Screen& screen) {
  if (screen.x_frame != nullptr) {
    screen.x_frame->data = nullptr;  // the frame's pixels, freed with the frame
    XDestroyImage(screen.x_frame);
    screen.x_frame = nullptr;
  }
  if (screen.x_gc != nullptr) XFreeGC(screen.x_display, screen.x_gc);
  screen.x_gc = nullptr;
  screen.x_display = nullptr;
}

// Keeps the frame rate at the display's refresh rate without spinning: frames start on a fixed
// grid of frame periods, so the rate holds on average. A frame that started late is made up for
// by starting the following ones a little early, but never more than kMaxEarly early, so no two
// frames start much less than a period apart and a creature whose delay is just under a period
// still moves on every frame. Far behind (a stall), the grid starts again from now.
void SdlDisplay::PaceFrame() {
  constexpr auto kMaxEarly = std::chrono::milliseconds(1);
  auto now = std::chrono::steady_clock::now();
  next_frame_ += frame_period_;
  auto earliest = last_frame_start_ + frame_period_ - kMaxEarly;
  auto start = std::max(next_frame_, earliest);
  if (next_frame_ + 2 * frame_period_ <= now) next_frame_ = now;  // stalled: a new grid
  if (start > now) {
    std::this_thread::sleep_until(start);
    now = std::chrono::steady_clock::now();
  }
  last_frame_start_ = now;
}

void SdlDisplay::HandleWindowSystemEvent(const SDL_Event& event) {
  const XEvent& x_event = event.syswm.msg->msg.x11.event;
  if (shared_frame_ && x_event.type == shared_frame_->completion_type) {
    shared_frame_->reading = false;
    return;
  }
  if (options_.embed_window != 0 && x_event.type == DestroyNotify &&
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
        // The window's pixels may be gone or its size new: it is sent whole with the next frame.
        if (event.window.event == SDL_WINDOWEVENT_EXPOSED ||
            event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
            event.window.event == SDL_WINDOWEVENT_RESTORED ||
            event.window.event == SDL_WINDOWEVENT_SHOWN) {
          for (Screen& screen : screens_) {
            if (screen.window_id == event.window.windowID) screen.whole = true;
          }
        }
        break;
      case SDL_SYSWMEVENT:
        if (event.syswm.msg != nullptr && event.syswm.msg->subsystem == SDL_SYSWM_X11) {
          HandleWindowSystemEvent(event);
        }
        break;
      case SDL_MOUSEMOTION: {
        int32_t x = event.motion.x;
        int32_t y = event.motion.y;
        if (screens_.size() > 1) {
          if (SDL_Window* window = SDL_GetWindowFromID(event.motion.windowID)) {
            int left = 0;
            int top = 0;
            SDL_GetWindowPosition(window, &left, &top);
            x += left;
            y += top;
          }
        }
        if (options_.accept_input) PointerAt(x, y, events);
        break;
      }
      case SDL_MOUSEBUTTONDOWN:
        if (options_.accept_input) events.OnButton();
        break;
      case SDL_MOUSEWHEEL:  // X11's buttons 4 to 7
        if (options_.accept_input) events.OnWheel();
        break;
      case SDL_KEYDOWN:
        if (options_.accept_input) events.OnKey();
        break;
      default:
        break;
    }
  }
  if (hold_ && !lost_) {
    held_input_.clear();
    hold_->Pump(held_input_, std::chrono::steady_clock::now());
    for (const X11ScreenHold::Input& input : held_input_) {
      switch (input.kind) {
        case X11ScreenHold::Input::kKey:
          events.OnKey();
          break;
        case X11ScreenHold::Input::kButton:
          events.OnButton();
          break;
        case X11ScreenHold::Input::kWheel:
          events.OnWheel();
          break;
        case X11ScreenHold::Input::kPointer:
          PointerAt(input.x, input.y, events);
          break;
      }
    }
  }
  if (WindowLost()) lost_ = true;
}

// The pointer at a place on the desktop. The first report only says where the pointer already is
// (the window appeared under it), and a report of the same place is no movement; neither counts.
void SdlDisplay::PointerAt(int32_t x, int32_t y, DisplayEvents& events) {
  if (pointer_known_ && (x != pointer_x_ || y != pointer_y_)) events.OnPointerMoved();
  pointer_known_ = true;
  pointer_x_ = x;
  pointer_y_ = y;
}

void SdlDisplay::SetCursorVisible(bool visible) {
  cursor_visible_ = visible;
  if (video_started_) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

bool SdlDisplay::CheckDisplay() {
  if (WindowLost()) lost_ = true;
  return open_ && !lost_;
}

SdlSurfacePtr SdlDisplay::CaptureFrame() {
  if (!open_ || !frame_) return nullptr;
  Compose();
  return SdlSurfacePtr(SDL_ConvertSurfaceFormat(frame_.get(), kCaptureFormat, 0));
}

bool SdlDisplay::SaveScreenshot(const std::string& bmp_path) {
  SdlSurfacePtr frame = CaptureFrame();
  return frame && SDL_SaveBMP(frame.get(), bmp_path.c_str()) == 0;
}

std::string SdlDisplay::RendererName() const {
  if (screens_.empty()) return {};
  return "window surface (" + std::string(SDL_GetCurrentVideoDriver()) + ")";
}

void SdlDisplay::ReleaseAll() {
  hold_.reset();  // the keyboard and pointer first: the rest may take a while
  text_index_.clear();
  texts_.clear();
  current_font_ = nullptr;
  font_chosen_ = false;
  fonts_.clear();
  for (Sprite& sprite : sprites_) sprite.frames.clear();
  pictures_.clear();
  drawings_.clear();
  composed_.clear();
  composed_known_ = false;
  changed_.clear();
  view_buffer_.reset();
  for (Screen& screen : screens_) ReleaseX11(screen);
  frame_.reset();
  if (shared_frame_) {
    XShmDetach(shared_frame_->display, &shared_frame_->segment);
    XSync(shared_frame_->display, False);
    shared_frame_->image->data = nullptr;
    XDestroyImage(shared_frame_->image);
    shmdt(shared_frame_->segment.shmaddr);
    shared_frame_.reset();
  }
  host_x_display_ = nullptr;
  screens_.clear();
}

void SdlDisplay::CloseDisplay() {
  if (trace_ && open_) {
    trace_->Print(RendererName(), WindowCount(), pixels_composed_, pixels_presented_);
  }
  ReleaseAll();
  if (ttf_started_) {
    TTF_Quit();
    ttf_started_ = false;
  }
  if (video_started_) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    video_started_ = false;
  }
  // Only now, after the last request about our windows has been answered.
  ForgetOwnXWindows();
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

#pragma once

#include <chrono>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/font_lookup.h"
#include "platform/sdl_ptrs.h"
#include "platform/x11_screen_hold.h"
#include "scene/clock.h"
#include "scene/sprite_display.h"

struct _XDisplay;  // Xlib's Display
struct _XGC;       // Xlib's GC
struct _XImage;    // Xlib's XImage

namespace larkspill {

struct SdlDisplayOptions {
  // Title of the saver's own window.
  std::string title;
  // Full screen at the desktop's resolution; otherwise a resizable window.
  bool fullscreen = true;
  // When non-zero, the X11 window to draw into instead of a window of our own (a screen-saver
  // host's window). Its owner may resize or destroy it at any time.
  uint64_t embed_window = 0;
  // False when the host owns the input: no pointer, button or key events are delivered.
  bool accept_input = true;
  // The one SDL video driver to use ("x11"), whatever the environment asks for; empty: SDL's
  // own choice.
  std::string video_driver;
};

// The sprite display on SDL2: an 800 x 600 frame composed in memory, shown letterboxed on any
// window or screen size (in full-screen mode on every monitor), pictures quantised to 16 bits per
// pixel (RGB565), text with SDL_ttf in fonts that fontconfig finds by face name.
//
// A frame's drawings are kept as a list and composed at Flip: only the parts of the frame where
// this list differs from the last one are composed again and sent to the screen, so a scene where
// a few sprites move costs a few small rectangles per frame, not the whole frame.
//
// Unknown sprite ids raise std::out_of_range; drawing while the display is closed draws nothing.
class SdlDisplay : public SpriteDisplay {
 public:
  SdlDisplay(Clock& clock, SdlDisplayOptions options);
  ~SdlDisplay() override;
  SdlDisplay(const SdlDisplay&) = delete;
  SdlDisplay& operator=(const SdlDisplay&) = delete;

  bool OpenDisplay(int32_t width, int32_t height, int32_t bits, const std::string& device) override;
  int32_t CreateSprite() override;
  void LoadSpriteFrame(int32_t sprite, int32_t frame, const std::string& path,
                       int32_t key_mode) override;
  void SetSpriteFrame(int32_t sprite, int32_t frame) override;
  void SetSpriteFrameDelay(int32_t sprite, int32_t milliseconds) override;
  void SetSpriteX(int32_t sprite, int32_t x) override;
  void SetSpriteY(int32_t sprite, int32_t y) override;
  void MoveSpriteX(int32_t sprite, int32_t step) override;
  void MoveSpriteY(int32_t sprite, int32_t step) override;
  int16_t GetSpriteX(int32_t sprite) override;
  int16_t GetSpriteY(int32_t sprite) override;
  bool SpriteFrameDue(int32_t sprite) override;
  void NextSpriteFrame(int32_t sprite) override;
  void DrawSprite(int32_t sprite) override;
  void ClearBackBuffer(int32_t colour) override;
  void SetTextFont(const std::string& name, int32_t size, int32_t weight, bool italic,
                   bool underline, bool strikeout) override;
  void DrawText(const std::string& text, int32_t x, int32_t y, int32_t colour) override;
  void Flip() override;
  bool CheckDisplay() override;
  void CloseDisplay() override;

  // Handles every pending window-system event: pointer motion, button and key presses and
  // wheel turns go to `events` (when input is accepted); closing, quitting or losing the window
  // ends the display. In full-screen mode on X11 it also keeps the windows on top and the
  // keyboard and pointer grabbed.
  void PumpEvents(DisplayEvents& events);
  void SetCursorVisible(bool visible);

  // The frame with everything drawn so far (after Flip: as last shown), 32-bit ARGB at the
  // logical size; null when the display is closed.
  SdlSurfacePtr CaptureFrame();
  // Writes CaptureFrame() as a BMP file; false when there is no frame or the file fails.
  bool SaveScreenshot(const std::string& bmp_path);

  // What the display has done so far, for tests and measurements.
  int PictureDecodes() const { return picture_decodes_; }
  int FontOpens() const { return font_opens_; }
  int TextRenders() const { return text_renders_; }
  // How the frame reaches the screen, and on how many windows.
  std::string RendererName() const;
  // Windows showing the frame: one per monitor in full-screen mode, otherwise one.
  int WindowCount() const { return static_cast<int>(screens_.size()); }
  // Frame pixels composed and pixels sent to the windows so far (each window counted).
  int64_t PixelsComposed() const { return pixels_composed_; }
  int64_t PixelsPresented() const { return pixels_presented_; }

  // Font sizes are clamped to this range.
  static constexpr int kMinFontSize = 1;
  static constexpr int kMaxFontSize = 400;
  // Rendered texts kept for reuse; the least recently drawn goes first.
  static constexpr size_t kTextCacheSize = 32;
  // Frames beyond this number are refused, so a wild frame number cannot exhaust memory.
  static constexpr int32_t kMaxFrames = 1000;

 private:
  struct Picture {
    SdlSurfacePtr surface;  // in the frame's format; a keyed picture carries magenta as its key
    bool keyed = false;
  };
  struct Sprite {
    int32_t x = 0;
    int32_t y = 0;
    int32_t frame = 1;
    int32_t delay = 0;
    uint32_t last_change = 0;
    std::vector<const Picture*> frames;  // frame n at index n - 1; null where none is loaded
  };
  struct TextKey {
    TTF_Font* font;
    uint32_t colour;
    int32_t max_width;  // the text was cut to this width
    std::string text;
    bool operator==(const TextKey&) const = default;
  };
  struct TextKeyHash {
    size_t operator()(const TextKey& key) const;
  };
  struct RenderedText {
    TextKey key;
    std::shared_ptr<SDL_Surface> surface;  // shared with the frames that still draw it
  };
  // One drawing of a frame: a picture or a text at its place, or the whole frame filled with
  // `colour` when there is no source. Two drawings that compare equal leave the same pixels.
  struct Drawing {
    SDL_Surface* source = nullptr;
    std::shared_ptr<SDL_Surface> keep;  // a text's pixels, alive while a frame draws them
    SDL_Rect where{};
    Uint32 colour = 0;
    bool opaque = false;
    bool operator==(const Drawing& other) const {
      return source == other.source && colour == other.colour && where.x == other.where.x &&
             where.y == other.where.y && where.w == other.where.w && where.h == other.where.h;
    }
  };
  // A window showing the frame, and where on it the frame goes.
  struct Screen {
    SdlWindowPtr window;
    Uint32 window_id = 0;
    SDL_Surface* surface = nullptr;  // the window's pixels as last seen; owned by SDL
    int surface_w = 0;               // the window's size as last seen
    int surface_h = 0;
    // On X11 the frame goes straight to the window, without a copy of the window's pixels:
    // SDL's X connection and the window, a GC and the frame's pixels as an X image.
    _XDisplay* x_display = nullptr;
    unsigned long x_window = 0;
    _XGC* x_gc = nullptr;
    _XImage* x_frame = nullptr;
    SDL_Rect view{};              // the frame's place on the window, letterboxed
    std::vector<int> source_col;  // when scaled: the frame column each view column shows
    std::vector<int> source_row;  // and the frame row each view row shows
    std::vector<int> first_col;   // the first view column showing frame column n (n up to width)
    std::vector<int> first_row;   // the first view row showing frame row n (n up to height)
    bool whole = true;            // everything must be shown again (new, resized or exposed)
  };
  struct Trace;

  Sprite& SpriteAt(int32_t sprite);
  const Picture& PictureFor(const std::string& path, int32_t key_mode);
  // The picture in the frame's format, each colour quantised to RGB565 and widened again.
  SdlSurfacePtr WidePicture(const std::string& path, bool keyed);
  TTF_Font* OpenFont(const FontFile& file, int size);
  const RenderedText* TextFor(const std::string& text, uint32_t colour, int32_t max_width);
  bool OpenWindows(int32_t width, int32_t height);
  void WatchEmbeddedWindow();
  void HoldScreen();
  bool WindowLost() const;
  void PointerAt(int32_t x, int32_t y, DisplayEvents& events);
  void HandleWindowSystemEvent(const SDL_Event& event);
  void AddDrawing(Drawing drawing);
  void Compose();
  void Repaint(const std::vector<Drawing>& drawings, std::vector<SDL_Rect> regions);
  void Paint(const Drawing& drawing);
  void AddChanged(SDL_Rect rect, std::vector<SDL_Rect>& to) const;
  void Present(Screen& screen);
  void PlaceView(Screen& screen);
  void CopyToView(Screen& screen, const SDL_Rect& part, SDL_Rect& shown);
  SDL_Rect ShownRect(const Screen& screen, const SDL_Rect& part) const;
  void ScalePart(const Screen& screen, const SDL_Rect& shown, Uint8* to, int pitch) const;
  bool ShareFrameWithX11();
  void WaitForX11Reading();
  void UseX11(Screen& screen);
  void PresentX11(Screen& screen);
  void ReleaseX11(Screen& screen);
  void PaceFrame();
  void ReleaseAll();

  Clock& clock_;
  SdlDisplayOptions options_;
  bool pointer_known_ = false;
  int32_t pointer_x_ = 0;  // on the desktop, so moving from one monitor's window to another's
  int32_t pointer_y_ = 0;  // compares like positions
  int32_t logical_width_ = 0;
  int32_t logical_height_ = 0;
  bool video_started_ = false;
  bool ttf_started_ = false;
  bool open_ = false;
  bool lost_ = false;
  bool cursor_visible_ = true;
  std::chrono::steady_clock::duration frame_period_{};
  std::chrono::steady_clock::time_point next_frame_{};        // where the grid puts the next
  std::chrono::steady_clock::time_point last_frame_start_{};  // when the last frame began

  // Owned handles; declared in the order they may be destroyed (fonts and surfaces first).
  std::vector<Screen> screens_;
  SdlSurfacePtr frame_;         // the composed frame
  SdlSurfacePtr view_buffer_;   // a scaled part, for windows of another format
  std::vector<Uint32> scaled_;  // a scaled part on its way to an X window
  std::map<std::pair<std::string, int32_t>, std::unique_ptr<Picture>> pictures_;
  std::vector<Sprite> sprites_;  // sprite id n at index n - 1

  // The drawings since the frame was last composed, and those the composed frame shows (from the
  // last one that covers the whole frame); `composed_known_` is false when the frame's pixels
  // came about in a way no list records.
  std::vector<Drawing> drawings_;
  std::vector<Drawing> composed_;
  bool composed_known_ = false;
  std::vector<SDL_Rect> changed_;  // parts of the frame changed since the windows were updated
  std::vector<SDL_Rect> shown_;    // scratch: the window rectangles updated by one Present
  _XDisplay* host_x_display_ = nullptr;  // SDL's X connection, when drawing into a host's window
  std::unique_ptr<X11ScreenHold> hold_;  // full screen on X11: windows on top, input grabbed
  std::vector<X11ScreenHold::Input> held_input_;  // scratch: what the grabs brought
  // The frame in memory shared with the X server, so that showing a part of it unscaled is a
  // short request and no copy; the server reads it when it handles the request, and the next
  // frame is not composed before it says it has.
  struct SharedFrame;
  std::unique_ptr<SharedFrame> shared_frame_;

  FontLookup font_lookup_;
  std::map<std::pair<std::string, int>, TtfFontPtr> fonts_;  // by (file, size); null: unusable
  TTF_Font* current_font_ = nullptr;
  bool font_chosen_ = false;
  std::list<RenderedText> texts_;  // most recently drawn first
  std::unordered_map<TextKey, std::list<RenderedText>::iterator, TextKeyHash> text_index_;

  int picture_decodes_ = 0;
  std::vector<uint8_t> row_;  // rows of the picture file being read
  int font_opens_ = 0;
  int text_renders_ = 0;
  int64_t pixels_composed_ = 0;
  int64_t pixels_presented_ = 0;
  std::unique_ptr<Trace> trace_;  // only with LARKSPILL_TRACE set
};

}  // namespace larkspill

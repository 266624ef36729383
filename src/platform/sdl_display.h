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
#include "scene/clock.h"
#include "scene/sprite_display.h"

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
};

// The sprite display on SDL2: an 800 x 600 frame composed in a texture of its own, shown
// letterboxed on any window or screen size, pictures quantised to 16 bits per pixel (RGB565),
// text with SDL_ttf in fonts that fontconfig finds by face name.
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

  // Handles every pending window-system event: pointer motion, button and key presses go to
  // `events` (when input is accepted); closing, quitting or losing the window ends the display.
  void PumpEvents(DisplayEvents& events);
  void SetCursorVisible(bool visible);

  // The frame as last composed (after Flip: as last shown), 32-bit ARGB at the logical size;
  // null when the display is closed.
  SdlSurfacePtr CaptureFrame();
  // Writes CaptureFrame() as a BMP file; false when there is no frame or the file fails.
  bool SaveScreenshot(const std::string& bmp_path);

  // What the display has done so far, for tests and measurements.
  int PictureDecodes() const { return picture_decodes_; }
  int FontOpens() const { return font_opens_; }
  int TextRenders() const { return text_renders_; }
  std::string RendererName() const;

  // Font sizes are clamped to this range.
  static constexpr int kMinFontSize = 1;
  static constexpr int kMaxFontSize = 400;
  // Rendered texts kept for reuse; the least recently drawn goes first.
  static constexpr size_t kTextCacheSize = 32;
  // Frames beyond this number are refused, so a wild frame number cannot exhaust memory.
  static constexpr int32_t kMaxFrames = 1000;

 private:
  struct Picture {
    SdlTexturePtr texture;
    int width = 0;
    int height = 0;
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
    SdlTexturePtr texture;
    int width = 0;
    int height = 0;
  };

  Sprite& SpriteAt(int32_t sprite);
  const Picture& PictureFor(const std::string& path, int32_t key_mode);
  SDL_Surface* DecodedPicture(const std::string& path);
  TTF_Font* OpenFont(const FontFile& file, int size);
  const RenderedText* TextFor(const std::string& text, uint32_t colour, int32_t max_width);
  void WatchEmbeddedWindow();
  void HandleWindowSystemEvent(const SDL_Event& event);
  void PaceFrame();
  void ReleaseAll();

  Clock& clock_;
  SdlDisplayOptions options_;
  bool pointer_known_ = false;
  int32_t pointer_x_ = 0;
  int32_t pointer_y_ = 0;
  int32_t logical_width_ = 0;
  int32_t logical_height_ = 0;
  bool video_started_ = false;
  bool ttf_started_ = false;
  bool open_ = false;
  bool lost_ = false;
  bool cursor_visible_ = true;
  std::chrono::steady_clock::duration frame_period_{};
  std::chrono::steady_clock::time_point next_frame_{};

  // Owned handles; declared in the order they may be destroyed (fonts and textures first).
  SdlWindowPtr window_;
  SdlRendererPtr renderer_;
  SdlTexturePtr frame_;                           // the frame being composed
  std::map<std::string, SdlSurfacePtr> decoded_;  // RGB565 pictures by path
  std::map<std::pair<std::string, int32_t>, std::unique_ptr<Picture>> pictures_;
  std::vector<Sprite> sprites_;  // sprite id n at index n - 1

  FontLookup font_lookup_;
  std::map<std::pair<std::string, int>, TtfFontPtr> fonts_;  // by (file, size); null: unusable
  TTF_Font* current_font_ = nullptr;
  bool font_chosen_ = false;
  std::list<RenderedText> texts_;  // most recently drawn first
  std::unordered_map<TextKey, std::list<RenderedText>::iterator, TextKeyHash> text_index_;

  int picture_decodes_ = 0;
  int font_opens_ = 0;
  int text_renders_ = 0;
};

}  // namespace larkspill

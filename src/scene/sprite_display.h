#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace larkspill {

// Colours are red + 256 * green + 65536 * blue.
inline constexpr int32_t kYellow = 65535;
inline constexpr int32_t kBlack = 0;

// Key modes of LoadSpriteFrame.
inline constexpr int32_t kKeyTransparent = -1;  // magenta (255, 0, 255) is left undrawn
inline constexpr int32_t kKeyOpaque = -2;

// A picture that cannot be loaded; the message names the file.
class AssetError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The sprite display: the full-screen 800 x 600 scene, its sprites, text and frame flip. Places
// are on the scene, whatever the screen's size.
// Sprite ids are whatever CreateSprite returns; frames are numbered from 1.
class SpriteDisplay {
 public:
  virtual ~SpriteDisplay() = default;

  // Takes the screen; false when no display can be opened.
  virtual bool OpenDisplay(int32_t width, int32_t height, int32_t bits,
                           const std::string& device) = 0;
  virtual int32_t CreateSprite() = 0;
  // Loads the bitmap at `path` as frame `frame` of the sprite. Throws AssetError naming the
  // path when the file is missing, empty or unreadable.
  virtual void LoadSpriteFrame(int32_t sprite, int32_t frame, const std::string& path,
                               int32_t key_mode) = 0;
  virtual void SetSpriteFrame(int32_t sprite, int32_t frame) = 0;
  virtual void SetSpriteFrameDelay(int32_t sprite, int32_t milliseconds) = 0;
  virtual void SetSpriteX(int32_t sprite, int32_t x) = 0;
  virtual void SetSpriteY(int32_t sprite, int32_t y) = 0;
  // Marks a creature: on a screen wider than the scene its place is spread over the width shown.
  virtual void SetSpriteRoams(int32_t /*sprite*/) {}
  // Moves right by `step` pixels (negative: left).
  virtual void MoveSpriteX(int32_t sprite, int32_t step) = 0;
  // Moves up by `step` pixels, y decreasing (negative: down).
  virtual void MoveSpriteY(int32_t sprite, int32_t step) = 0;
  virtual int16_t GetSpriteX(int32_t sprite) = 0;
  virtual int16_t GetSpriteY(int32_t sprite) = 0;
  // True when the sprite's frame delay has run out since its frame last changed.
  virtual bool SpriteFrameDue(int32_t sprite) = 0;
  // Next frame; after the highest loaded one, frame 1.
  virtual void NextSpriteFrame(int32_t sprite) = 0;
  virtual void DrawSprite(int32_t sprite) = 0;
  virtual void ClearBackBuffer(int32_t colour) = 0;
  virtual void SetTextFont(const std::string& name, int32_t size, int32_t weight, bool italic,
                           bool underline, bool strikeout) = 0;
  virtual void DrawText(const std::string& text, int32_t x, int32_t y, int32_t colour) = 0;
  virtual void Flip() = 0;
  // True while the display can go on.
  virtual bool CheckDisplay() = 0;
  virtual void CloseDisplay() = 0;
};

// The events the display delivers to the saver window.
class DisplayEvents {
 public:
  virtual ~DisplayEvents() = default;
  virtual void OnFrame() = 0;
  virtual void OnPointerMoved() = 0;
  virtual void OnButton() = 0;
  // A turn of the mouse wheel, which X11 reports as a press of buttons 4 to 7.
  virtual void OnWheel() = 0;
  virtual void OnKey() = 0;
  // A screen locker or another saver has taken the screen (or the session is locking): the
  // saver steps aside.
  virtual void OnScreenTaken() = 0;
};

}  // namespace larkspill

#pragma once

#include <cstdint>
#include <string>

#include "scene/clock.h"
#include "scene/sprite_display.h"

namespace larkspill {

// The display with the frame rate written in its bottom-left corner, as the hosts' own savers
// show it for -fps: the frames flipped over the last whole second, drawn over each frame just
// before it is shown. Everything else goes straight to the display underneath.
class FpsOverlay : public SpriteDisplay {
 public:
  FpsOverlay(SpriteDisplay& display, Clock& clock) : display_(display), clock_(clock) {}

  // "FPS: 29.9" once a second has been measured; empty before.
  const std::string& Text() const { return text_; }

  static constexpr const char* kFont = "Liberation Mono";
  static constexpr int32_t kFontSize = 14;
  static constexpr int32_t kX = 4;
  static constexpr int32_t kY = 578;
  static constexpr int32_t kWhite = 0xFFFFFF;

  bool OpenDisplay(int32_t width, int32_t height, int32_t bits,
                   const std::string& device) override {
    return display_.OpenDisplay(width, height, bits, device);
  }
  int32_t CreateSprite() override { return display_.CreateSprite(); }
  void LoadSpriteFrame(int32_t sprite, int32_t frame, const std::string& path,
                       int32_t key_mode) override {
    display_.LoadSpriteFrame(sprite, frame, path, key_mode);
  }
  void SetSpriteFrame(int32_t sprite, int32_t frame) override {
    display_.SetSpriteFrame(sprite, frame);
  }
  void SetSpriteFrameDelay(int32_t sprite, int32_t ms) override {
    display_.SetSpriteFrameDelay(sprite, ms);
  }
  void SetSpriteX(int32_t sprite, int32_t x) override { display_.SetSpriteX(sprite, x); }
  void SetSpriteRoams(int32_t sprite) override { display_.SetSpriteRoams(sprite); }
  void SetSpriteY(int32_t sprite, int32_t y) override { display_.SetSpriteY(sprite, y); }
  void MoveSpriteX(int32_t sprite, int32_t step) override { display_.MoveSpriteX(sprite, step); }
  void MoveSpriteY(int32_t sprite, int32_t step) override { display_.MoveSpriteY(sprite, step); }
  int16_t GetSpriteX(int32_t sprite) override { return display_.GetSpriteX(sprite); }
  int16_t GetSpriteY(int32_t sprite) override { return display_.GetSpriteY(sprite); }
  bool SpriteFrameDue(int32_t sprite) override { return display_.SpriteFrameDue(sprite); }
  void NextSpriteFrame(int32_t sprite) override { display_.NextSpriteFrame(sprite); }
  void DrawSprite(int32_t sprite) override { display_.DrawSprite(sprite); }
  void ClearBackBuffer(int32_t colour) override { display_.ClearBackBuffer(colour); }
  void SetTextFont(const std::string& name, int32_t size, int32_t weight, bool italic,
                   bool underline, bool strikeout) override {
    display_.SetTextFont(name, size, weight, italic, underline, strikeout);
  }
  void DrawText(const std::string& text, int32_t x, int32_t y, int32_t colour) override {
    display_.DrawText(text, x, y, colour);
  }
  void Flip() override;
  bool CheckDisplay() override { return display_.CheckDisplay(); }
  void CloseDisplay() override { display_.CloseDisplay(); }

 private:
  SpriteDisplay& display_;
  Clock& clock_;
  bool started_ = false;
  uint32_t second_start_ = 0;  // tick at which the second being counted began
  int frames_ = 0;             // frames flipped in it so far
  std::string text_;
};

}  // namespace larkspill

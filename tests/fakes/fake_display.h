#pragma once

#include <map>

#include "fakes/call_log.h"
#include "fakes/fake_clock.h"
#include "scene/sprite_display.h"

namespace larkspill::testing {

// Records every call and keeps each sprite's place, frames and frame timing as the real display
// does (up is a smaller y), so creatures move and animate as on screen.
class FakeDisplay : public SpriteDisplay, public CallLog {
 public:
  struct Sprite {
    int32_t x = 0, y = 0, frame = 1, delay = 0;
    uint32_t last_change = 0;               // tick of the last frame change
    std::map<int32_t, std::string> frames;  // frame number -> file
  };
  explicit FakeDisplay(FakeClock& clock) : clock_(clock) {}

  bool OpenDisplay(int32_t w, int32_t h, int32_t bits, const std::string& device) override {
    return Record("OpenDisplay", w, h, bits, "[" + device + "]"), open_ok;
  }
  int32_t CreateSprite() override {
    Record("CreateSprite");
    sprites[next_id].last_change = clock_.ticks;
    return next_id++;
  }
  void LoadSpriteFrame(int32_t s, int32_t frame, const std::string& path, int32_t key) override {
    Record("LoadSpriteFrame", s, frame, path, key);
    if (!fail_file.empty() && path.ends_with(fail_file)) throw AssetError("cannot load " + path);
    sprites[s].frames[frame] = path;
  }
  void SetSpriteFrame(int32_t s, int32_t frame) override {
    Record("SetSpriteFrame", s, frame);
    sprites[s].frame = frame, sprites[s].last_change = clock_.ticks;
  }
  void SetSpriteFrameDelay(int32_t s, int32_t ms) override {
    Record("SetSpriteFrameDelay", s, ms), sprites[s].delay = ms;
  }
  void SetSpriteX(int32_t s, int32_t x) override { Record("SetSpriteX", s, x), sprites[s].x = x; }
  void SetSpriteY(int32_t s, int32_t y) override { Record("SetSpriteY", s, y), sprites[s].y = y; }
  void MoveSpriteX(int32_t s, int32_t d) override {
    Record("MoveSpriteX", s, d), sprites[s].x += d;
  }
  void MoveSpriteY(int32_t s, int32_t d) override {
    Record("MoveSpriteY", s, d), sprites[s].y -= d;
  }
  int16_t GetSpriteX(int32_t s) override { return Record("GetSpriteX", s), int16_t(sprites[s].x); }
  int16_t GetSpriteY(int32_t s) override { return Record("GetSpriteY", s), int16_t(sprites[s].y); }
  bool SpriteFrameDue(int32_t s) override {
    Record("SpriteFrameDue", s);
    return clock_.ticks - sprites[s].last_change >= static_cast<uint32_t>(sprites[s].delay);
  }
  void NextSpriteFrame(int32_t sprite) override {
    Record("NextSpriteFrame", sprite);
    Sprite& s = sprites[sprite];
    s.frame = s.frames.empty() || s.frame >= s.frames.rbegin()->first ? 1 : s.frame + 1;
    s.last_change = clock_.ticks;
  }
  void DrawSprite(int32_t s) override { Record("DrawSprite", s); }
  void ClearBackBuffer(int32_t colour) override { Record("ClearBackBuffer", colour); }
  void SetTextFont(const std::string& name, int32_t size, int32_t weight, bool italic,
                   bool underline, bool strike) override {
    Record("SetTextFont", name, size, weight, italic, underline, strike);
  }
  void DrawText(const std::string& text, int32_t x, int32_t y, int32_t colour) override {
    Record("DrawText", text, x, y, colour);
  }
  void Flip() override { Record("Flip"); }
  bool CheckDisplay() override { return Record("CheckDisplay"), display_ok; }
  void CloseDisplay() override { Record("CloseDisplay"); }

  bool open_ok = true;     // what OpenDisplay returns
  bool display_ok = true;  // what CheckDisplay returns
  std::string fail_file;   // LoadSpriteFrame of a path ending in this throws AssetError
  int32_t next_id = 1;     // the id the next CreateSprite hands out
  std::map<int32_t, Sprite> sprites;

 private:
  FakeClock& clock_;
};

}  // namespace larkspill::testing

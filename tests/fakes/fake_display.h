#pragma once

#include <map>

#include "fakes/call_log.h"
#include "scene/sprite_display.h"

namespace larkspill::testing {

// Records every call and keeps each sprite's place (up is a smaller y). The scene keeps its
// creatures' places and its sprites' animation itself, so nothing else needs imitating.
class FakeDisplay : public SpriteDisplay, public CallLog {
 public:
  struct Sprite {
    int32_t x = 0, y = 0;
  };

  bool OpenDisplay(int32_t w, int32_t h, int32_t bits, const std::string& device) override {
    return Record("OpenDisplay", w, h, bits, "[" + device + "]"), open_ok;
  }
  int32_t CreateSprite() override { return Record("CreateSprite"), next_id++; }
  void LoadSpriteFrame(int32_t s, int32_t frame, const std::string& path, int32_t key) override {
    Record("LoadSpriteFrame", s, frame, path, key);
    if (!fail_file.empty() && path.ends_with(fail_file)) throw AssetError("cannot load " + path);
  }
  void SetSpriteFrame(int32_t s, int32_t frame) override { Record("SetSpriteFrame", s, frame); }
  void SetSpriteFrameDelay(int32_t s, int32_t ms) override { Record("SetSpriteFrameDelay", s, ms); }
  void SetSpriteX(int32_t s, int32_t x) override { Record("SetSpriteX", s, x), sprites[s].x = x; }
  void SetSpriteRoams(int32_t s) override { Record("SetSpriteRoams", s); }
  void SetSpriteY(int32_t s, int32_t y) override { Record("SetSpriteY", s, y), sprites[s].y = y; }
  void MoveSpriteX(int32_t s, int32_t d) override { Record("MoveSpriteX", s, d); }
  void MoveSpriteY(int32_t s, int32_t d) override { Record("MoveSpriteY", s, d); }
  int16_t GetSpriteX(int32_t s) override { return Record("GetSpriteX", s), int16_t(sprites[s].x); }
  int16_t GetSpriteY(int32_t s) override { return Record("GetSpriteY", s), int16_t(sprites[s].y); }
  bool SpriteFrameDue(int32_t s) override { return Record("SpriteFrameDue", s), false; }
  void NextSpriteFrame(int32_t s) override { Record("NextSpriteFrame", s); }
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
};

}  // namespace larkspill::testing

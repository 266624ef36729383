#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "fakes/fake_clock.h"
#include "scene/sprite_display.h"

namespace larkspill::testing {

// A sprite display that records every call as one line of text ("CreateSprite",
// "LoadSpriteFrame 1 1 /a/1Butter1.BMP -1", "DrawText You have not selected a Waterfall 215 295
// 65535") and keeps each sprite's position, frames and frame timing the way the real display
// does, so creatures move and animate as they would on screen.
class FakeDisplay : public SpriteDisplay {
 public:
  struct Sprite {
    int32_t x = 0;
    int32_t y = 0;
    int32_t frame = 1;
    int32_t delay = 0;
    uint32_t last_change = 0;               // tick of the last frame change
    std::map<int32_t, std::string> frames;  // frame number -> file
  };

  // Frame timing follows `clock`; without one every frame delay counts as run out.
  explicit FakeDisplay(FakeClock* clock = nullptr) : clock_(clock) {}

  bool OpenDisplay(int32_t width, int32_t height, int32_t bits,
                   const std::string& device) override {
    Record("OpenDisplay " + Num(width) + " " + Num(height) + " " + Num(bits) + " [" + device + "]");
    return open_ok;
  }
  int32_t CreateSprite() override {
    Record("CreateSprite");
    int32_t id = next_id++;
    sprites[id] = Sprite{};
    sprites[id].last_change = Now();
    return id;
  }
  void LoadSpriteFrame(int32_t sprite, int32_t frame, const std::string& path,
                       int32_t key_mode) override {
    Record("LoadSpriteFrame " + Num(sprite) + " " + Num(frame) + " " + path + " " + Num(key_mode));
    if (!fail_file.empty() && path.size() >= fail_file.size() &&
        path.compare(path.size() - fail_file.size(), fail_file.size(), fail_file) == 0) {
      throw AssetError("cannot load " + path);
    }
    sprites[sprite].frames[frame] = path;
  }
  void SetSpriteFrame(int32_t sprite, int32_t frame) override {
    Record("SetSpriteFrame " + Num(sprite) + " " + Num(frame));
    sprites[sprite].frame = frame;
    sprites[sprite].last_change = Now();
  }
  void SetSpriteFrameDelay(int32_t sprite, int32_t milliseconds) override {
    Record("SetSpriteFrameDelay " + Num(sprite) + " " + Num(milliseconds));
    sprites[sprite].delay = milliseconds;
  }
  void SetSpriteX(int32_t sprite, int32_t x) override {
    Record("SetSpriteX " + Num(sprite) + " " + Num(x));
    sprites[sprite].x = x;
  }
  void SetSpriteY(int32_t sprite, int32_t y) override {
    Record("SetSpriteY " + Num(sprite) + " " + Num(y));
    sprites[sprite].y = y;
  }
  void MoveSpriteX(int32_t sprite, int32_t step) override {
    Record("MoveSpriteX " + Num(sprite) + " " + Num(step));
    sprites[sprite].x += step;
  }
  void MoveSpriteY(int32_t sprite, int32_t step) override {
    Record("MoveSpriteY " + Num(sprite) + " " + Num(step));
    sprites[sprite].y -= step;  // up is a smaller y
  }
  int16_t GetSpriteX(int32_t sprite) override {
    Record("GetSpriteX " + Num(sprite));
    return static_cast<int16_t>(sprites[sprite].x);
  }
  int16_t GetSpriteY(int32_t sprite) override {
    Record("GetSpriteY " + Num(sprite));
    return static_cast<int16_t>(sprites[sprite].y);
  }
  bool SpriteFrameDue(int32_t sprite) override {
    Record("SpriteFrameDue " + Num(sprite));
    const Sprite& s = sprites[sprite];
    return static_cast<uint32_t>(Now() - s.last_change) >= static_cast<uint32_t>(s.delay);
  }
  void NextSpriteFrame(int32_t sprite) override {
    Record("NextSpriteFrame " + Num(sprite));
    Sprite& s = sprites[sprite];
    int32_t highest = s.frames.empty() ? 1 : s.frames.rbegin()->first;
    s.frame = s.frame >= highest ? 1 : s.frame + 1;
    s.last_change = Now();
  }
  void DrawSprite(int32_t sprite) override { Record("DrawSprite " + Num(sprite)); }
  void ClearBackBuffer(int32_t colour) override { Record("ClearBackBuffer " + Num(colour)); }
  void SetTextFont(const std::string& name, int32_t size, int32_t weight, bool italic,
                   bool underline, bool strikeout) override {
    Record("SetTextFont " + name + " " + Num(size) + " " + Num(weight) + " " + Num(italic) + " " +
           Num(underline) + " " + Num(strikeout));
  }
  void DrawText(const std::string& text, int32_t x, int32_t y, int32_t colour) override {
    Record("DrawText " + text + " " + Num(x) + " " + Num(y) + " " + Num(colour));
  }
  void Flip() override { Record("Flip"); }
  bool CheckDisplay() override {
    Record("CheckDisplay");
    return display_ok;
  }
  void CloseDisplay() override { Record("CloseDisplay"); }

  // How many recorded calls are exactly `call`.
  size_t Count(const std::string& call) const {
    size_t n = 0;
    for (const auto& c : calls) n += (c == call);
    return n;
  }
  // The recorded calls that begin with `prefix`, in order.
  std::vector<std::string> Starting(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& c : calls) {
      if (c.compare(0, prefix.size(), prefix) == 0) out.push_back(c);
    }
    return out;
  }

  bool open_ok = true;     // what OpenDisplay returns
  bool display_ok = true;  // what CheckDisplay returns
  std::string fail_file;   // LoadSpriteFrame of a path ending in this throws AssetError
  int32_t next_id = 1;     // the id the next CreateSprite hands out
  std::vector<std::string> calls;
  std::map<int32_t, Sprite> sprites;
  std::vector<std::string>* journal = nullptr;  // when set, every call is copied here too

 private:
  static std::string Num(int64_t v) { return std::to_string(v); }
  uint32_t Now() const { return clock_ ? clock_->ticks : 0; }
  void Record(std::string call) {
    if (journal) journal->push_back(call);
    calls.push_back(std::move(call));
  }

  FakeClock* clock_;
};

}  // namespace larkspill::testing

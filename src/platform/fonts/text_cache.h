#pragma once

#include <SDL_ttf.h>

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>

#include "platform/fonts/font_lookup.h"
#include "platform/files/sdl_ptrs.h"
#include "platform/frame/frame_composer.h"

namespace larkspill {

// Texts as the display draws them: faces found by fontconfig, opened once per size with
// SDL_ttf, and each text rendered once while it is drawn frame after frame (the clock changes
// once a second, the message never). A scaled screen asks for the same text at its own size.
class TextCache {
 public:
  TextCache() = default;
  ~TextCache();
  TextCache(const TextCache&) = delete;
  TextCache& operator=(const TextCache&) = delete;

  // Makes the font list ready on a thread of its own; optional.
  void Prepare() { font_lookup_.Prepare(); }
  // Starts and stops SDL_ttf. Stop forgets every font and text.
  bool Start();
  void Stop();

  // Chooses the face named `name` (the default face when there is none by that name, or it
  // cannot be opened) at `size` pixels, clamped to kMinFontSize to kMaxFontSize.
  void SetFont(const std::string& name, int32_t size);
  // `text` in the chosen face and `colour` (0xBBGGRR, as the scene gives it), cut to at most `max_width` pixels (the
  // character the edge cuts through stays); null when nothing shows or no face can be opened.
  std::shared_ptr<const TextPixels> Render(const std::string& text, uint32_t colour,
                                           int32_t max_width);
  // `text` (from Render) again with its size and width scaled; null when nothing shows.
  std::shared_ptr<const TextPixels> Scaled(const TextPixels& text, double scale);

  int font_opens() const { return font_opens_; }
  int text_renders() const { return text_renders_; }

  static constexpr int kMinFontSize = 1;
  static constexpr int kMaxFontSize = 400;
  // Rendered texts kept for reuse; the least recently drawn goes first.
  static constexpr size_t kCacheSize = 32;

 private:
  struct Key {
    TTF_Font* font;
    uint32_t colour;
    int32_t max_width;  // the text was cut to this width
    std::string text;
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    size_t operator()(const Key& key) const;
  };
  // What a text was made from, so it can be made again at another size.
  struct Rendered : TextPixels {
    FontFile file;
    int size = 0;
    uint32_t colour = 0;
    int32_t max_width = 0;
    std::string text;
  };
  struct Entry {
    Key key;
    std::shared_ptr<const Rendered> pixels;  // shared with the frames that still draw it
  };

  TTF_Font* OpenFont(const FontFile& file, int size);
  std::shared_ptr<const TextPixels> RenderIn(const FontFile& file, int size,
                                             const std::string& text, uint32_t colour,
                                             int32_t max_width);

  bool started_ = false;
  FontLookup font_lookup_;
  std::map<std::pair<std::string, int>, TtfFontPtr> fonts_;  // by (file, size); null: unusable
  FontFile file_;  // the chosen face
  int size_ = 0;
  std::list<Entry> entries_;  // most recently drawn first
  std::unordered_map<Key, std::list<Entry>::iterator, KeyHash> index_;
  int font_opens_ = 0;
  int text_renders_ = 0;
};

}  // namespace larkspill

#include "platform/fonts/text_cache.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <vector>

namespace larkspill {
namespace {

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

// A colour as the scene gives it, 0xBBGGRR.
SDL_Color ColourOf(uint32_t colour) {
  return SDL_Color{static_cast<Uint8>(colour & 0xFF), static_cast<Uint8>((colour >> 8) & 0xFF),
                   static_cast<Uint8>((colour >> 16) & 0xFF), 255};
}

}  // namespace

size_t TextCache::KeyHash::operator()(const Key& key) const {
  size_t h = std::hash<std::string>{}(key.text);
  h ^= std::hash<const void*>{}(key.font) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
  h ^= std::hash<uint32_t>{}(key.colour) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
  h ^= std::hash<int32_t>{}(key.max_width) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
  return h;
}

TextCache::~TextCache() {
  Stop();
}

bool TextCache::Start() {
  if (!started_) started_ = TTF_Init() == 0;
  return started_;
}

void TextCache::Stop() {
  index_.clear();
  entries_.clear();
  fonts_.clear();
  file_ = {};
  if (started_) TTF_Quit();
  started_ = false;
}

TTF_Font* TextCache::OpenFont(const FontFile& file, int size) {
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

void TextCache::SetFont(const std::string& name, int32_t size) {
  file_ = {};
  if (!started_) return;
  size_ = std::clamp<int32_t>(size, kMinFontSize, kMaxFontSize);
  file_ = font_lookup_.Find(name);
  if (OpenFont(file_, size_) == nullptr && !name.empty()) file_ = font_lookup_.Find("");
}

std::shared_ptr<const TextPixels> TextCache::Render(const std::string& text, uint32_t colour,
                                                    int32_t max_width) {
  return RenderIn(file_, size_, text, colour, max_width);
}

std::shared_ptr<const TextPixels> TextCache::Scaled(const TextPixels& text, double scale) {
  const auto& made = static_cast<const Rendered&>(text);
  const int size = std::clamp(static_cast<int>(std::lround(made.size * scale)), kMinFontSize,
                              kMaxFontSize * 8);
  const auto width = static_cast<int32_t>(std::min(std::ceil(made.max_width * scale), 1e5));
  return RenderIn(made.file, size, made.text, made.colour, width);
}

std::shared_ptr<const TextPixels> TextCache::RenderIn(const FontFile& file, int size,
                                                      const std::string& text, uint32_t colour,
                                                      int32_t max_width) {
  TTF_Font* font = started_ ? OpenFont(file, size) : nullptr;
  if (font == nullptr || max_width <= 0) return nullptr;
  // No glyph that shows is narrower than a pixel, so more characters than visible pixels never
  // show: cutting there first keeps a huge text cheap to look up and to measure.
  Key key{font, colour, max_width,
          std::string(FirstCharacters(text, static_cast<size_t>(max_width)))};
  if (auto it = index_.find(key); it != index_.end()) {
    entries_.splice(entries_.begin(), entries_, it->second);
    return it->second->pixels;
  }

  // Keep the longest start that fits, plus the one character that the edge cuts through.
  std::string visible = key.text;
  int width = 0;
  int height = 0;
  if (TTF_SizeUTF8(font, visible.c_str(), &width, &height) == 0 && width > max_width) {
    std::vector<size_t> ends = CharacterEnds(visible);
    size_t low = 0;
    size_t high = ends.size();  // the first `high` characters are known to be too wide
    while (high - low > 1) {
      size_t middle = (low + high) / 2;
      std::string prefix = visible.substr(0, ends[middle - 1]);
      if (TTF_SizeUTF8(font, prefix.c_str(), &width, &height) == 0 && width <= max_width) {
        low = middle;
      } else {
        high = middle;
      }
    }
    visible.resize(ends[high - 1]);
  }

  auto made = std::make_shared<Rendered>();
  ++text_renders_;
  if (!visible.empty()) {
    made->surface.reset(TTF_RenderUTF8_Blended(font, visible.c_str(), ColourOf(colour)));
  }
  made->file = file;
  made->size = size;
  made->colour = colour;
  made->max_width = max_width;
  made->text = key.text;
  std::shared_ptr<const Rendered> pixels = made->surface ? std::move(made) : nullptr;

  entries_.push_front({std::move(key), pixels});
  index_.emplace(entries_.front().key, entries_.begin());
  while (entries_.size() > kCacheSize) {
    index_.erase(entries_.back().key);
    entries_.pop_back();
  }
  return pixels;
}

}  // namespace larkspill

#include "platform/font_lookup.h"

#include <fontconfig/fontconfig.h>

namespace larkspill {

FontLookup::~FontLookup() {
  if (_FcConfig* config = Config()) FcConfigDestroy(config);
}

void FontLookup::Prepare() {
  if (loaded_ || loading_.valid()) return;
  // A configuration of our own, so no other user of fontconfig in the process is disturbed.
  loading_ = std::async(std::launch::async, [] { return FcInitLoadConfigAndFonts(); });
}

_FcConfig* FontLookup::Config() {
  if (!loaded_) {
    config_ = loading_.valid() ? loading_.get() : FcInitLoadConfigAndFonts();
    loaded_ = true;
  }
  return config_;
}

FontFile FontLookup::Find(const std::string& family) {
  if (auto it = found_.find(family); it != found_.end()) return it->second;

  FontFile result;
  if (Config() != nullptr) {
    FcPattern* pattern = FcPatternCreate();
    const char* name = family.empty() ? "sans-serif" : family.c_str();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name));
    FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config_, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult match_result = FcResultNoMatch;
    if (FcPattern* match = FcFontMatch(config_, pattern, &match_result)) {
      FcChar8* file = nullptr;
      if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr) {
        result.path = reinterpret_cast<const char*>(file);
        int index = 0;
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) result.index = index;
      }
      FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
  }
  found_.emplace(family, result);
  return result;
}

}  // namespace larkspill

#include "platform/fonts/font_lookup.h"

#include <fontconfig/fontconfig.h>

#include <set>

namespace larkspill {

namespace {

// The name a face's family goes by: its English name where it has several, else its first.
std::string FamilyName(FcPattern* face) {
  FcChar8* first = nullptr;
  for (int i = 0;; ++i) {
    FcChar8* family = nullptr;
    if (FcPatternGetString(face, FC_FAMILY, i, &family) != FcResultMatch) break;
    if (i == 0) first = family;
    FcChar8* lang = nullptr;
    if (FcPatternGetString(face, FC_FAMILYLANG, i, &lang) == FcResultMatch &&
        FcStrCmpIgnoreCase(lang, reinterpret_cast<const FcChar8*>("en")) == 0) {
      return reinterpret_cast<const char*>(family);
    }
  }
  return first != nullptr ? reinterpret_cast<const char*>(first) : std::string();
}

// The plain face fontconfig picks for `name` from `config` (nullptr: the current configuration).
FontFile Match(FcConfig* config, const std::string& name) {
  FontFile result;
  FcPattern* pattern = FcPatternCreate();
  const std::string family = WithoutFoundry(name);
  const char* asked = family.empty() ? "sans-serif" : family.c_str();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(asked));
  FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult match_result = FcResultNoMatch;
  if (FcPattern* match = FcFontMatch(config, pattern, &match_result)) {
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr) {
      result.path = reinterpret_cast<const char*>(file);
      int index = 0;
      if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) result.index = index;
      result.family = FamilyName(match);
    }
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  return result;
}

}  // namespace

std::string WithoutFoundry(const std::string& name) {
  // Qt lists a family that several foundries make as "Family [foundry]"; the foundry may end in
  // spaces ("[URW ]").
  const size_t open = name.rfind(" [");
  if (open == std::string::npos || open == 0 || name.back() != ']') return name;
  return name.substr(0, open);
}

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
  if (Config() != nullptr) result = Match(config_, family);
  found_.emplace(family, result);
  return result;
}

FontFile MatchFontFace(const std::string& name) {
  if (FcInit() != FcTrue) return {};
  return Match(nullptr, name);
}

std::vector<std::string> FontFamilies() {
  std::vector<std::string> families;
  if (FcInit() != FcTrue) return families;
  FcPattern* scalable = FcPatternCreate();
  FcPatternAddBool(scalable, FC_SCALABLE, FcTrue);
  FcObjectSet* wanted = FcObjectSetBuild(FC_FAMILY, FC_FAMILYLANG, nullptr);
  if (FcFontSet* faces = FcFontList(nullptr, scalable, wanted)) {
    std::set<std::string> seen;
    for (int i = 0; i < faces->nfont; ++i) {
      std::string family = FamilyName(faces->fonts[i]);
      if (!family.empty() && seen.insert(family).second) families.push_back(std::move(family));
    }
    FcFontSetDestroy(faces);
  }
  FcObjectSetDestroy(wanted);
  FcPatternDestroy(scalable);
  return families;
}

}  // namespace larkspill

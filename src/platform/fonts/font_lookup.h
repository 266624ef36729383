#pragma once

#include <future>
#include <map>
#include <string>
#include <vector>

// fontconfig's configuration type, kept out of this header.
struct _FcConfig;

namespace larkspill {

// An installed font file and the face within it.
struct FontFile {
  std::string path;    // empty when no installed font matches
  int index = 0;       // face index inside a font collection
  std::string family;  // the face's family, named as FontFamilies names it
};

// Turns a face name such as "Arial" into the installed font file that the desktop would use for
// it, in its plain (regular, upright) style. Answers are remembered, so asking again costs no
// fontconfig work.
class FontLookup {
 public:
  FontLookup() = default;
  ~FontLookup();
  FontLookup(const FontLookup&) = delete;
  FontLookup& operator=(const FontLookup&) = delete;

  // The best installed match for `family`; an empty name asks for the default sans face.
  // A name no installed font carries gets fontconfig's nearest substitute. A name as older font
  // lists wrote it, with the foundry in brackets ("Nimbus Roman [urw]"), finds its family.
  FontFile Find(const std::string& family);

  // Starts reading fontconfig's configuration and font list on a thread of its own, so that the
  // first `Find` need not wait for it. Optional; calling it again does nothing.
  void Prepare();

 private:
  _FcConfig* Config();

  std::future<_FcConfig*> loading_;
  bool loaded_ = false;
  _FcConfig* config_ = nullptr;
  std::map<std::string, FontFile> found_;
};

// The families of the installed fonts the saver can draw (scalable ones), each once, in
// fontconfig's order: the names `FontLookup::Find` resolves to that very family. Uses the
// process's current fontconfig configuration, which a toolkit may already have loaded.
std::vector<std::string> FontFamilies();

// The face `FontLookup::Find` gives for `name`, found with the process's current fontconfig
// configuration instead of a lookup's own.
FontFile MatchFontFace(const std::string& name);

// A face name without the foundry some font lists add in brackets: "Nimbus Roman [urw]" is
// "Nimbus Roman"; other names are returned as they are.
std::string WithoutFoundry(const std::string& name);

}  // namespace larkspill

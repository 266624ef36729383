#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>

namespace larkspill {

// The scene's pictures painted for a screen's own scale, kept in the user's cache folder
// ($XDG_CACHE_HOME/larkspill). The pictures shipped with the program are painted for an 800 x 600
// screen; a larger screen shows them filtered until the painter (the asset generator run with
// --scale) has painted them at its scale in the background, once per scale and painter.
//
// A folder is used only when it is complete and sound: painted into a folder of its own and
// renamed into place once the painter succeeded, a real folder of this user's that nobody else
// may write, holding regular files only. Anything else is refused, reported once on stderr, and
// the shipped pictures stay in use.
class PaintedPictures {
 public:
  // `cache_home` is the user's cache folder (CacheHome()); `painter` the asset generator.
  PaintedPictures(std::filesystem::path cache_home, std::filesystem::path painter);
  ~PaintedPictures();  // stops a painting still running; its half-painted folder is removed
  PaintedPictures(const PaintedPictures&) = delete;
  PaintedPictures& operator=(const PaintedPictures&) = delete;

  // The folder holding every picture the saver shows, painted at `scale`, when one is complete
  // and sound; nothing otherwise.
  std::optional<std::filesystem::path> Folder(double scale);
  // Starts painting the pictures at `scale` in the background, at the lowest priority, unless a
  // folder for it is complete, a painting runs, or painting has failed before in this run.
  void StartPainting(double scale);
  // Cheap; call now and then. True once, when a painting started here has finished and its
  // folder is in place (Folder(scale) then returns it).
  bool TakeFinished();
  // Says that a folder Folder returned turned out unusable (a picture in it could not be read):
  // it is not offered again in this run.
  void Refuse(const std::filesystem::path& folder, const std::string& why);
};

}  // namespace larkspill

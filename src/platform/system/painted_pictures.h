#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include "os/fd.h"
#include "scene/scene_layout.h"

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
//
// Why a cache and not sets shipped at 2x, 3x and 4x: those would add about 220 MB to the
// installed package, where painting the screen's own scale once takes tens of seconds and a few
// tens of MB of the user's cache, and gives exactly the screen's resolution.
//
// The calls come from one thread, the one that made the object: the painter is told to die with
// that thread (PR_SET_PDEATHSIG), should the saver crash.
class PaintedPictures {
 public:
  // `cache_home` is the user's cache folder (CacheHome()); `painter` the asset generator.
  PaintedPictures(std::filesystem::path cache_home, std::filesystem::path painter);
  ~PaintedPictures();  // stops a painting still running; its half-painted folder is removed
  PaintedPictures(const PaintedPictures&) = delete;
  PaintedPictures& operator=(const PaintedPictures&) = delete;

  // The folder holding every picture the saver shows, painted at `scale` with backgrounds that
  // cover `area` (the wide ones, or a desk of monitors one scene spreads across), when one is
  // complete and sound; nothing otherwise.
  std::optional<std::filesystem::path> Folder(double scale,
                                              const scene_layout::SceneArea& area = {});
  // Starts painting the pictures at `scale`, the backgrounds covering `area`, in the background,
  // at the lowest priority, unless a folder for it is complete, a painting runs, or painting has
  // failed before in this run.
  void StartPainting(double scale, const scene_layout::SceneArea& area = {});
  // Cheap; call now and then. True once, when a painting started here has finished and its
  // folder is in place (Folder(scale) then returns it).
  bool TakeFinished();
  // Says that a folder Folder returned turned out unusable (a picture in it could not be read):
  // it is not offered again in this run.
  void Refuse(const std::filesystem::path& folder, const std::string& why);

 private:
  // A painter at work, into a folder of its own in the root.
  struct Painting {
    pid_t pid = -1;
    double scale = 0;
    scene_layout::SceneArea area;
    std::string folder;  // its name in the root: painting-XXXXXX
    Fd root;             // the root, open, for the rename into place
    Fd lock;  // the folder, flock()ed while it is painted into, so no one takes it for stale
  };

  // The root, open, when it is a sound folder (made first when `make`); not open otherwise, and
  // said once why. The first time, the painting folders earlier runs left behind are removed.
  Fd OpenRoot(bool make);
  // The folder's name in the root for `scale`; empty for a scale nothing is painted at.
  std::string FolderName(double scale, const scene_layout::SceneArea& area) const;
  // Ends the painting: its folder renamed into place on success, removed otherwise. True when a
  // folder for its scale is in place.
  bool Finish(int status, bool status_known);
  // Says `text` on stderr, once in this run for each `key`.
  void SayOnce(const std::string& key, const std::string& text);

  std::filesystem::path cache_home_;
  std::filesystem::path root_;  // <cache home>/larkspill; empty without a cache home
  std::filesystem::path painter_;
  std::string identity_;  // a short hash of the painter's path, size and time; empty when missing
  bool stale_removed_ = false;
  bool painter_failed_ = false;  // a painting failed in this run: none is tried again
  std::optional<Painting> painting_;
  std::set<std::string> tried_;    // the folders painted, or tried, in this run
  std::set<std::string> refused_;  // the folders not to be used in this run
  std::set<std::string> said_;
};

}  // namespace larkspill

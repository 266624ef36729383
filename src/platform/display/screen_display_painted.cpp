// The display's change to pictures painted at the screens' scales: they are found or painted by
// PaintedPictures, one scale at a time, read on a thread of their own while the frames go on, and
// then the frames of that scale are made again at their screens' size with them.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "platform/display/screen_display.h"
#include "platform/system/painted_pictures.h"

namespace larkspill {
namespace {

// A screen this little larger than the scene shows the pictures as they are.
constexpr double kLeastScaleToPaint = 1.01;

}  // namespace

// The scales of the screens that want pictures painted for them.
std::set<double> ScreenDisplay::WantedScales() const {
  std::set<double> scales;
  if (desk_) {
    // A desk wants its backgrounds painted even at the scene's own scale: the forest goes on.
    for (const SceneFit& part : desk_->monitors) {
      if (part.width > 0) scales.insert(DeskPaintScale(part));
    }
    return scales;
  }
  for (const ScreenPlace& place : screens_->List()) {
    if (place.width <= 0 || place.height <= 0) continue;
    const double scale = SceneFit::ScreenScale(place.height);
    if (scale >= kLeastScaleToPaint) scales.insert(scale);
  }
  return scales;
}

// Whether the screens want pictures painted at their scales, and whether they are at hand yet.
void ScreenDisplay::PlanPaintedPictures() {
  frames_until_look_ = 0;
  if (painted_ == nullptr) return;
  for (double scale : WantedScales()) {
    if (!planned_.insert(scale).second) continue;
    if (auto folder = painted_->Folder(scale, painted_area_)) {
      painted_folders_[scale] = *folder;
    } else {
      unpainted_.insert(scale);
    }
  }
  // One painting at a time, the largest scale first: it gains the most.
  if (!unpainted_.empty()) painted_->StartPainting(*unpainted_.rbegin(), painted_area_);
}

void ScreenDisplay::TakePaintedPictures() {
  if (!look_due_) return;
  look_due_ = false;
  LookAfterPaintedPictures();
}

void ScreenDisplay::LookAfterPaintedPictures() {
  if (painted_read_.valid()) {
    if (painted_read_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return;
    PaintedRead read = painted_read_.get();
    stop_reading_.reset();
    if (read.error.empty()) {
      AddPainted(std::move(read.pictures), reading_folder_, reading_scale_);
    } else {
      painted_->Refuse(reading_folder_, read.error);
    }
    return;
  }
  if (!unpainted_.empty() && painted_->TakeFinished()) {
    for (auto scale = unpainted_.begin(); scale != unpainted_.end();) {
      if (auto folder = painted_->Folder(*scale, painted_area_)) {
        painted_folders_[*scale] = *folder;
        scale = unpainted_.erase(scale);
      } else {
        ++scale;
      }
    }
    if (!unpainted_.empty()) painted_->StartPainting(*unpainted_.rbegin(), painted_area_);
  }
  if (!painted_folders_.empty()) {
    const auto [scale, folder] = *painted_folders_.rbegin();
    painted_folders_.erase(scale);
    StartReadingPainted(folder, scale);
  }
}

// Reads the painted picture of every loaded picture's file from `folder`, on a thread of its own. A
// picture not of the size painting the shipped one at its scale gives is refused with
// the folder: a file put there by hand, or by another painter, is not shown.
void ScreenDisplay::StartReadingPainted(const std::filesystem::path& folder, double scale) {
  struct Wanted {
    std::filesystem::path path;
    bool keyed;
    int w, h;  // the size painted at the scale
  };
  std::vector<Wanted> wanted;
  for (const LoadedPictures& loaded : loaded_) {
    for (size_t i = 0; i < loaded.files.size(); ++i) {
      const auto& [path, keyed] = loaded.files[i];
      const Picture* shipped = loaded.frames[i];
      // A desk's backgrounds cover the desk.
      const bool desk_wide = loaded.background && painted_area_ != scene_layout::SceneArea{};
      const double w = desk_wide ? painted_area_.width : shipped->pixels->w;
      const double h = desk_wide ? painted_area_.height : shipped->pixels->h;
      wanted.push_back({folder / std::filesystem::path(path).filename(), keyed,
                        static_cast<int>(std::lround(w * scale)),
                        static_cast<int>(std::lround(h * scale))});
    }
  }
  reading_folder_ = folder;
  reading_scale_ = scale;
  stop_reading_ = std::make_shared<std::atomic<bool>>(false);
  painted_read_ =
      std::async(std::launch::async, [wanted = std::move(wanted), stop = stop_reading_] {
        PaintedRead read{std::make_unique<PictureStore>(), {}};
        try {
          for (const Wanted& picture : wanted) {
            if (stop->load()) return PaintedRead{nullptr, "stopped"};
            const SDL_Surface* got =
                read.pictures->Get(picture.path.string(), picture.keyed).pixels.get();
            if (std::abs(got->w - picture.w) > 1 || std::abs(got->h - picture.h) > 1) {
              return PaintedRead{nullptr, picture.path.string() + " is " + std::to_string(got->w) +
                                              " x " + std::to_string(got->h) + ", not " +
                                              std::to_string(picture.w) + " x " +
                                              std::to_string(picture.h)};
            }
          }
        } catch (const std::exception& e) {  // a picture that cannot be read, or no memory for it
          return PaintedRead{nullptr, e.what()};
        }
        return read;
      });
}

// The frames of the painted scale made again at their screens' own size, with the painted
// pictures; every screen is sent whole at the next frame.
void ScreenDisplay::AddPainted(std::unique_ptr<PictureStore> pictures,
                               const std::filesystem::path& folder, double scale) {
  // Pictures painted for a screen that has since changed are not for this one.
  if (!open_ || !WantedScales().contains(scale)) return;
  // Every frame's painted picture (read already; one loaded since is read now), before anything
  // changes: a picture that cannot be had leaves the shipped ones in place.
  PaintedSet set{std::move(pictures), folder, {}};
  try {
    for (const LoadedPictures& loaded : loaded_) {
      std::vector<const Picture*>& painted = set.frames.emplace_back(loaded.frames.size(), nullptr);
      for (size_t i = 0; i < loaded.files.size(); ++i) {
        const auto& [path, keyed] = loaded.files[i];
        painted[i] =
            &set.store->Get((folder / std::filesystem::path(path).filename()).string(), keyed);
      }
    }
  } catch (const std::exception& e) {
    painted_->Refuse(folder, e.what());
    return;
  }
  // The screens of that scale get new frames; the others keep theirs.
  painted_sets_[scale] = std::move(set);
  Refit();
}

void ScreenDisplay::AddToPaintedSets(const LoadedPictures& loaded) {
  bool dropped = false;
  for (auto set = painted_sets_.begin(); set != painted_sets_.end();) {
    std::vector<const Picture*>& painted = set->second.frames.emplace_back();
    try {
      for (const auto& [path, keyed] : loaded.files) {
        painted.push_back(&set->second.store->Get(
            (set->second.folder / std::filesystem::path(path).filename()).string(), keyed));
      }
      ++set;
    } catch (const std::exception& e) {
      painted_->Refuse(set->second.folder, e.what());
      if (!dropped) DropFrames();
      dropped = true;
      set = painted_sets_.erase(set);
    }
  }
  if (dropped) Refit();
}

}  // namespace larkspill

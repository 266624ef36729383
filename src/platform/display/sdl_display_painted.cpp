// The display's change to pictures painted at the screen's scale: they are found or painted by
// PaintedPictures, read on a thread of their own while the frames go on, and then the frame is
// made again at the screen's size with them.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "platform/display/sdl_display.h"
#include "platform/system/painted_pictures.h"
#include "platform/x11/x11_shared_image.h"

namespace larkspill {
namespace {

// A screen this little larger than the scene shows the pictures as they are.
constexpr double kLeastScaleToPaint = 1.01;

}  // namespace

// Whether the screen wants pictures painted at its scale, and whether they are at hand yet.
void SdlDisplay::PlanPaintedPictures() {
  frames_until_look_ = 0;
  if (painted_ == nullptr || screen_scale_ < kLeastScaleToPaint) return;
  painted_folder_ = painted_->Folder(screen_scale_);
  if (!painted_folder_) painted_->StartPainting(screen_scale_);
}

void SdlDisplay::LookAfterPaintedPictures() {
  if (painted_read_.valid()) {
    if (painted_read_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return;
    PaintedRead read = painted_read_.get();
    stop_reading_.reset();
    if (read.error.empty()) {
      ChangeToPainted(std::move(*read.pictures));
    } else {
      painted_->Refuse(reading_folder_, read.error);
    }
    return;
  }
  if (fit_.scale != 1 || screen_scale_ < kLeastScaleToPaint) return;
  if (!painted_folder_ && painted_->TakeFinished()) {
    painted_folder_ = painted_->Folder(screen_scale_);
  }
  if (painted_folder_) {
    StartReadingPainted(*painted_folder_);
    painted_folder_.reset();
  }
}

// Reads the painted picture of every loaded picture's file from `folder`, on a thread of its own. A
// picture not of the size painting the shipped one at the screen's scale gives is refused with
// the folder: a file put there by hand, or by another painter, is not shown.
void SdlDisplay::StartReadingPainted(const std::filesystem::path& folder) {
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
      wanted.push_back({folder / std::filesystem::path(path).filename(), keyed,
                        static_cast<int>(std::lround(shipped->pixels->w * screen_scale_)),
                        static_cast<int>(std::lround(shipped->pixels->h * screen_scale_))});
    }
  }
  reading_folder_ = folder;
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

// The frame made again at the screen's own size, with the painted pictures; everything is sent
// whole at the next frame.
void SdlDisplay::ChangeToPainted(PictureStore pictures) {
  int screen_w = 0;
  int screen_h = 0;
  // Pictures painted for a screen that has since changed are not for this one.
  if (!open_ || !ScreenSize(&screen_w, &screen_h) ||
      SceneFit::ScreenScale(screen_h) != screen_scale_) {
    return;
  }
  // Every frame's painted picture (read already; one loaded since is read now), before anything
  // changes: a picture that cannot be had leaves the shipped ones in place.
  std::vector<std::vector<const Picture*>> frames;
  try {
    for (const LoadedPictures& loaded : loaded_) {
      std::vector<const Picture*>& painted = frames.emplace_back(loaded.frames.size(), nullptr);
      for (size_t i = 0; i < loaded.files.size(); ++i) {
        const auto& [path, keyed] = loaded.files[i];
        painted[i] = &pictures.Get(
            (reading_folder_ / std::filesystem::path(path).filename()).string(), keyed);
      }
    }
  } catch (const std::exception& e) {
    painted_->Refuse(reading_folder_, e.what());
    return;
  }
  screens_.clear();
  if (composer_) pixels_composed_before_ += composer_->pixels_composed();
  composer_.reset();
  shared_frame_.reset();
  frame_pixels_ = {};
  // The store moves, its pictures stay where they are.
  pictures_ = std::move(pictures);
  for (size_t s = 0; s < loaded_.size(); ++s) loaded_[s].frames = std::move(frames[s]);
  fit_ = SceneFit::For(screen_w, screen_h, true);
  MakeFrame();
  MakePresenters();
}

}  // namespace larkspill

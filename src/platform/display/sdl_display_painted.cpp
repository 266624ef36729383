// The display's change to pictures painted at the screen's scale: they are found or painted by
// PaintedPictures, read on a thread of their own while the frames go on, and then the frame is
// made again at the screen's size with them.
#include <cstdio>

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

void SdlDisplay::WaitForPaintedPictures() {
  if (!painted_read_.valid()) return;
  painted_read_.wait();
  LookAfterPaintedPictures();
}

// Reads the painted picture of every sprite frame's file from `folder`, on a thread of its own.
void SdlDisplay::StartReadingPainted(const std::filesystem::path& folder) {
  std::vector<std::pair<std::filesystem::path, bool>> files;
  for (const Sprite& sprite : sprites_) {
    for (const auto& [path, keyed] : sprite.files) {
      if (!path.empty()) files.emplace_back(folder / std::filesystem::path(path).filename(), keyed);
    }
  }
  reading_folder_ = folder;
  stop_reading_ = std::make_shared<std::atomic<bool>>(false);
  painted_read_ = std::async(std::launch::async, [files = std::move(files), stop = stop_reading_] {
    PaintedRead read{std::make_unique<PictureStore>(), {}};
    try {
      for (const auto& [path, keyed] : files) {
        if (stop->load()) return PaintedRead{nullptr, "stopped"};
        read.pictures->Get(path.string(), keyed);
      }
    } catch (const AssetError& e) {
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
  screens_.clear();
  if (composer_) pixels_composed_before_ += composer_->pixels_composed();
  composer_.reset();
  shared_frame_.reset();
  frame_pixels_ = {};
  for (Sprite& sprite : sprites_) std::fill(sprite.frames.begin(), sprite.frames.end(), nullptr);
  pictures_ = std::move(pictures);
  for (Sprite& sprite : sprites_) {
    for (size_t i = 0; i < sprite.files.size(); ++i) {
      const auto& [path, keyed] = sprite.files[i];
      if (path.empty()) continue;
      sprite.frames[i] = &pictures_.Get(
          (reading_folder_ / std::filesystem::path(path).filename()).string(), keyed);
    }
  }
  fit_ = SceneFit::For(screen_w, screen_h, true);
  MakeFrame();
  MakePresenters();
}

}  // namespace larkspill

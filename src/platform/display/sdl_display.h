#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/display/display_trace.h"
#include "platform/display/frame_pacer.h"
#include "platform/display/picture_store.h"
#include "platform/display/screen_windows.h"
#include "platform/display/text_cache.h"
#include "platform/files/sdl_ptrs.h"
#include "platform/frame/frame_composer.h"
#include "platform/frame/presenter.h"
#include "platform/frame/scaled_view.h"
#include "platform/frame/scene_fit.h"
#include "scene/scene_display.h"

namespace larkspill {

class PaintedPictures;
class WaylandScreens;
class X11SharedImage;

// The scene's display on SDL2: the 800 x 600 scene composed in memory and shown on any window or
// screen size (in full-screen mode on every monitor), scaled to the screen's height with as much
// of the wide backgrounds beside it as the screen's width shows (SceneFit). The frame starts at
// the scene's own scale, filtered to the screen's size with its texts drawn at that size; when
// pictures painted at the screen's scale are at hand (PaintedPictures), they are read beside the
// running frames and the frame changes to the screen's own size. Pictures are quantised to 16
// bits per pixel (RGB565); texts come from fonts that fontconfig finds by face name.
//
// It puts together the parts in this folder: the pictures (PictureStore), the texts
// (TextCache), the frame's drawings and what changed (FrameComposer), how each window shows the
// frame (ScaledView) and receives it (a Presenter: X11Presenter, or SdlSurfacePresenter), the
// windows and their events (ScreenWindows) and the frame rate (FramePacer). docs/ARCHITECTURE.md
// draws how a frame flows through them.
//
// It keeps the pictures it loaded and what the last frame showed, nothing of the scene's: each
// frame is drawn from the scene's description of it. A drawing of pictures it never handed out
// raises std::out_of_range.
class SdlDisplay : public SceneDisplay {
 public:
  explicit SdlDisplay(SdlDisplayOptions options);
  ~SdlDisplay() override;
  SdlDisplay(const SdlDisplay&) = delete;
  SdlDisplay& operator=(const SdlDisplay&) = delete;

  // Shows the frame on these Wayland screens instead of SDL's windows; before Open.
  void UseWayland(std::unique_ptr<WaylandScreens> screens);
  // Where pictures painted at the screen's scale are found and painted; before Open.
  void UsePaintedPictures(PaintedPictures* painted) { painted_ = painted; }
  bool OnWayland() const { return wayland_ != nullptr; }
  // Whether the frame is surely seen: on X11 once shown; on Wayland once the seat's input has
  // reached the saver's surfaces (under a held lock it never does).
  bool SurelyShown() const;
  // While every monitor is dark nothing is composed or shown (the sprites still move); the first
  // frame after it shows every window whole.
  void SetDark(bool dark);
  // Sleeps until an event may have come, `milliseconds` have passed or a signal arrived.
  void WaitForEvents(uint32_t milliseconds);

  bool Open(int32_t width, int32_t height) override;
  Pictures LoadPictures(std::span<const std::string> paths, bool keyed) override;
  bool Show(const SceneFrame& frame) override;
  void Close() override;

  // Handles every pending window-system event (ScreenWindows::Pump).
  void PumpEvents(DisplayEvents& events);
  void SetCursorVisible(bool visible);

  // The frame with everything drawn so far (after Flip: as last shown), 32-bit ARGB at the
  // logical size; null when the display is closed.
  SdlSurfacePtr CaptureFrame();
  // Writes CaptureFrame() as a BMP file; false when there is no frame or the file fails.
  bool SaveScreenshot(const std::string& bmp_path);

  // What the display has done so far, for tests and measurements.
  int PictureDecodes() const { return pictures_.decodes(); }
  // How the frame reaches the screen, and on how many windows.
  std::string RendererName() const;
  int WindowCount() const { return static_cast<int>(screens_.size()); }
  // Frame pixels composed so far.
  int64_t PixelsComposed() const;

  static constexpr int kMinFontSize = TextCache::kMinFontSize;
  static constexpr int kMaxFontSize = TextCache::kMaxFontSize;
  static constexpr size_t kTextCacheSize = TextCache::kCacheSize;

 private:
  // A picture's frames as loaded, and where they came from, so that painted ones can replace them.
  struct LoadedPictures {
    std::vector<const Picture*> frames;               // frame n at index n - 1
    std::vector<std::pair<std::string, bool>> files;  // each frame's file, and whether keyed
  };
  // Pictures painted at the screen's scale, read on a thread of their own.
  struct PaintedRead {
    std::unique_ptr<PictureStore> pictures;
    std::string error;  // empty when every picture was read
  };
  // A window showing the frame.
  struct Screen {
    Uint32 window_id = 0;
    std::unique_ptr<Presenter> presenter;
    ScaledView view;
    int w = 0;  // the window's size as last seen
    int h = 0;
    pixman_box32_t visible{};  // the part of the window on the screen, as of the last whole
    bool whole = true;         // everything must be shown again (new, resized or exposed)
  };

  void Fill(int32_t colour);
  void Draw(const PictureDrawing& drawing);
  void Draw(const TextDrawing& drawing);
  void Flip();
  // Whether the display is gone: closed or never opened, its windows or the Wayland connection
  // lost, or the host's window destroyed.
  bool Gone();
  bool OpenOnWayland();
  void FollowWaylandOutputs();
  void Present(Screen& screen);
  void MakeFrameForScreen();
  void MakeFrame();
  void MakeScreens();
  void MakePresenters();
  bool ScreenSize(int* w, int* h) const;
  void PlanPaintedPictures();
  void LookAfterPaintedPictures();
  void StartReadingPainted(const std::filesystem::path& folder);
  void ChangeToPainted(PictureStore pictures);
  void FollowMonitors();
  void ReleaseAll();

  SdlDisplayOptions options_;
  int32_t logical_width_ = 0;
  int32_t logical_height_ = 0;
  bool video_started_ = false;
  bool open_ = false;
  bool dark_ = false;
  bool cursor_visible_ = true;

  ScreenWindows windows_{options_};
  std::unique_ptr<WaylandScreens> wayland_;  // the screens on Wayland, in place of SDL's windows
  PictureStore pictures_;
  TextCache texts_;
  std::vector<LoadedPictures> loaded_;  // by Pictures::index
  std::unique_ptr<X11SharedImage> shared_frame_;
  std::vector<uint32_t> frame_pixels_;  // the frame's pixels, when not shared with X
  std::unique_ptr<FrameComposer> composer_;
  std::vector<Screen> screens_;
  Region window_changes_;  // scratch: what one window is sent
  FramePacer pacer_;
  SceneFit fit_ = SceneFit::Exact();
  PaintedPictures* painted_ = nullptr;
  double screen_scale_ = 1;  // the scale of pictures painted for the screen
  std::optional<std::filesystem::path> painted_folder_;  // complete, not yet read
  std::filesystem::path reading_folder_;
  std::future<PaintedRead> painted_read_;
  std::shared_ptr<std::atomic<bool>> stop_reading_;
  int frames_until_look_ = 0;
  int64_t pixels_presented_ = 0;
  int64_t parts_presented_ = 0;          // rectangles sent
  int64_t pixels_composed_before_ = 0;   // by composers of earlier openings
  std::unique_ptr<DisplayTrace> trace_;  // only with LARKSPILL_TRACE set
};

}  // namespace larkspill

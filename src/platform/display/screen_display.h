#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/display/display_trace.h"
#include "platform/display/picture_store.h"
#include "platform/frame/desk_fit.h"
#include "platform/files/sdl_ptrs.h"
#include "platform/fonts/text_cache.h"
#include "platform/frame/frame_composer.h"
#include "platform/frame/presenter.h"
#include "platform/frame/scaled_view.h"
#include "platform/frame/scene_fit.h"
#include "platform/frame/screens.h"
#include "scene/scene_display.h"

namespace larkspill {

class PaintedPictures;

// The scene's display: the 800 x 600 scene composed in memory and shown on the window system's
// screens (Screens), each scaled to the screen's height with as much of the wide backgrounds
// beside it as the screen's width shows (SceneFit). The frame starts at the scene's own scale,
// filtered to the screen's size with its texts drawn at that size; when pictures painted at the
// screen's scale are at hand (PaintedPictures), they are read beside the running frames and the
// frame changes to the screen's own size. Pictures are quantised to 16 bits per pixel (RGB565);
// texts come from fonts that fontconfig finds by face name.
//
// It puts together the parts in this folder: the pictures (PictureStore), the texts
// (TextCache), the frame's drawings and what changed (FrameComposer), how each screen shows the
// frame (ScaledView) and receives it (the Presenter its Screens make, which also pace the
// frames). docs/ARCHITECTURE.md draws how a frame flows through them.
//
// It keeps the pictures it loaded and what the last frame showed, nothing of the scene's: each
// frame is drawn from the scene's description of it. A drawing of pictures it never handed out
// raises std::out_of_range.
class ScreenDisplay : public SceneDisplay {
 public:
  explicit ScreenDisplay(std::unique_ptr<Screens> screens);
  ~ScreenDisplay() override;
  ScreenDisplay(const ScreenDisplay&) = delete;
  ScreenDisplay& operator=(const ScreenDisplay&) = delete;

  // Where pictures painted at the screen's scale are found and painted; before Open.
  void UsePaintedPictures(PaintedPictures* painted) { painted_ = painted; }
  // One scene spread across all the screens, when there are several (DeskFit), in place of the
  // whole scene on each; the clock and the message show once, on the primary screen. Before Open.
  void SpreadAcrossScreens(bool spread) { spread_ = spread; }
  // Whether the frame is surely seen: not under a screen locker that holds the screen.
  bool SurelyShown() const { return screens_->SurelyShown(); }
  // While every monitor is dark nothing is composed or shown (the sprites still move); the first
  // frame after it shows every window whole.
  void SetDark(bool dark);
  // Sleeps until an event may have come, `milliseconds` have passed or a signal arrived.
  void WaitForEvents(uint32_t milliseconds) { screens_->WaitForEvents(milliseconds); }
  // Whether the window system stopped taking frames on every screen (a Wayland compositor that
  // sends no more frame callbacks): dark, as with every monitor off.
  bool ScreensDark() const { return screens_->AllDark(); }

  bool Open(int32_t width, int32_t height) override;
  Pictures LoadPictures(std::span<const std::string> paths, bool keyed) override;
  // Spread across a desk, the desk's edges.
  SceneEdges CreatureEdges() const override;
  // Composes the frame and sends each screen what changed.
  bool Show(const SceneFrame& frame) override;
  void Close() override;

  // Between frames: swaps in the pictures painted at the screens' scales once they are read
  // (looked after about twice a second).
  void TakePaintedPictures();
  // Sleeps until the next frame is due, after a frame was shown.
  void WaitForNextFrame();

  // Handles every pending window-system event.
  void PumpEvents(DisplayEvents& events);
  void SetCursorVisible(bool visible) { screens_->SetCursorVisible(visible); }

  // The first screen's frame with everything drawn so far (after Show: as last shown), 32-bit
  // ARGB at the logical size; null when the display is closed.
  SdlSurfacePtr CaptureFrame();
  // Writes CaptureFrame() as a BMP file; false when there is no frame or the file fails.
  bool SaveScreenshot(const std::string& bmp_path);

  // What the display has done so far, for tests and measurements.
  int PictureDecodes() const { return pictures_.decodes(); }
  // How the frame reaches the screen, and on how many windows.
  std::string RendererName() const;
  int WindowCount() const { return static_cast<int>(screens_shown_.size()); }
  // Frames composed for the screens now (screens of one size and scale share one).
  int FrameCount() const { return static_cast<int>(frames_.size()); }
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
    bool background = false;  // the scene's background: painted for a desk, it covers the desk
  };
  // The pictures painted at one scale, in place of the shipped ones: frames by Pictures::index.
  struct PaintedSet {
    std::unique_ptr<PictureStore> store;
    std::filesystem::path folder;
    std::vector<std::vector<const Picture*>> frames;
  };
  // Pictures painted at a screen's scale, read on a thread of their own.
  struct PaintedRead {
    std::unique_ptr<PictureStore> pictures;
    std::string error;  // empty when every picture was read
  };
  // One composed frame, shown by every screen it was made for.
  struct Frame {
    SceneFit fit = SceneFit::Exact();
    double scale = 1;                     // the screens' scale over the scene's
    const PaintedSet* painted = nullptr;  // the pictures drawn, when not the shipped ones
    bool texts = true;                    // whether the clock and the message show on it
    std::unique_ptr<FrameMemory> memory;
    std::unique_ptr<FrameComposer> composer;
  };
  // A screen showing a frame.
  struct Screen {
    size_t frame = 0;  // index into frames_
    std::unique_ptr<Presenter> presenter;
    ScaledView view;
    int w = 0;  // the window's size as last seen
    int h = 0;
    pixman_box32_t visible{};  // the part of the window on the screen, as of the last whole
    bool whole = true;         // everything must be shown again (new, resized or exposed)
  };

  void Fill(Frame& frame, int32_t colour);
  void Draw(Frame& frame, const PictureDrawing& drawing);
  bool Draw(Frame& frame, const TextDrawing& drawing);
  // Whether the display is gone: closed or never opened, or its screens lost.
  bool Gone();
  void Present(Screen& screen);
  // Frames and presenters for the screens as they are now; frames made for a size still shown
  // stay. False when a frame cannot be had.
  bool Refit();
  // The frame screen `screen`, at `place`, shows, made when no frame fits it yet.
  size_t FrameFor(size_t screen, const ScreenPlace& place,
                  std::vector<std::unique_ptr<Frame>>& kept);
  // The desk the screens make when one scene spreads across them; the pictures painted for
  // another desk are let go.
  void FitDesk(const std::vector<ScreenPlace>& places);
  void ForgetPainted();
  // The scale a desk's pictures are painted at for one monitor's part: its own, or the scene's
  // where the monitor is smaller (nothing is painted smaller than the shipped pictures).
  static double DeskPaintScale(const SceneFit& part) { return std::max(1.0, part.scale); }
  void DropFrames();
  void FollowScreens();
  // The scales pictures are wanted painted at.
  std::set<double> WantedScales() const;
  void PlanPaintedPictures();
  void LookAfterPaintedPictures();
  void StartReadingPainted(const std::filesystem::path& folder, double scale);
  void AddPainted(std::unique_ptr<PictureStore> pictures, const std::filesystem::path& folder,
                  double scale);
  // Each painted set's pictures for pictures loaded after it was read; a set that has none is
  // dropped.
  void AddToPaintedSets(const LoadedPictures& loaded);
  void ReleaseAll();

  std::unique_ptr<Screens> screens_;  // first made, last gone: presenters refer to it
  int32_t logical_width_ = 0;
  int32_t logical_height_ = 0;
  bool started_ = false;
  bool open_ = false;
  bool dark_ = false;
  bool spread_ = false;
  std::optional<DeskFit> desk_;  // while one scene spreads across several screens
  // What the painted backgrounds cover: the wide ones, or the desk.
  scene_layout::SceneArea painted_area_;

  PictureStore pictures_;
  TextCache texts_;
  std::vector<LoadedPictures> loaded_;         // by Pictures::index
  std::map<double, PaintedSet> painted_sets_;  // by scale
  std::vector<std::unique_ptr<Frame>> frames_;
  std::vector<Screen> screens_shown_;
  Region window_changes_;  // scratch: what one window is sent
  bool frame_shown_ = false;  // since the last wait for the next frame
  PaintedPictures* painted_ = nullptr;
  std::set<double> unpainted_;  // scales being painted, or waiting to be
  std::map<double, std::filesystem::path> painted_folders_;  // complete, not yet read
  std::set<double> planned_;                                 // scales asked for in this opening
  double reading_scale_ = 0;
  std::filesystem::path reading_folder_;
  std::future<PaintedRead> painted_read_;
  std::shared_ptr<std::atomic<bool>> stop_reading_;
  int frames_until_look_ = 0;
  bool look_due_ = false;
  int64_t pixels_presented_ = 0;
  int64_t parts_presented_ = 0;          // rectangles sent
  int64_t pixels_composed_before_ = 0;   // by composers of earlier frames
  std::unique_ptr<DisplayTrace> trace_;  // only with LARKSPILL_TRACE set
};

}  // namespace larkspill

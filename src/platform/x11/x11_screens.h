#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/frame/frame_pacer.h"
#include "platform/frame/screens.h"
#include "platform/x11/screen_windows.h"
#include "platform/x11/x11_event_routes.h"

namespace larkspill {

// The saver's screens through SDL's windows: on X11 the host's window, or a window on every
// monitor kept on top (ScreenWindows), sent the frame from memory shared with the X server where
// it can (X11Presenter); on any other SDL video driver (tests' offscreen one) through SDL's
// window surface.
class X11Screens : public Screens {
 public:
  explicit X11Screens(WindowOptions options) : options_(std::move(options)) {}
  ~X11Screens() override { Close(); }

  std::string Name() const override;
  bool Start() override;
  bool Open(int32_t width, int32_t height) override;
  std::vector<ScreenPlace> List() const override;
  std::unique_ptr<FrameMemory> MakeFrameMemory(int w, int h) override;
  std::unique_ptr<Presenter> MakePresenter(size_t screen, const FrameComposer& frame,
                                           FrameMemory& memory) override;
  void Pump(DisplayEvents& events, const std::function<void(size_t screen)>& renew) override;
  bool TakeChanged() override { return windows_.MonitorsChanged(); }
  bool Follow() override;
  bool Lost() override { return windows_.Lost(/*check_host=*/true); }
  bool SurelyShown() const override { return true; }
  void WaitForEvents(uint32_t milliseconds) override;
  // Frames start on a fixed grid at the fastest monitor's refresh rate.
  void WaitForNextFrame() override { pacer_.Pace(); }
  void SetCursorVisible(bool visible) override;
  void LetGo() override { windows_.LetGo(); }
  void SetDark(bool dark) override { windows_.SetDark(dark); }
  void Close() override;

 private:
  WindowOptions options_;
  ScreenWindows windows_{options_};
  XEventRoutes routes_;
  int32_t width_ = 0;  // the scene's size the windows are opened for
  int32_t height_ = 0;
  bool video_started_ = false;
  bool cursor_visible_ = true;
  void StartPacing();

  FramePacer pacer_;
};

}  // namespace larkspill

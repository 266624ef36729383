#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/frame/frame_composer.h"
#include "platform/frame/presenter.h"
#include "scene/scene_display.h"

namespace larkspill {

// One screen as the window system has it: a monitor's window, or an output's surface.
struct ScreenPlace {
  int32_t x = 0;  // where it is on the desktop, in pixels
  int32_t y = 0;
  int32_t width = 0;  // its size in pixels; 0 while not yet known
  int32_t height = 0;
  int32_t scale = 1;    // how many pixels a unit of the desktop is (a Wayland output's scale)
  int32_t refresh = 0;  // frames a second; 0 when unknown
  bool primary = false;

  bool operator==(const ScreenPlace&) const = default;
};

// The pixels of a frame, in memory the window system may read from directly.
class FrameMemory {
 public:
  virtual ~FrameMemory() = default;
  virtual uint32_t* pixels() = 0;
  virtual int stride() const = 0;  // bytes a row
  // Waits until the window system no longer reads the pixels; called before they are written.
  virtual void WaitBeforeWriting() {}
};

// Frame pixels in the program's own memory.
class PlainFrameMemory : public FrameMemory {
 public:
  PlainFrameMemory(int w, int h) : width_(w), pixels_(static_cast<size_t>(w) * h, 0) {}
  uint32_t* pixels() override { return pixels_.data(); }
  int stride() const override { return width_ * 4; }

 private:
  int width_;
  std::vector<uint32_t> pixels_;
};

// What the display needs of a window system: its screens, a presenter for each, memory for the
// frames, its events. One implementation a window system; the display never asks which it has.
class Screens {
 public:
  virtual ~Screens() = default;

  // How frames reach the screens, for the trace.
  virtual std::string Name() const = 0;
  // Connects to the window system; false, having said why, when there is no display.
  virtual bool Start() = 0;
  // Opens the screens for a scene of `width` x `height` (the size of a window of its own);
  // false, having said why, when it cannot.
  virtual bool Open(int32_t width, int32_t height) = 0;
  // The screens as they are now, in the order presenters are made for them.
  virtual std::vector<ScreenPlace> List() const = 0;
  // Memory for a w x h frame: where it can, memory the window system reads without a copy.
  virtual std::unique_ptr<FrameMemory> MakeFrameMemory(int w, int h) = 0;
  // How screen `screen` is sent `frame`, whose pixels are in `memory`.
  virtual std::unique_ptr<Presenter> MakePresenter(size_t screen, const FrameComposer& frame,
                                                   FrameMemory& memory) = 0;
  // Handles every pending event: input to `events`, a screen whose pixels must all be sent again
  // to `renew`.
  virtual void Pump(DisplayEvents& events, const std::function<void(size_t screen)>& renew) = 0;
  // Whether screens came, went or changed shape since the last call.
  virtual bool TakeChanged() = 0;
  // Makes the screens as they are now ready for new presenters, once no presenter of the old
  // list is left; false, having said why, when it cannot.
  virtual bool Follow() = 0;
  // Whether the screens are lost: closed, destroyed, or the connection gone.
  virtual bool Lost() = 0;
  // Whether the frame is surely seen (not under a screen locker that holds the screen).
  virtual bool SurelyShown() const = 0;
  // Sleeps until an event may have come, `milliseconds` have passed or a signal arrived.
  virtual void WaitForEvents(uint32_t milliseconds) = 0;
  // After a frame was shown: sleeps until a screen may take the next one, an event may have come
  // or a signal arrived.
  virtual void WaitForNextFrame() = 0;
  // Whether every screen is dark as the window system has it (it stopped taking frames on all of
  // them): then nothing need be composed until one comes back.
  virtual bool AllDark() const { return false; }
  virtual void SetCursorVisible(bool visible) = 0;
  // Every monitor dark (true) or one back: nothing is shown meanwhile, so the screens need not
  // look for changes unasked.
  virtual void SetDark(bool /*dark*/) {}
  // Lets go of the keyboard and the pointer, first thing when closing.
  virtual void LetGo() {}
  // Closes the screens and the connection; Start may follow.
  virtual void Close() = 0;
};

}  // namespace larkspill

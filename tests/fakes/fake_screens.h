#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/frame/screens.h"

namespace larkspill::testing {

// Screens that are only sizes: each presenter notes what it was sent, and a test moves, adds,
// exposes or loses screens between frames.
class FakeScreens : public Screens {
 public:
  // One sending to a screen: the frame it showed, where the frame landed on the screen, and how
  // much of the screen was sent.
  struct Sent {
    size_t screen = 0;
    const FrameComposer* frame = nullptr;
    int frame_w = 0;
    int frame_h = 0;
    pixman_box32_t view{};
    int64_t area = 0;
    bool whole = false;
  };

  std::string Name() const override { return "fake"; }
  bool Start() override { return true; }
  bool Open(int32_t, int32_t) override { return !places.empty(); }
  std::vector<ScreenPlace> List() const override { return places; }
  std::unique_ptr<FrameMemory> MakeFrameMemory(int w, int h) override {
    return std::make_unique<PlainFrameMemory>(w, h);
  }
  std::unique_ptr<Presenter> MakePresenter(size_t screen, const FrameComposer&,
                                           FrameMemory&) override {
    return std::make_unique<Sending>(*this, screen);
  }
  void Pump(DisplayEvents&, const std::function<void(size_t)>& renew) override {
    for (size_t screen : exposed) renew(screen);
    exposed.clear();
  }
  bool TakeChanged() override { return std::exchange(changed, false); }
  bool Follow() override { return true; }
  bool Lost() override { return lost; }
  bool SurelyShown() const override { return true; }
  void WaitForEvents(uint32_t) override {}
  void WaitForNextFrame() override {}
  void SetCursorVisible(bool) override {}
  void Close() override {}

  // What each screen was sent since the last call.
  std::vector<Sent> TakeSent() { return std::exchange(sent, {}); }

  std::vector<ScreenPlace> places;
  std::vector<size_t> exposed;  // screens whose pixels are lost at the next Pump
  bool changed = false;
  bool lost = false;
  std::vector<Sent> sent;

 private:
  class Sending : public Presenter {
   public:
    Sending(FakeScreens& screens, size_t screen) : screens_(screens), screen_(screen) {}
    bool Size(int* w, int* h, bool* renewed) override {
      *renewed = false;
      if (screen_ >= screens_.places.size()) return false;
      *w = screens_.places[screen_].width;
      *h = screens_.places[screen_].height;
      return *w > 0 && *h > 0;
    }
    void Show(const ScaledView& view, const FrameComposer& frame, const Region& boxes,
              bool whole) override {
      screens_.sent.push_back({screen_, &frame, frame.frame_surface()->w, frame.frame_surface()->h,
                               view.view_box(), boxes.Area(), whole});
    }

   private:
    FakeScreens& screens_;
    size_t screen_;
  };
};

}  // namespace larkspill::testing

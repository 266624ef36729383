// The display over screens that come, go, change and get lost, on fake screens: what each screen
// is sent, and which frame it shows.
#include <gtest/gtest.h>

#include <set>

#include "fakes/fake_screens.h"
#include "platform/display/screen_display.h"

namespace larkspill {
namespace {

using testing::FakeScreens;

struct NoEvents : DisplayEvents {
  void OnFrame() override {}
  void OnPointerMoved() override {}
  void OnButton() override {}
  void OnWheel() override {}
  void OnKey() override {}
  void OnScreenTaken() override {}
};

class ScreenDisplayScreensTest : public ::testing::Test {
 protected:
  void Open(std::vector<ScreenPlace> places, bool spread = false) {
    auto screens = std::make_unique<FakeScreens>();
    screens_ = screens.get();
    screens_->places = std::move(places);
    display_ = std::make_unique<ScreenDisplay>(std::move(screens));
    display_->SpreadAcrossScreens(spread);
    ASSERT_TRUE(display_->Open(800, 600));
  }
  // Pumps the events, then shows a frame of `colour`; what the screens were sent.
  std::vector<FakeScreens::Sent> Frame(int32_t colour) {
    NoEvents events;
    display_->PumpEvents(events);
    SceneFrame frame;
    frame.Fill(colour);
    shown_ = display_->Show(frame);
    return screens_->TakeSent();
  }
  static std::set<size_t> SentWhole(const std::vector<FakeScreens::Sent>& sent) {
    std::set<size_t> whole;
    for (const auto& s : sent)
      if (s.whole) whole.insert(s.screen);
    return whole;
  }

  FakeScreens* screens_ = nullptr;
  std::unique_ptr<ScreenDisplay> display_;
  bool shown_ = false;
};

// New screens and exposed ones get everything; the others only what changed; lost, nothing.
TEST_F(ScreenDisplayScreensTest, ScreensAddedOrExposedAreSentWholeAndLostOnesEndTheShowing) {
  Open({{.width = 800, .height = 600}});
  EXPECT_EQ(SentWhole(Frame(kBlack)), std::set<size_t>{0});
  EXPECT_TRUE(Frame(kBlack).empty());  // nothing changed
  screens_->places.push_back({.x = 800, .width = 800, .height = 600});
  screens_->changed = true;
  EXPECT_EQ(SentWhole(Frame(kBlack)), (std::set<size_t>{0, 1}));
  EXPECT_EQ(display_->WindowCount(), 2);
  screens_->exposed = {1};
  const auto sent = Frame(kYellow);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(SentWhole(sent), std::set<size_t>{1});
  EXPECT_EQ(sent[0].area, 800 * 600);  // the whole frame changed colour
  screens_->lost = true;
  EXPECT_TRUE(Frame(kBlack).empty());
  EXPECT_FALSE(shown_);
}

// A monitor unplugged does not end the showing: the others get the next frame whole.
TEST_F(ScreenDisplayScreensTest, AScreenGoneLeavesTheOthersShowingWhole) {
  Open({{.width = 800, .height = 600}, {.x = 800, .width = 1024, .height = 768}});
  Frame(kBlack);
  screens_->places.erase(screens_->places.begin());
  screens_->changed = true;
  const auto sent = Frame(kYellow);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_TRUE(sent[0].whole);
  EXPECT_EQ(display_->WindowCount(), 1);
}

// A portrait monitor beside two landscape ones: each filled edge to edge by a frame fitted to its
// shape, the two alike sharing one; turned, a monitor is fitted again to its new shape.
TEST_F(ScreenDisplayScreensTest, EachScreenIsFilledByAFrameOfItsShapeAndScreensAlikeShareOne) {
  Open({{.width = 1080, .height = 1920},
        {.x = 1080, .width = 2560, .height = 1440},
        {.x = 3640, .width = 2560, .height = 1440}});
  EXPECT_EQ(display_->FrameCount(), 2);
  auto filled = [this](const FakeScreens::Sent& sent) {
    const ScreenPlace& place = screens_->places[sent.screen];
    const pixman_box32_t& v = sent.view;
    return int64_t{v.x2 - v.x1} * (v.y2 - v.y1) * 100 >= int64_t{place.width} * place.height * 99;
  };
  auto sent = Frame(kBlack);
  ASSERT_EQ(sent.size(), 3u);
  for (const auto& s : sent) EXPECT_TRUE(filled(s)) << "screen " << s.screen;
  EXPECT_LT(sent[0].frame_w, sent[0].frame_h);  // portrait
  EXPECT_NE(sent[0].frame, sent[1].frame);
  EXPECT_EQ(sent[1].frame, sent[2].frame);

  screens_->places[0] = {.width = 1920, .height = 1080};
  screens_->changed = true;
  sent = Frame(kBlack);
  ASSERT_EQ(sent.size(), 3u);
  for (const auto& s : sent) EXPECT_TRUE(filled(s) && s.whole) << "screen " << s.screen;
  EXPECT_GT(sent[0].frame_w, sent[0].frame_h);
  // Until pictures are painted for them, screens of one shape show one frame at the scene's scale.
  EXPECT_EQ(display_->FrameCount(), 1);
}

// One scene spread across three monitors: each shows its own part, on a frame of its own, and
// the clock and the message only the primary one (the middle one when none is marked).
TEST_F(ScreenDisplayScreensTest, SpreadAcrossScreensEachShowsItsPartAndTextsOnlyOnThePrimary) {
  Open({{.width = 1920, .height = 1080},
        {.x = 1920, .width = 1920, .height = 1080},
        {.x = 3840, .width = 1920, .height = 1080}},
       /*spread=*/true);
  EXPECT_EQ(display_->FrameCount(), 3);
  Frame(kBlack);
  SceneFrame frame;
  frame.Fill(kBlack);
  frame.Text("12:00", "DejaVu Sans", 24, kYellow, 10, 10);
  display_->Show(frame);
  auto sent = screens_->TakeSent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].screen, 1u);

  // Marked primary, the left one has them.
  screens_->places[0].primary = true;
  screens_->changed = true;
  Frame(kBlack);
  display_->Show(frame);
  sent = screens_->TakeSent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].screen, 0u);
}

}  // namespace
}  // namespace larkspill

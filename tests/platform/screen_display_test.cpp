#include "platform/display/screen_display.h"
#include "platform/fonts/font_lookup.h"
#include "platform/x11/x11_screens.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
// After gtest: Xlib's macros (None, Bool) clash with its names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <filesystem>
#include <ranges>
#include <tuple>

namespace larkspill {
namespace {

using ::testing::HasSubstr;

constexpr auto kXrgb = SDL_PIXELFORMAT_RGB888;  // 0x..RRGGBB
constexpr uint32_t kMagentaRgb = 0xFF00FF, kBlueRgb = 0x0000FF, kGreenRgb = 0x00FF00;
constexpr int32_t kBlue = 0xFF0000;  // as the scene gives colours
bool Yellow(uint32_t c) { return c >> 16 > 180 && (c >> 8 & 255) > 180 && (c & 255) < 80; }

struct RecordingEvents : DisplayEvents {
  void OnFrame() override { ++frames; }
  void OnPointerMoved() override { ++moves; }
  void OnButton() override { ++buttons; }
  void OnWheel() override { ++wheels; }
  void OnKey() override { ++keys; }
  void OnScreenTaken() override { ++taken; }
  auto Counts() const { return std::tuple(moves, buttons, wheels, keys, frames); }
  int frames = 0, moves = 0, buttons = 0, wheels = 0, keys = 0, taken = 0;
};

// A display on SDL's offscreen driver, with a folder for the pictures a test writes.
class ScreenDisplayTest : public ::testing::Test {
 protected:
  void SetUp() override { Open({.title = "test", .fullscreen = false}); }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  void Open(WindowOptions options, const char* driver = "offscreen") {
    setenv("SDL_VIDEODRIVER", driver, 1);
    display_ = std::make_unique<ScreenDisplay>(std::make_unique<X11Screens>(options));
    ASSERT_TRUE(display_->Open(800, 600));
  }

  // Writes a 24-bit BMP of one row of these pixels (0xRRGGBB).
  std::string Bmp(const std::string& name, std::vector<uint32_t> row) {
    const int w = int(row.size());
    SdlSurfacePtr s(SDL_CreateRGBSurfaceWithFormatFrom(row.data(), w, 1, 32, w * 4, kXrgb));
    std::string path = (dir_ / name).string();
    EXPECT_EQ(SDL_SaveBMP(s.get(), path.c_str()), 0) << SDL_GetError();
    return path;
  }
  Pictures Load(std::vector<std::string> paths, bool keyed) {
    return display_->LoadPictures(paths, keyed);
  }
  // Shows a frame of `colour` with these drawings over it.
  bool Show(int32_t colour, const std::vector<PictureDrawing>& pictures = {}) {
    SceneFrame frame;
    frame.Fill(colour);
    for (const PictureDrawing& p : pictures) frame.drawings.emplace_back(p);
    return display_->Show(frame);
  }
  static uint32_t PixelOf(SDL_Surface* s, int x, int y) {  // frames and windows: 0x..RRGGBB
    return static_cast<Uint32*>(s->pixels)[y * s->pitch / 4 + x] & 0xFFFFFF;
  }
  uint32_t PixelAt(int x, int y) { return PixelOf(display_->CaptureFrame().get(), x, y); }
  static int Count(SDL_Surface* s, int left, int top, int right, int bottom, bool (*is)(uint32_t)) {
    int count = 0;
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x) count += is(PixelOf(s, x, y));
    return count;
  }
  static void Push(Uint32 type, Uint32 window = 0, int x = 0, int y = 0) {
    SDL_Event event{.motion = {.type = type, .windowID = window, .x = x, .y = y}};
    SDL_PushEvent(&event);
  }
  static std::vector<Uint32> WindowIds() {
    auto ids = std::views::iota(1u, 1000u) | std::views::filter(SDL_GetWindowFromID);
    return {ids.begin(), ids.end()};
  }
  RecordingEvents Pump() {
    RecordingEvents events;
    display_->PumpEvents(events);
    return events;
  }

  std::filesystem::path dir_ = mkdtemp(std::string("/tmp/larkspill-display-XXXXXX").data());
  std::unique_ptr<ScreenDisplay> display_;
};

// The facade wires the parts: a frame's picture shown keyed or opaque where the frame puts it.
TEST_F(ScreenDisplayTest, PicturesShowTheFrameAskedForKeyedOrOpaqueWhereTheFramePutsThem) {
  const auto keyed = Bmp("keyed.bmp", {kMagentaRgb, 0xC86432}), green = Bmp("g.bmp", {kGreenRgb});
  const Pictures a = Load({keyed, green}, true), b = Load({keyed}, false);
  EXPECT_THROW(Show(kBlue, {{.pictures = {b.index + 1}}}), std::out_of_range);
  EXPECT_THROW(Load({green, keyed + ".gone"}, true), AssetError);
  auto at = [&](int x, int y, int32_t frame_of_a = 1, int bx = 100, int by = 200) {
    Show(kBlue, {{a, frame_of_a, 10, 20}, {b, 1, bx, by}});
    return PixelAt(x, y);
  };
  const uint32_t widened = 0xCE6531;  // (200, 100, 50) in RGB565
  for (auto [x, y, colour] : {std::tuple{10, 20, kBlueRgb}, {11, 20, widened},
                              {100, 200, kMagentaRgb}, {101, 200, widened}})
    EXPECT_EQ(at(x, y), colour) << x << "," << y;
  EXPECT_EQ(at(10, 20, 2), kGreenRgb);
  for (int32_t none : {0, 3, -1}) EXPECT_EQ(at(11, 20, none), kBlueRgb) << none;  // not loaded
  EXPECT_EQ(at(95, 202, 1, 95, 202), kMagentaRgb);
  EXPECT_EQ(at(95, 201, 1, 95, 202), kBlueRgb);
  const Pictures key_only = Load({Bmp("key.bmp", {kMagentaRgb, kMagentaRgb})}, true);
  const Pictures gap = Load({Bmp("gap.bmp", {0xC86432, kMagentaRgb, 0xC86432})}, true);
  for (Pictures p : {key_only, gap}) {
    Show(kBlue, {{p, 1, 10, 20}});
    EXPECT_EQ(PixelAt(11, 20), kBlueRgb);  // nothing but its key, or its key between its pixels
  }
}

// In an installed face; cut where the frame ends; texts far off the frame or not UTF-8 are safe.
TEST_F(ScreenDisplayTest, TextIsDrawnInItsColourAtItsPlaceInAFaceFoundByName) {
  EXPECT_THAT(FontLookup().Find("Arial").path, HasSubstr("Liberation"));  // fonts-liberation
  EXPECT_FALSE(FontLookup().Find("").path.empty());
  SceneFrame texts;
  texts.Fill(kBlack);
  auto text = [&texts](std::string s, int32_t x, int32_t y, const char* face = "Arial") {
    texts.Text(std::move(s), face, 30, kYellow, x, y);
  };
  text("You have not selected a Waterfall", 215, 295);
  text(std::string(100000, 'W'), 1, 560, "no such face");
  text("\xFF\xFE not UTF-8 \xC3", 0, 0);
  text("far right", 5000, 0);
  text("far left", -100000000, 0);
  EXPECT_TRUE(display_->Show(texts));
  SdlSurfacePtr frame = display_->CaptureFrame();
  EXPECT_GT(Count(frame.get(), 215, 295, 600, 335, Yellow), 500);
  EXPECT_EQ(Count(frame.get(), 0, 50, 800, 290, Yellow), 0);
  EXPECT_EQ(Count(frame.get(), 0, 340, 800, 555, Yellow), 0);
  EXPECT_GT(Count(frame.get(), 780, 560, 800, 600, Yellow), 20);
}

// Resized while shown: a 2 x 1 window has room for one pixel, the frame's middle; the rest black.
TEST_F(ScreenDisplayTest, AWindowOfAnySizeShowsTheFrameWhereThereIsRoom) {
  SDL_Window* window = SDL_GetWindowFromID(WindowIds().at(0));
  for (auto [w, h] : {std::pair{1, 1}, {2, 1}, {1, 2}, {3, 2}, {801, 1}, {1, 601}, {400, 300}}) {
    SDL_SetWindowSize(window, w, h);
    Pump();
    EXPECT_TRUE(Show(kBlue));
    SDL_Surface* shown = SDL_GetWindowSurface(window);
    ASSERT_EQ(shown->w, w);
    const int room = w * 3 >= h * 4 ? h * 4 / 3 * h : w * (w * 3 / 4);
    EXPECT_EQ(Count(shown, 0, 0, w, shown->h, [](uint32_t c) { return c == kBlueRgb; }), room)
        << w << " x " << h;
  }
}

TEST_F(ScreenDisplayTest, InputCountsUnlessTheHostOwnsItAndQuitCloseOrResetEndTheDisplay) {
  for (bool accept : {true, false}) {
    Open({.title = "test", .fullscreen = false, .accept_input = accept});
    // The first report locates the pointer; a report of the same place is no movement.
    const int positions[][2] = {{10, 10}, {10, 10}, {12, 10}, {12, 11}, {12, 11}};
    for (const auto& [x, y] : positions) Push(SDL_MOUSEMOTION, 0, x, y);
    for (Uint32 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEWHEEL, SDL_KEYDOWN, SDL_KEYUP}) Push(type);
    EXPECT_EQ(Pump().Counts(), std::tuple(2 * accept, accept, accept, accept, 0));  // not key-ups
    EXPECT_TRUE(Show(kBlack));
  }
  for (Uint32 type : {Uint32{SDL_QUIT}, Uint32{SDL_WINDOWEVENT}, Uint32{SDL_RENDER_DEVICE_RESET}}) {
    Open({.title = "test", .fullscreen = false});
    SDL_Event event{.window = {.type = type, .event = SDL_WINDOWEVENT_CLOSE}};
    SDL_PushEvent(&event);
    Pump();
    EXPECT_FALSE(Show(kBlack)) << type;  // and harmless after the end
    EXPECT_FALSE(Show(kBlack)) << type;
  }
}

// Closed, or not opened for want of a driver, the display refuses pictures; it opens again.
TEST_F(ScreenDisplayTest, ClosingReleasesEverythingAndNoDisplayMeansFalseNotAnError) {
  std::string red = Bmp("red.bmp", {0xFF0000});
  Load({red}, false);
  display_->Close();
  setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(display_->Open(800, 600));
  EXPECT_THAT(::testing::internal::GetCapturedStderr(), HasSubstr("cannot open the display"));
  EXPECT_FALSE(Show(kBlack));
  EXPECT_FALSE(display_->SaveScreenshot((dir_ / "closed.bmp").string()));
  EXPECT_THROW(Load({red}, false), std::logic_error);
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  ASSERT_TRUE(display_->Open(800, 600));
  const Pictures again = Load({red}, false);
  EXPECT_TRUE(Show(kBlack, {{again, 1, 5, 5}}));
  EXPECT_EQ(display_->PictureDecodes(), 2);
  EXPECT_EQ(PixelAt(5, 5), 0xFF0000u);
  EXPECT_TRUE(display_->SaveScreenshot((dir_ / "shot.bmp").string()));
}

// Full screen on two 800 x 600 monitors (the end-to-end tests' X server); skipped without Xorg.
class ScreenDisplayMonitorsTest : public ScreenDisplayTest {
 protected:
  // The server and its folder go within a second of this process.
  static void SetUpTestSuite() {
    const std::string start = "LARKSPILL=none bash -c 'source " LARKSPILL_SOURCE_DIR
        "/tests/e2e/lib.sh && start_two_monitor_display || exit 1; trap - EXIT; { while kill -0 " +
        std::to_string(getpid()) +
        "; do sleep 1; done; kill $XVFB_PID; rm -rf $WORK; } >/dev/null 2>&1 & echo $DISPLAY'";
    std::unique_ptr<FILE, int (*)(FILE*)> out(popen(start.c_str(), "r"), pclose);
    char name[32];
    if (out && std::fscanf(out.get(), "%31s", name) == 1) server_ = name;
  }
  void SetUp() override {
    if (server_.empty()) GTEST_SKIP() << "no X server with two monitors here";
    setenv("DISPLAY", server_.c_str(), 1);
    x_.reset(XOpenDisplay(nullptr));
    ASSERT_NE(x_, nullptr);
    Open({.title = "monitors"}, "x11");
  }
  // The desktop's pixel once it is `expected`, or after 3 s: the display has its own link.
  unsigned long ScreenPixel(int x, int y, unsigned long expected) {
    unsigned long pixel = 0xDEAD;
    for (int tries = 0; tries < 300 && pixel != expected; ++tries, SDL_Delay(10)) {
      XImage* image = XGetImage(x_.get(), XDefaultRootWindow(x_.get()), x, y, 1, 1, ~0ul, ZPixmap);
      if (image == nullptr) return 0xDEAD;
      pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
      XDestroyImage(image);
    }
    return pixel;
  }

  static inline std::string server_;
  std::unique_ptr<Display, int (*)(Display*)> x_{nullptr, XCloseDisplay};
};

TEST_F(ScreenDisplayMonitorsTest, EveryMonitorShowsTheWholeFrameAndEachChangeAndTakesInput) {
  const std::vector<Uint32> windows = WindowIds();
  ASSERT_EQ(windows.size(), 2u);
  const Pictures dot = Load({Bmp("red.bmp", std::vector(10, 0xFF0000u))}, false);
  auto frame = [&](bool with_dot) {
    Pump();
    Show(0xFFFFFF, with_dot ? std::vector<PictureDrawing>{{dot, 1, 100, 100}}
                            : std::vector<PictureDrawing>{});
  };
  for (int i = 0; i < 3; ++i) frame(false);
  // Each monitor shows the whole frame, not half of one across both; then a change and its undoing.
  for (unsigned long dot_colour : {0xFFFFFFul, 0xFF0000ul, 0xFFFFFFul}) {
    frame(dot_colour == 0xFF0000ul);
    for (int left : {0, 800})
      for (const auto& [x, y] : {std::pair{1, 1}, {798, 598}, {105, 100}}) {
        const unsigned long colour = x == 105 ? dot_colour : 0xFFFFFFul;
        EXPECT_EQ(ScreenPixel(left + x, y, colour), colour) << left + x << "," << y;
      }
  }

  Push(SDL_MOUSEMOTION, windows[0], 5, 5);  // the pointer is here, once the system's reports end
  for (int quiet = 0, tries = 0; quiet < 3 && tries < 100; ++tries, SDL_Delay(20))
    quiet = Pump().moves == 0 ? quiet + 1 : 0;
  Push(SDL_MOUSEMOTION, windows[1], 5, 5);  // the same window place on the other monitor: a move
  Push(SDL_MOUSEMOTION, windows[1], 5, 5);  // no move
  Push(SDL_MOUSEMOTION, windows[0], 6, 5);  // a move
  for (Uint32 type : {SDL_MOUSEBUTTONDOWN, SDL_KEYDOWN}) Push(type, windows[1]);
  EXPECT_EQ(Pump().Counts(), std::tuple(2, 1, 0, 1, 0));
}

}  // namespace
}  // namespace larkspill

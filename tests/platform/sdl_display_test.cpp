#include "platform/display/sdl_display.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
// After gtest: Xlib's macros (None, Bool) clash with its names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <filesystem>
#include <ranges>
#include <tuple>

#include "fakes/fake_clock.h"

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
class SdlDisplayTest : public ::testing::Test {
 protected:
  void SetUp() override { Open({.title = "test", .fullscreen = false}); }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  void Open(SdlDisplayOptions options, const char* driver = "offscreen") {
    setenv("SDL_VIDEODRIVER", driver, 1);
    display_ = std::make_unique<SdlDisplay>(clock_, options);
    ASSERT_TRUE(display_->OpenDisplay(800, 600, 16, ""));
  }

  // Writes a 24-bit BMP of one row of these pixels (0xRRGGBB).
  std::string Bmp(const std::string& name, std::vector<uint32_t> row) {
    const int w = int(row.size());
    SdlSurfacePtr s(SDL_CreateRGBSurfaceWithFormatFrom(row.data(), w, 1, 32, w * 4, kXrgb));
    std::string path = (dir_ / name).string();
    EXPECT_EQ(SDL_SaveBMP(s.get(), path.c_str()), 0) << SDL_GetError();
    return path;
  }
  int32_t Sprite(const std::string& path, int32_t key_mode, int x = 0, int y = 0) {
    int32_t sprite = display_->CreateSprite();
    display_->LoadSpriteFrame(sprite, 1, path, key_mode);
    display_->SetSpriteX(sprite, x);
    display_->SetSpriteY(sprite, y);
    return sprite;
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
  testing::FakeClock clock_;
  std::unique_ptr<SdlDisplay> display_;
};

// The facade wires the parts: a sprite's frame shown keyed or opaque where it was put and moved,
// and its next frame due once its delay has run out, the tick count wrapping at 32 bits.
TEST_F(SdlDisplayTest, SpritesShowTheirFrameKeyedOrOpaqueWhereTheyAreAndStepWhenDue) {
  const auto keyed = Bmp("keyed.bmp", {kMagentaRgb, 0xC86432}), green = Bmp("g.bmp", {kGreenRgb});
  const int32_t a = Sprite(keyed, kKeyTransparent, 10, 20), b = Sprite(keyed, kKeyOpaque, 100, 200);
  display_->LoadSpriteFrame(a, 2, green, kKeyTransparent);
  EXPECT_THROW(display_->LoadSpriteFrame(a, 0, green, kKeyOpaque), std::out_of_range);
  EXPECT_THROW(display_->LoadSpriteFrame(a, 1001, green, kKeyOpaque), std::out_of_range);
  EXPECT_THROW(display_->DrawSprite(b + 1), std::out_of_range);
  EXPECT_THROW(display_->LoadSpriteFrame(a, 3, keyed + ".gone", kKeyTransparent), AssetError);
  auto at = [&](int x, int y) {
    display_->ClearBackBuffer(kBlue);
    for (int32_t sprite : {a, b}) display_->DrawSprite(sprite);
    return PixelAt(x, y);
  };
  const uint32_t widened = 0xCE6531;  // (200, 100, 50) in RGB565
  for (auto [x, y, colour] : {std::tuple{10, 20, kBlueRgb}, {11, 20, widened},
                              {100, 200, kMagentaRgb}, {101, 200, widened}})
    EXPECT_EQ(at(x, y), colour) << x << "," << y;
  display_->NextSpriteFrame(a);
  EXPECT_EQ(at(10, 20), kGreenRgb);
  display_->NextSpriteFrame(a);  // wrapped after the highest frame
  EXPECT_EQ(at(11, 20), widened);
  display_->SetSpriteFrame(a, 7);  // never loaded: nothing drawn
  EXPECT_EQ(at(11, 20), kBlueRgb);
  display_->LoadSpriteFrame(a, 7, Bmp("key.bmp", {kMagentaRgb, kMagentaRgb}), kKeyTransparent);
  EXPECT_EQ(at(11, 20), kBlueRgb);  // nothing but its key
  display_->LoadSpriteFrame(a, 7, Bmp("gap.bmp", {0xC86432, kMagentaRgb, 0xC86432}),
                           kKeyTransparent);
  EXPECT_EQ(at(11, 20), kBlueRgb);  // its key between its pixels
  display_->NextSpriteFrame(a);
  display_->LoadSpriteFrame(a, 1, green, kKeyOpaque);  // replaced
  EXPECT_EQ(at(10, 20), kGreenRgb);

  display_->MoveSpriteX(b, -5);
  display_->MoveSpriteY(b, 1);   // up
  display_->MoveSpriteY(b, -3);  // down
  EXPECT_EQ(at(95, 202), kMagentaRgb);
  EXPECT_EQ(at(95, 201), kBlueRgb);
  display_->SetSpriteX(b, 40000);
  EXPECT_EQ(display_->GetSpriteX(b), -25536);

  display_->SetSpriteFrameDelay(b, 100);
  // At each tick count the frame is set (1) or advanced (2), counting from there, or neither (0).
  const struct { uint32_t ticks; int change; bool due; } steps[] = {
      {1000, 1, false}, {1099, 0, false}, {1100, 0, true}, {1100, 2, false},
      {0xFFFFFFF0u, 2, false}, {0x50, 0, false}, {0x54, 0, true}};
  for (const auto& step : steps) {
    clock_.ticks = step.ticks;
    if (step.change == 1) display_->SetSpriteFrame(b, 1);
    if (step.change == 2) display_->NextSpriteFrame(b);
    EXPECT_EQ(display_->SpriteFrameDue(b), step.due) << step.ticks;
  }
}

// In an installed face; cut where the frame ends; texts far off the frame or not UTF-8 are safe.
TEST_F(SdlDisplayTest, TextIsDrawnInItsColourAtItsPlaceInAFaceFoundByName) {
  EXPECT_THAT(FontLookup().Find("Arial").path, HasSubstr("Liberation"));  // fonts-liberation
  EXPECT_FALSE(FontLookup().Find("").path.empty());
  display_->ClearBackBuffer(kBlack);
  display_->SetTextFont("Arial", 30, 1, false, false, false);
  display_->DrawText("You have not selected a Waterfall", 215, 295, kYellow);
  display_->DrawText(std::string(100000, 'W'), 1, 560, kYellow);
  display_->DrawText("\xFF\xFE not UTF-8 \xC3", 0, 0, kYellow);
  display_->DrawText("far right", 5000, 0, kYellow);
  display_->DrawText("far left", -100000000, 0, kYellow);
  display_->Flip();
  SdlSurfacePtr frame = display_->CaptureFrame();
  EXPECT_GT(Count(frame.get(), 215, 295, 600, 335, Yellow), 500);
  EXPECT_EQ(Count(frame.get(), 0, 50, 800, 290, Yellow), 0);
  EXPECT_EQ(Count(frame.get(), 0, 340, 800, 555, Yellow), 0);
  EXPECT_GT(Count(frame.get(), 780, 560, 800, 600, Yellow), 20);
  EXPECT_TRUE(display_->CheckDisplay());
}

// Resized while shown: a 2 x 1 window has room for one pixel, the frame's middle; the rest black.
TEST_F(SdlDisplayTest, AWindowOfAnySizeShowsTheFrameWhereThereIsRoom) {
  SDL_Window* window = SDL_GetWindowFromID(WindowIds().at(0));
  for (auto [w, h] : {std::pair{1, 1}, {2, 1}, {1, 2}, {3, 2}, {801, 1}, {1, 601}, {400, 300}}) {
    SDL_SetWindowSize(window, w, h);
    Pump();
    display_->ClearBackBuffer(kBlue);
    display_->Flip();
    SDL_Surface* shown = SDL_GetWindowSurface(window);
    ASSERT_EQ(shown->w, w);
    const int room = w * 3 >= h * 4 ? h * 4 / 3 * h : w * (w * 3 / 4);
    EXPECT_EQ(Count(shown, 0, 0, w, shown->h, [](uint32_t c) { return c == kBlueRgb; }), room)
        << w << " x " << h;
  }
  EXPECT_TRUE(display_->CheckDisplay());
}

TEST_F(SdlDisplayTest, InputCountsUnlessTheHostOwnsItAndQuitCloseOrResetEndTheDisplay) {
  for (bool accept : {true, false}) {
    Open({.title = "test", .fullscreen = false, .accept_input = accept});
    // The first report locates the pointer; a report of the same place is no movement.
    const int positions[][2] = {{10, 10}, {10, 10}, {12, 10}, {12, 11}, {12, 11}};
    for (const auto& [x, y] : positions) Push(SDL_MOUSEMOTION, 0, x, y);
    for (Uint32 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEWHEEL, SDL_KEYDOWN, SDL_KEYUP}) Push(type);
    EXPECT_EQ(Pump().Counts(), std::tuple(2 * accept, accept, accept, accept, 0));  // not key-ups
    EXPECT_TRUE(display_->CheckDisplay());
  }
  for (Uint32 type : {Uint32{SDL_QUIT}, Uint32{SDL_WINDOWEVENT}, Uint32{SDL_RENDER_DEVICE_RESET}}) {
    Open({.title = "test", .fullscreen = false});
    SDL_Event event{.window = {.type = type, .event = SDL_WINDOWEVENT_CLOSE}};
    SDL_PushEvent(&event);
    Pump();
    EXPECT_FALSE(display_->CheckDisplay()) << type;
    display_->ClearBackBuffer(kBlack);  // harmless after the end
    display_->Flip();
  }
}

// Closed, or not opened for want of a driver, the display refuses pictures; it opens again.
TEST_F(SdlDisplayTest, ClosingReleasesEverythingAndNoDisplayMeansFalseNotAnError) {
  std::string red = Bmp("red.bmp", {0xFF0000});
  int32_t sprite = Sprite(red, kKeyOpaque, 5, 5);
  display_->CloseDisplay();
  setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(display_->OpenDisplay(800, 600, 16, ""));
  EXPECT_THAT(::testing::internal::GetCapturedStderr(), HasSubstr("cannot open the display"));
  EXPECT_FALSE(display_->CheckDisplay());
  EXPECT_FALSE(display_->SaveScreenshot((dir_ / "closed.bmp").string()));
  EXPECT_THROW(display_->LoadSpriteFrame(sprite, 1, red, kKeyOpaque), std::logic_error);
  display_->DrawSprite(sprite);
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  ASSERT_TRUE(display_->OpenDisplay(800, 600, 16, ""));
  display_->LoadSpriteFrame(sprite, 1, red, kKeyOpaque);
  display_->DrawSprite(sprite);
  EXPECT_EQ(display_->PictureDecodes(), 2);
  EXPECT_EQ(PixelAt(5, 5), 0xFF0000u);
  EXPECT_TRUE(display_->SaveScreenshot((dir_ / "shot.bmp").string()));
}

// Full screen on two 800 x 600 monitors (the end-to-end tests' X server); skipped without Xorg.
class SdlDisplayMonitorsTest : public SdlDisplayTest {
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

TEST_F(SdlDisplayMonitorsTest, EveryMonitorShowsTheWholeFrameAndEachChangeAndTakesInput) {
  const std::vector<Uint32> windows = WindowIds();
  ASSERT_EQ(windows.size(), 2u);
  const int32_t dot = Sprite(Bmp("red.bmp", std::vector(10, 0xFF0000u)), kKeyOpaque, 100, 100);
  auto frame = [&](bool with_dot) {
    Pump();
    display_->ClearBackBuffer(0xFFFFFF);
    if (with_dot) display_->DrawSprite(dot);
    display_->Flip();
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

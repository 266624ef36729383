// The hosts' parts: the power watch over the saver window, and the preview picture.
#include <SDL.h>
#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <tuple>

#include "platform/x11/preview_window.h"
#include "scene/exit_status.h"
#include "scene/scene_harness.h"
#include "startup/power_watch.h"

namespace larkspill::testing {
namespace {

using ::testing::HasSubstr, ::testing::ThrowsMessage;

struct FakeMonitorPower : MonitorPower {
  bool PoweredOff() override { return ++looks, off; }
  void AllowPowerSaving(bool allow) override { allowed.push_back(allow); }
  void ForceOn() override { ++forced_on, off = off && !force_on_works; }
  bool off = false, force_on_works = true;
  int looks = 0, forced_on = 0;
  std::vector<bool> allowed;
};

// A loaded saver window on fakes, watched by the power watch.
struct PowerHarness : Harness {
  explicit PowerHarness(const std::string& pwr_save) {
    WriteFirstRunValues(store), Set({{"Startup", "PwrSave", pwr_save}});
    watch = std::make_unique<PowerWatch>(Make(), power);
    window->Load();
    watch->Start();
    sound.calls.clear();
  }
  bool CountingDown() const { return window->Timers().At(3).enabled; }
  // Moves the clock on and runs what the event loop runs between frames.
  void RunFor(uint32_t milliseconds, uint32_t step = 250) {
    for (uint32_t done = 0; done < milliseconds; done += step)
      clock.Advance(step), watch->Poll(clock.ticks), watch->RunTimers(clock.ticks);
  }

  FakeMonitorPower power;
  std::unique_ptr<PowerWatch> watch;
};

// Unless PwrSave is 0 a monitor gone dark is turned back on, at every look while it stays dark,
// and the sounds play on.
TEST(PowerWatch, AMonitorGoneDarkIsTurnedBackOnAsPwrSaveSays) {
  for (const std::string pwr_save : {"1", "0", "-1", "2"}) {
    SCOPED_TRACE(pwr_save);
    PowerHarness h(pwr_save);
    const bool keeps_it_on = pwr_save != "0";
    EXPECT_EQ(h.power.allowed, std::vector<bool>{!keeps_it_on});
    h.RunFor(3000);
    EXPECT_EQ(std::tuple(h.CountingDown(), h.power.forced_on, h.watch->WentDark()),
              std::tuple(false, 0, 0));
    h.power.off = true, h.RunFor(1000);
    EXPECT_EQ(std::tuple(h.CountingDown(), h.power.forced_on, h.power.off, h.watch->KeptOn()),
              keeps_it_on ? std::tuple(false, 1, false, 1) : std::tuple(true, 0, true, 0));
    if (!keeps_it_on) continue;
    h.RunFor(120000);
    EXPECT_FALSE(h.CountingDown());
    EXPECT_EQ(h.sound.Count("StopAllSounds"), 0u);
    h.power.force_on_works = false, h.power.off = true, h.RunFor(5000);
    EXPECT_EQ(h.power.forced_on, 6);
  }
}

// The monitor is looked at each second; each new power-off seen there starts the countdown.
TEST(PowerWatch, WithoutPwrSaveAPowerOffSilencesTheSoundsOnTheFourthTickAMinuteLater) {
  PowerHarness h("0");
  h.RunFor(10000, 100);
  EXPECT_EQ(h.power.looks, 10);
  EXPECT_FALSE(h.CountingDown());
  h.power.off = true, h.RunFor(1000);
  ASSERT_TRUE(h.CountingDown());
  // It was started at the look 250 ms into that second. Three ticks, 45 seconds: still playing.
  h.RunFor(59000);
  EXPECT_EQ(h.sound.Count("StopAllSounds"), 0u);
  EXPECT_EQ(h.window->PowerOffTicks, 3);
  h.sound.calls.clear(), h.RunFor(500);  // past the eagle's call: the fourth, a minute after dark
  EXPECT_EQ(h.window->PowerOffTicks, 4);
  // Silenced: everything stopped and the three loops let go.
  EXPECT_GE(h.sound.Count("StopAllSounds"), 1u);
  for (const char* loop : {"ReleaseSound 1", "ReleaseSound 2", "ReleaseSound 3"})
    EXPECT_EQ(h.sound.Count(loop), 1u) << loop;
  // The monitor staying dark starts nothing more, not even the eagle's minute call, nor the
  // silence again: the saver runs on in silence.
  h.sound.calls.clear(), h.RunFor(120000);
  for (const std::string& call : h.sound.calls)
    EXPECT_FALSE(call.starts_with("Play") || call == "StopAllSounds") << call;
  EXPECT_FALSE(h.window->EndStatus());
  for (int i = 0; i < 4; ++i) h.power.off = i % 2, h.RunFor(3000);  // on, off, on, off: two more
  EXPECT_EQ(std::pair(h.watch->WentDark(), h.watch->KeptOn()), std::pair(3, 0));
}

// While every monitor is dark (PwrSave 0), or the screens take no frames whatever the monitor
// (a compositor keeping its frame callbacks back), the run loop wakes only for the look a second:
// the timers still fire as often as in light, at their own times, and a monitor back on ends it.
TEST(PowerWatch, DarkTheTimersKeepTheirTimesAtALookASecond) {
  struct Case {
    std::string pwr_save;
    bool screens_dark;
  };
  for (const Case& c : {Case{"0", false}, Case{"1", false}, Case{"1", true}}) {
    SCOPED_TRACE(c.pwr_save + (c.screens_dark ? " screens dark" : " monitor off"));
    PowerHarness h(c.pwr_save);
    h.RunFor(2000);
    if (!c.screens_dark) {
      h.power.off = true, h.RunFor(1000);
      ASSERT_EQ(h.watch->Dark(), c.pwr_save == "0");
      if (!h.watch->Dark()) continue;
    }
    const auto look = [&h, &c] {  // as the loop does it: wait, look, run the timers
      h.clock.Advance(h.watch->MillisecondsToNextLook(h.clock.ticks));
      h.watch->Poll(h.clock.ticks), h.watch->RunTimers(h.clock.ticks, c.screens_dark);
      EXPECT_EQ(h.watch->MillisecondsToNextLook(h.clock.ticks), 1000u);
    };
    look();
    const int32_t scroll = h.window->ScrollCount;
    const int16_t drift = h.window->climbing_butterflies[0].X();
    for (int i = 0; i < 10; ++i) look();
    EXPECT_EQ(h.window->ScrollCount - scroll, 10);                 // a tick a second
    EXPECT_EQ(drift - h.window->climbing_butterflies[0].X(), 50);  // a pixel each 200 ms
    h.power.off = false, h.clock.Advance(1000), h.watch->Poll(h.clock.ticks);
    EXPECT_FALSE(h.watch->Dark());
  }
}

namespace fs = std::filesystem;

struct TempFolder {
  TempFolder() : path(mkdtemp(std::string("/tmp/larkspill-preview-XXXXXX").data())) {}
  ~TempFolder() { fs::remove_all(path); }
  std::string File(const std::string& name) const { return (path / name).string(); }
  fs::path path;
};

// Pixel (x, y) is palette entry (x + 3 y) % 256; BMP rows are stored bottom up.
TEST(PreviewPicture, ReadsAPaletteBmpPixelForPixel) {
  TempFolder folder;
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, 153, 115, 8, SDL_PIXELFORMAT_INDEX8);
  ASSERT_NE(surface, nullptr) << SDL_GetError();
  SDL_Color colours[256];
  for (int i = 0; i < 256; ++i) colours[i] = SDL_Color{Uint8(i), Uint8(255 - i), Uint8(2 * i), 255};
  SDL_SetPaletteColors(surface->format->palette, colours, 0, 256);
  std::vector<uint32_t> expected;  // every pixel, top row first
  for (int y = 0; y < 115; ++y)
    for (uint32_t x = 0, i; x < 153; ++x) {
      static_cast<Uint8*>(surface->pixels)[y * surface->pitch + x] = i = (x + 3 * y) % 256;
      expected.push_back((i << 16) | ((255 - i) << 8) | ((2 * i) & 0xFF));
    }
  ASSERT_EQ(SDL_SaveBMP(surface, folder.File("p.bmp").c_str()), 0) << SDL_GetError();
  SDL_FreeSurface(surface);
  PreviewPicture picture = LoadPreviewPicture(folder.File("p.bmp"));
  EXPECT_EQ(std::pair(picture.width, picture.height), std::pair(153, 115));
  EXPECT_TRUE(picture.pixels == expected) << "the pixels differ from the palette's colours";
}

TEST(PreviewPicture, FilesThatAreNoPictureAreNamedInTheError) {
  TempFolder folder;
  std::ofstream(folder.File("text.bmp")) << "not a picture at all\n";
  std::ofstream(folder.File("short.bmp")) << "BM";
  fs::create_directory(folder.File("folder.bmp"));
  for (const char* name : {"missing.bmp", "text.bmp", "short.bmp", "folder.bmp"}) {
    EXPECT_THAT([&] { LoadPreviewPicture(folder.File(name)); },
                ThrowsMessage<std::runtime_error>(HasSubstr(folder.File(name))));
  }
}

TEST(PreviewPicture, TrueColourPixelsFollowTheVisualsMasks) {
  const ColourMasks rgb888{0xFF0000, 0x00FF00, 0x0000FF}, bgr888{0x0000FF, 0x00FF00, 0xFF0000},
      rgb565{0xF800, 0x07E0, 0x001F}, rgb555{0x7C00, 0x03E0, 0x001F},
      rgb101010{0x3FF00000, 0x000FFC00, 0x3FF};
  // Each channel keeps its top bits: 0x84 is 10000 in five bits, 100001 in six.
  const std::tuple<uint32_t, ColourMasks, uint32_t> cases[] = {
      {0x123456, rgb888, 0x123456},
      {0x123456, bgr888, 0x563412},
      {0xFFFFFF, rgb565, 0xFFFF},
      {0xFF0000, rgb565, 0xF800},
      {0x00FF00, rgb565, 0x07E0},
      {0x0000FF, rgb565, 0x001F},
      {0x848484, rgb565, (0x10u << 11) | (0x21u << 5) | 0x10u},
      {0xFFFFFF, rgb555, 0x7FFF},
      {0x000000, rgb555, 0},
      {0xFF0080, rgb101010, (0x3FCu << 20) | 0x200u}};
  for (const auto& [colour, masks, pixel] : cases)
    EXPECT_EQ(TrueColourPixel(colour, masks), pixel) << std::hex << colour;
}

TEST(RunPreview, StartsThatCannotShowThePreviewEndAtOnceWithAReason) {
  TempFolder folder;  // no preview.bmp in it
  for (const auto& [has_number, window, status, said] :
       {std::tuple(false, 0, kExitUsage, std::string("window id")),
        std::tuple(true, 0, kExitUsage, std::string("window 0,")),
        std::tuple(true, -5, kExitUsage, std::string("window -5,")),
        std::tuple(true, 12345, kExitAssetError, folder.File("preview.bmp"))}) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(RunPreview(has_number, window, folder.path.string(), nullptr), status);
    EXPECT_THAT(::testing::internal::GetCapturedStderr(), HasSubstr(said)) << window;
  }
}

}  // namespace
}  // namespace larkspill::testing

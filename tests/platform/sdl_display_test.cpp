#include "platform/sdl_display.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "fakes/fake_clock.h"

namespace larkspill {
namespace {

using testing::FakeClock;
using ::testing::HasSubstr;

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
  friend std::ostream& operator<<(std::ostream& os, const Rgb& c) {
    return os << "(" << c.r << "," << c.g << "," << c.b << ")";
  }
};
constexpr Rgb kMagentaRgb{255, 0, 255}, kBlueRgb{0, 0, 255}, kWhiteRgb{255, 255, 255};
constexpr int32_t kBlue = 0xFF0000;

struct RecordingEvents : DisplayEvents {
  void OnFrame() override { ++frames; }
  void OnPointerMoved() override { ++moves; }
  void OnButton() override { ++buttons; }
  void OnWheel() override { ++wheels; }
  void OnKey() override { ++keys; }
  int frames = 0, moves = 0, buttons = 0, wheels = 0, keys = 0;
};

// A display on SDL's offscreen driver, with a folder for the pictures a test writes.
class SdlDisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    dir_ =
        std::filesystem::temp_directory_path() / ("larkspill_display_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
    Open({.title = "test", .fullscreen = false});
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  void Open(SdlDisplayOptions options) {
    display_ = std::make_unique<SdlDisplay>(clock_, options);
    ASSERT_TRUE(display_->OpenDisplay(800, 600, 16, ""));
  }

  // Writes a 24-bit BMP of one row of pixels.
  std::string Bmp(const std::string& name, std::vector<Rgb> row, int height = 4) {
    SdlSurfacePtr s(
        SDL_CreateRGBSurfaceWithFormat(0, row.size(), height, 24, SDL_PIXELFORMAT_RGB24));
    for (int y = 0; y < height; ++y) {
      for (size_t x = 0; x < row.size(); ++x) {
        auto* p = static_cast<Uint8*>(s->pixels) + y * s->pitch + x * 3;
        p[0] = row[x].r, p[1] = row[x].g, p[2] = row[x].b;
      }
    }
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
  static Rgb PixelOf(SDL_Surface* frame, int x, int y) {
    Uint8 r, g, b;
    SDL_GetRGB(static_cast<Uint32*>(frame->pixels)[y * frame->pitch / 4 + x], frame->format, &r, &g,
               &b);
    return {r, g, b};
  }
  Rgb PixelAt(int x, int y) {
    SdlSurfacePtr frame = display_->CaptureFrame();
    return frame ? PixelOf(frame.get(), x, y) : Rgb{-1, -1, -1};
  }
  // How many pixels in [left, right) x [top, bottom) look yellow.
  int YellowPixels(int left, int top, int right, int bottom) {
    SdlSurfacePtr frame = display_->CaptureFrame();
    int count = 0;
    for (int y = top; y < bottom; ++y) {
      for (int x = left; x < right; ++x) {
        Rgb c = PixelOf(frame.get(), x, y);
        count += c.r > 180 && c.g > 180 && c.b < 80;
      }
    }
    return count;
  }

  std::filesystem::path dir_;
  FakeClock clock_;
  std::unique_ptr<SdlDisplay> display_;
};

// A BMP file whose headers claim what the arguments say, with `pixel_bytes` bytes after them.
std::string LyingBmp(int32_t width, int32_t height, uint16_t bits, uint32_t compression = 0,
                     uint32_t colours = 0, size_t pixel_bytes = 1000) {
  std::string file(14 + 40, '\0');
  auto put = [&file](size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) file[at + i] = static_cast<char>(value >> (8 * i));
  };
  file[0] = 'B', file[1] = 'M';
  put(2, static_cast<uint32_t>(file.size() + pixel_bytes), 4);
  put(10, 14 + 40 + (bits <= 8 ? 4u << bits : 0u), 4);
  put(14, 40, 4);
  put(18, static_cast<uint32_t>(width), 4);
  put(22, static_cast<uint32_t>(height), 4);
  put(26, 1, 2);
  put(28, bits, 2);
  put(30, compression, 4);
  put(46, colours, 4);
  return file + std::string(pixel_bytes, '\x7f');
}

// Whatever a picture's path names, nothing is allocated for more than the file can hold, nothing
// blocks, and the error names the file and says what is wrong.
TEST_F(SdlDisplayTest, BadPicturesAndIdsAreRefusedWithTheirName) {
  const std::string fifo = (dir_ / "fifo.BMP").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::filesystem::create_directory(dir_ / "folder.BMP");
  struct Case {
    std::string name;
    std::string bytes;  // written to the file unless the name is already there
    std::string reason;
  } cases[] = {
      {"Flock3.BMP", "", "no such file"},
      {"empty.BMP", "-", "empty"},
      {"garbage.BMP", std::string(500, 'x'), "not a BMP"},
      {"fifo.BMP", "", "FIFO"},
      {"folder.BMP", "", "folder"},
      {"huge.BMP", LyingBmp(30000, 30000, 32), "30000 x 30000 pixels, more than"},
      {"wide.BMP", LyingBmp(8192, 4096, 24), "8192 x 4096 pixels, more than"},
      {"upside.BMP", LyingBmp(100, INT32_MIN, 24), "2147483648 pixels, more than"},
      {"short.BMP", LyingBmp(4000, 4000, 32), "but the file holds 1000"},
      {"short8.BMP", LyingBmp(2000, 2000, 8, 0, 0, 2000), "but the file holds"},
      {"palette.BMP", LyingBmp(10, 10, 8, 0, 100000), "a palette of 100000 colours"},
      {"rle24.BMP", LyingBmp(10, 10, 24, 1), "compression 1"},
      {"zero.BMP", LyingBmp(0, 10, 24), "no pixels"},
  };
  int32_t sprite = display_->CreateSprite();
  for (const Case& c : cases) {
    const std::string path = (dir_ / c.name).string();
    if (!c.bytes.empty()) std::ofstream(path, std::ios::binary) << (c.bytes == "-" ? "" : c.bytes);
    try {
      display_->LoadSpriteFrame(sprite, 1, path, kKeyTransparent);
      ADD_FAILURE() << "no error for " << path;
    } catch (const AssetError& error) {
      EXPECT_THAT(error.what(), HasSubstr("cannot load picture " + path + ": "));
      EXPECT_THAT(error.what(), HasSubstr(c.reason));
    }
  }
  std::string red = Bmp("red.bmp", {{255, 0, 0}});
  EXPECT_THROW(display_->LoadSpriteFrame(sprite, 0, red, kKeyOpaque), std::out_of_range);
  EXPECT_THROW(display_->LoadSpriteFrame(sprite, 1001, red, kKeyOpaque), std::out_of_range);
  EXPECT_THROW(display_->DrawSprite(sprite + 1), std::out_of_range);
  EXPECT_TRUE(display_->CheckDisplay());
}

TEST_F(SdlDisplayTest, PicturesAreQuantisedAndKeyedOnMagenta) {
  // Near-magenta quantises to magenta itself; (200, 100, 50) to 565 (25, 25, 6).
  std::vector<Rgb> row{kMagentaRgb, kWhiteRgb, {1, 2, 3}, {200, 100, 50}, {250, 3, 251}};
  Sprite(Bmp("keyed.bmp", row), kKeyTransparent, 10, 20);
  Sprite(Bmp("opaque.bmp", row), kKeyOpaque, 100, 200);
  display_->ClearBackBuffer(kBlue);
  display_->DrawSprite(1);
  display_->DrawSprite(2);
  std::vector<Rgb> keyed, opaque;
  for (int x = 0; x < 6; ++x) {
    keyed.push_back(PixelAt(10 + x, 21));
    opaque.push_back(PixelAt(100 + x, 201));
  }
  std::vector<Rgb> widened{kWhiteRgb, {0, 0, 0}, {206, 101, 49}};
  EXPECT_THAT(keyed, ::testing::ElementsAre(kBlueRgb, widened[0], widened[1], widened[2], kBlueRgb,
                                            kBlueRgb));
  EXPECT_THAT(opaque, ::testing::ElementsAre(kMagentaRgb, widened[0], widened[1], widened[2],
                                             kMagentaRgb, kBlueRgb));
}

// Plain 24-bit files are read by the display itself, other kinds by SDL; both must give the
// colours SDL's own RGB565 conversion gives, widened again.
TEST_F(SdlDisplayTest, EveryColourQuantisesAsSdlDoesWhicheverReaderReadsTheFile) {
  std::vector<Rgb> ramps;
  for (int v = 0; v < 256; ++v) ramps.push_back({v, 255 - v, (v * 7) % 256});
  for (int v = 0; v < 256; ++v) ramps.push_back({(v * 13) % 256, v, 255 - v});
  // The same colours as an 8-bit file with a palette, which SDL reads.
  SdlSurfacePtr indexed(SDL_CreateRGBSurfaceWithFormat(0, 256, 2, 8, SDL_PIXELFORMAT_INDEX8));
  ASSERT_TRUE(indexed);
  std::vector<SDL_Color> palette;
  for (int i = 0; i < 256; ++i) {
    palette.push_back({Uint8((i * 13) % 256), Uint8(i), Uint8(255 - i), 255});
    static_cast<Uint8*>(indexed->pixels)[i] = static_cast<Uint8>(i);
    static_cast<Uint8*>(indexed->pixels)[indexed->pitch + i] = static_cast<Uint8>(i);
  }
  SDL_SetPaletteColors(indexed->format->palette, palette.data(), 0, 256);
  const std::string indexed_path = (dir_ / "indexed.bmp").string();
  ASSERT_EQ(SDL_SaveBMP(indexed.get(), indexed_path.c_str()), 0) << SDL_GetError();

  Sprite(Bmp("ramps.bmp", ramps, 2), kKeyOpaque, 0, 0);
  Sprite(indexed_path, kKeyOpaque, 0, 10);
  display_->DrawSprite(1);
  display_->DrawSprite(2);
  SdlSurfacePtr frame = display_->CaptureFrame();
  ASSERT_TRUE(frame);
  auto sdl_565 = [](Rgb c) {
    SdlSurfacePtr one(SDL_CreateRGBSurfaceWithFormat(0, 1, 1, 24, SDL_PIXELFORMAT_RGB24));
    auto* p = static_cast<Uint8*>(one->pixels);
    p[0] = Uint8(c.r), p[1] = Uint8(c.g), p[2] = Uint8(c.b);
    SdlSurfacePtr q(SDL_ConvertSurfaceFormat(one.get(), SDL_PIXELFORMAT_RGB565, 0));
    const Uint16 v = *static_cast<Uint16*>(q->pixels);
    const int r = v >> 11, g = (v >> 5) & 63, b = v & 31;
    return Rgb{(r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2)};
  };
  for (int i = 0; i < 512; ++i) {
    const Rgb expected = sdl_565(ramps[i]);
    ASSERT_EQ(PixelOf(frame.get(), i, 1), expected) << "colour " << ramps[i];
  }
  for (int i = 0; i < 256; ++i) {
    ASSERT_EQ(PixelOf(frame.get(), i, 11), sdl_565(ramps[256 + i])) << "palette entry " << i;
  }
}

TEST_F(SdlDisplayTest, FramesAdvanceWrapReplaceAndShareDecodedFiles) {
  std::string red = Bmp("red.bmp", {{255, 0, 0}}), green = Bmp("green.bmp", {{0, 255, 0}});
  int32_t first = display_->CreateSprite(), second = display_->CreateSprite();
  for (int32_t sprite : {first, second}) {
    display_->LoadSpriteFrame(sprite, 1, red, kKeyTransparent);
    display_->LoadSpriteFrame(sprite, 2, green, kKeyTransparent);
  }
  EXPECT_EQ(display_->PictureDecodes(), 2);
  auto shown = [&](int32_t sprite) {
    display_->ClearBackBuffer(kBlack);
    display_->DrawSprite(sprite);
    return PixelAt(0, 0);
  };
  display_->NextSpriteFrame(first);
  EXPECT_EQ(shown(first), (Rgb{0, 255, 0}));
  EXPECT_EQ(shown(second), (Rgb{255, 0, 0}));  // each sprite has its own frame
  display_->NextSpriteFrame(first);
  EXPECT_EQ(shown(first), (Rgb{255, 0, 0}));  // wrapped after the highest frame
  display_->LoadSpriteFrame(first, 1, Bmp("blue.bmp", {kBlueRgb}), kKeyOpaque);
  EXPECT_EQ(shown(first), kBlueRgb);  // replaced
  display_->SetSpriteFrame(first, 7);
  EXPECT_EQ(shown(first), (Rgb{0, 0, 0}));  // never loaded: nothing drawn
  display_->NextSpriteFrame(first);
  EXPECT_EQ(shown(first), kBlueRgb);
}

TEST_F(SdlDisplayTest, FrameIsDueWhenItsDelayHasRunOutModulo32Bits) {
  int32_t sprite = display_->CreateSprite();
  display_->SetSpriteFrameDelay(sprite, 100);
  clock_.ticks = 1000;
  display_->SetSpriteFrame(sprite, 1);
  clock_.ticks = 1099;
  EXPECT_FALSE(display_->SpriteFrameDue(sprite));
  clock_.ticks = 1100;
  EXPECT_TRUE(display_->SpriteFrameDue(sprite));
  display_->NextSpriteFrame(sprite);  // counts from here
  EXPECT_FALSE(display_->SpriteFrameDue(sprite));
  clock_.ticks = 0xFFFFFFF0u;
  display_->NextSpriteFrame(sprite);
  clock_.ticks = 0x50;  // 96 ms later
  EXPECT_FALSE(display_->SpriteFrameDue(sprite));
  clock_.Advance(4);
  EXPECT_TRUE(display_->SpriteFrameDue(sprite));
}

TEST_F(SdlDisplayTest, MovesFollowScreenDirectionsAndPositionsReadAsSixteenBits) {
  int32_t sprite = Sprite(Bmp("red.bmp", {{255, 0, 0}}, 1), kKeyOpaque, 100, 100);
  display_->MoveSpriteX(sprite, -5);
  display_->MoveSpriteY(sprite, 1);  // up
  EXPECT_EQ(display_->GetSpriteX(sprite), 95);
  EXPECT_EQ(display_->GetSpriteY(sprite), 99);
  display_->MoveSpriteY(sprite, -3);  // down
  display_->ClearBackBuffer(kBlack);
  display_->DrawSprite(sprite);
  EXPECT_EQ(PixelAt(95, 102), (Rgb{255, 0, 0}));
  EXPECT_EQ(PixelAt(95, 101), (Rgb{0, 0, 0}));
  display_->SetSpriteX(sprite, 40000);
  EXPECT_EQ(display_->GetSpriteX(sprite), -25536);
}

TEST_F(SdlDisplayTest, TextIsDrawnInItsColourAtItsPlaceAndRenderedOnce) {
  for (int frame = 0; frame < 3; ++frame) {
    display_->ClearBackBuffer(kBlack);
    display_->SetTextFont("Arial", 30, 1, false, false, false);
    display_->DrawText("You have not selected a Waterfall", 215, 295, kYellow);
    display_->SetTextFont("Arial", 14, 1, false, false, false);
    display_->DrawText("12:00:00", 650, 1, kYellow);
    display_->Flip();
  }
  EXPECT_GT(YellowPixels(215, 295, 600, 335), 500);
  EXPECT_EQ(YellowPixels(0, 20, 800, 290) + YellowPixels(0, 340, 800, 600), 0);
  EXPECT_EQ(display_->FontOpens(), 2);
  EXPECT_EQ(display_->TextRenders(), 2);

  display_->DrawText("12:00:01", 650, 1, kYellow);   // a new text
  display_->DrawText("12:00:01", 650, 1, 0xFFFFFF);  // in another colour
  EXPECT_EQ(display_->TextRenders(), 4);
  // The cache is bounded: the least recently drawn text is rendered again.
  for (size_t i = 0; i < SdlDisplay::kTextCacheSize; ++i)
    display_->DrawText(std::to_string(i), 0, 0, kYellow);
  display_->DrawText("12:00:00", 650, 1, kYellow);
  EXPECT_EQ(display_->TextRenders(), 5 + static_cast<int>(SdlDisplay::kTextCacheSize));
}

TEST_F(SdlDisplayTest, HugeTextsAbsurdSizesAndUnknownFacesAreSafe) {
  std::string message;
  while (message.size() < 200 * 1024) message += "A long message with \xC3\xBC and words. ";
  display_->ClearBackBuffer(kBlack);
  display_->SetTextFont("No Such Face Anywhere", 24, 1, false, false, false);
  display_->DrawText(message, 1, 560, kYellow);
  EXPECT_GT(YellowPixels(700, 560, 800, 600), 20);  // runs to the right edge
  std::string line = message.substr(0, 60);
  display_->DrawText(line, 700, 500, kYellow);  // cut short near the edge
  display_->DrawText(line, 1, 500, kYellow);    // but whole here
  EXPECT_GT(YellowPixels(500, 500, 690, 540), 20);
  for (int32_t size : {0, -5, 100000, INT32_MAX}) {
    display_->SetTextFont("Arial", size, 1, false, false, false);
    display_->DrawText(message, 0, 300, kYellow);
  }
  EXPECT_EQ(display_->FontOpens(), 3);  // the fallback face at 24; Arial clamped to 1 and 400
  display_->DrawText("\xFF\xFE not UTF-8 \xC3", 0, 0, kYellow);
  display_->DrawText("far right", 5000, 0, kYellow);
  display_->DrawText("far left", -100000000, 0, kYellow);
  display_->Flip();
  EXPECT_TRUE(display_->CheckDisplay());
}

// Any window size, resized while the scene runs: the frame where there is room for it (a 2 x 1
// window has room for one pixel, the middle of the frame), black where there is none.
TEST_F(SdlDisplayTest, AWindowOfAnySizeShowsTheFrameWhereThereIsRoom) {
  SDL_Window* window = nullptr;
  for (Uint32 id = 1; window == nullptr && id < 100; ++id) window = SDL_GetWindowFromID(id);
  ASSERT_NE(window, nullptr);
  const int sizes[][2] = {{1, 1}, {2, 1}, {1, 2}, {3, 2}, {801, 1}, {1, 601}, {400, 300}};
  for (const auto& size : sizes) {
    SDL_SetWindowSize(window, size[0], size[1]);
    RecordingEvents events;
    display_->PumpEvents(events);
    display_->ClearBackBuffer(kBlue);
    display_->Flip();
    SDL_Surface* shown = SDL_GetWindowSurface(window);
    ASSERT_NE(shown, nullptr);
    ASSERT_EQ(shown->w, size[0]);
    int blue = 0;
    for (int y = 0; y < shown->h; ++y) {
      for (int x = 0; x < shown->w; ++x) {
        Uint8 r, g, b;
        SDL_GetRGB(static_cast<Uint32*>(shown->pixels)[y * shown->pitch / 4 + x], shown->format, &r,
                   &g, &b);
        blue += b == 255 && r == 0 && g == 0;
      }
    }
    const int room =
        size[0] * 3 >= size[1] * 4 ? size[1] * 4 / 3 * size[1] : size[0] * (size[0] * 3 / 4);
    EXPECT_EQ(blue, room) << size[0] << " x " << size[1];
  }
  EXPECT_TRUE(display_->CheckDisplay());
}

TEST_F(SdlDisplayTest, InputReachesTheWindowUnlessTheHostOwnsIt) {
  for (bool accept : {true, false}) {
    Open({.title = "test", .fullscreen = false, .accept_input = accept});
    // The first report locates the pointer; a report of the same place is no movement.
    const int positions[][2] = {{10, 10}, {10, 10}, {12, 10}, {12, 11}, {12, 11}};
    for (const auto& p : positions) {
      SDL_Event motion{};
      motion.type = SDL_MOUSEMOTION;
      motion.motion.x = p[0];
      motion.motion.y = p[1];
      SDL_PushEvent(&motion);
    }
    SDL_Event event{};
    for (Uint32 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEWHEEL, SDL_KEYDOWN, SDL_KEYUP}) {
      event.type = type;
      SDL_PushEvent(&event);
    }
    RecordingEvents events;
    display_->PumpEvents(events);
    EXPECT_EQ(events.moves, accept ? 2 : 0);
    EXPECT_EQ(events.buttons + events.wheels + events.keys, accept ? 3 : 0);
    EXPECT_EQ(events.wheels, accept ? 1 : 0);
    EXPECT_EQ(events.frames, 0);
    EXPECT_TRUE(display_->CheckDisplay());
  }
}

TEST_F(SdlDisplayTest, QuitCloseAndDeviceResetEndTheDisplay) {
  for (Uint32 type : {Uint32{SDL_QUIT}, Uint32{SDL_WINDOWEVENT}, Uint32{SDL_RENDER_DEVICE_RESET}}) {
    Open({.title = "test", .fullscreen = false});
    SDL_Event event{};
    event.type = type;
    event.window.event = SDL_WINDOWEVENT_CLOSE;
    SDL_PushEvent(&event);
    RecordingEvents events;
    display_->PumpEvents(events);
    EXPECT_FALSE(display_->CheckDisplay()) << type;
    display_->ClearBackBuffer(kBlack);  // harmless after the end
    display_->Flip();
  }
}

TEST_F(SdlDisplayTest, ClosingReleasesEverythingAndTheDisplayOpensAgain) {
  std::string red = Bmp("red.bmp", {{255, 0, 0}});
  int32_t sprite = Sprite(red, kKeyOpaque, 5, 5);
  display_->CloseDisplay();
  EXPECT_FALSE(display_->CheckDisplay());
  EXPECT_FALSE(display_->SaveScreenshot((dir_ / "closed.bmp").string()));
  display_->DrawSprite(sprite);
  ASSERT_TRUE(display_->OpenDisplay(800, 600, 16, ""));
  display_->LoadSpriteFrame(sprite, 1, red, kKeyOpaque);
  display_->DrawSprite(sprite);
  EXPECT_EQ(display_->PictureDecodes(), 2);
  std::string shot = (dir_ / "shot.bmp").string();
  ASSERT_TRUE(display_->SaveScreenshot(shot));
  SdlSurfacePtr saved(SDL_LoadBMP(shot.c_str()));
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->w * 1000 + saved->h, 800600);
}

TEST(SdlDisplayOpenTest, NoDisplayMeansFalseNotAnError) {
  setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
  FakeClock clock;
  SdlDisplay display(clock, {.title = "test"});
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(display.OpenDisplay(800, 600, 16, ""));
  EXPECT_THAT(::testing::internal::GetCapturedStderr(), HasSubstr("cannot open the display"));
  EXPECT_FALSE(display.CheckDisplay());
  EXPECT_THROW(display.LoadSpriteFrame(display.CreateSprite(), 1, "/x/Flock3.BMP", -1),
               std::logic_error);
}

TEST(FontLookupTest, FaceNamesResolveToInstalledFiles) {
  FontLookup lookup;
  EXPECT_THAT(lookup.Find("Arial").path, HasSubstr("Liberation"));  // from fonts-liberation
  EXPECT_FALSE(lookup.Find("").path.empty());
  EXPECT_FALSE(lookup.Find("No Such Face Anywhere").path.empty());
}

}  // namespace
}  // namespace larkspill

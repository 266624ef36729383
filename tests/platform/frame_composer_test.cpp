#include "platform/frame/frame_composer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/display/picture_store.h"
#include "platform/display/text_cache.h"
#include "platform/frame/scaled_view.h"
#include "platform/frame/scene_fit.h"
#include "scene/scene_display.h"

namespace larkspill {
namespace {

using ::testing::AllOf, ::testing::Gt, ::testing::HasSubstr, ::testing::Lt, ::testing::StartsWith,
    ::testing::ThrowsMessage;

constexpr int kW = 40, kH = 30;
constexpr auto kWide = SDL_PIXELFORMAT_RGB888;

// A picture of w x h pixels of `colour` (0xRRGGBB) with a magenta column at x = `magenta`.
struct TestPicture : Picture {
  TestPicture(int w, int h, uint32_t colour, bool keyed, int magenta = 1) {
    pixels.reset(SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, kWide));
    SDL_Rect column{magenta, 0, 1, h};
    SDL_FillRect(pixels.get(), nullptr, colour);
    SDL_FillRect(pixels.get(), &column, 0xFF00FF);
    if (keyed) KeyOnMagenta(pixels.get());
    image = pixman_image_create_bits(keyed ? PIXMAN_a8r8g8b8 : PIXMAN_x8r8g8b8, w, h,
                                     static_cast<uint32_t*>(pixels->pixels), pixels->pitch);
  }
};

struct Frame {
  std::vector<uint32_t> pixels = std::vector<uint32_t>(kW * kH);
  FrameComposer composer{pixels.data(), kW, kH, kW * 4};
  uint32_t At(int x, int y) const { return pixels[size_t(y) * kW + x] & 0xFFFFFF; }
};

// A text's pixels, w x h: straight alpha rising across it, in one of two colours.
std::shared_ptr<const TextPixels> Text(int which, int w = 9, int h = 5) {
  auto text = std::make_shared<TextPixels>();
  text->surface.reset(SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888));
  auto* p = static_cast<uint32_t*>(text->surface->pixels);
  for (int i = 0; i < w * h; ++i) p[i] = (uint32_t(i * 5) << 24) | (which ? 0xFFFF00 : 0x00FFFF);
  return text;
}

// Frame n: background or fill, sprites moving off edges, under and over, changing, and a text.
void Draw(FrameComposer& c, int n) {
  static const std::shared_ptr<const TextPixels> texts[] = {Text(0), Text(1)};
  static TestPicture background(kW, kH, 0x336699, false), keyed(8, 8, 0xEEBB11, true),
      block(6, 6, 0x11EE22, false);
  static TestPicture flags[] = {{6, 4, 0xC04080, true, 2}, {6, 4, 0x40C080, true, 4}};
  c.Add(n == 5 ? Drawing{.where = {0, 0, kW, kH}, .colour = 0x0000FF, .opaque = true}
               : Drawing{.picture = background.image, .where = {0, 0, kW, kH}, .opaque = true});
  const int kx = -6 + 7 * n, bx = 30 - 4 * n;
  if (n % 3 == 1) c.Add({.picture = block.image, .where = {bx, 4, bx + 6, 10}, .opaque = true});
  c.Add({.picture = keyed.image, .where = {kx, n, kx + 8, n + 8}});
  if (n % 3 == 2) c.Add({.picture = block.image, .where = {bx, 4, bx + 6, 10}, .opaque = true});
  c.Add({.picture = flags[n % 2].image, .where = {30, 24, 36, 28}});
  c.Add({.text = texts[n / 3 % 2], .where = {12 - n, 20, 21 - n, 25}});
  c.Compose();
}

// Composed only where its drawings changed, a frame is as if composed whole, all change is
// reported, and a scaled window sent only what changed shows what one painted whole shows.
TEST(FrameComposerTest, FramesComposedInPartsMatchFramesComposedWholeOnScaledWindowsToo) {
  for (const auto& [w, h] : {std::pair{kW, kH}, {kW, kH + 6}, {72, 54}, {144, 108}, {41, 31}}) {
    Frame parts;
    parts.composer.KeepScene(w != kW);
    const auto wide_text = Text(1, w / 3, 6);
    ScaledView view;
    view.Place(w, h, kW, kH);
    std::vector<uint32_t> before = parts.pixels;
    const TestPicture window(w, h, 0, false);
    const auto* shown = static_cast<const uint32_t*>(window.pixels->pixels);
    // Sends the window what changed, or all; the texts drawn at its size, wider than on the frame.
    auto send = [&](bool whole) {
      std::vector<SharpText> texts;
      for (const Drawing& d : parts.composer.shown())
        if (d.text) texts.push_back(view.Sharp(wide_text, d.where));
      Region boxes;
      view.Changes(parts.composer.changed(), std::move(texts), whole, boxes);
      for (const pixman_box32_t& box : boxes.Boxes())
        view.Paint(parts.composer.frame(), parts.composer.scene(), box, window.image,
                   window.pixels.get(), 0, 0);
    };
    for (int n = 0; n < 8; ++n) {
      parts.composer.ClearChanged();
      const int64_t composed_before = parts.composer.pixels_composed();
      Draw(parts.composer, n);
      Frame whole;
      Draw(whole.composer, n);
      for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
          ASSERT_EQ(parts.At(x, y), whole.At(x, y)) << "frame " << n << " at " << x << "," << y;
          ASSERT_TRUE((before[size_t(y) * kW + x] & 0xFFFFFF) == parts.At(x, y) ||
                      parts.composer.changed().Touches({x, y, x + 1, y + 1}))
              << "frame " << n << " changed at " << x << "," << y << " unreported";
        }
      if (n > 0 && n != 5 && n != 6) {  // a few drawings changed, not the background
        EXPECT_LT(parts.composer.pixels_composed() - composed_before, kW * kH / 2) << n;
      }
      before = parts.pixels;
      if (w == kW && h == kH) continue;  // no window but the frame
      send(n == 0);
      const std::vector<uint32_t> sent(shown, shown + w * h);
      send(true);
      for (int i = 0; i < w * h; ++i)
        ASSERT_EQ(sent[i] & 0xFFFFFF, shown[i] & 0xFFFFFF) << w << " wide, frame " << n << ":" << i;
    }
  }
}

// In Draw's frames: a keyed picture off the left edge and over a picture, an opaque one, fills.
TEST(FrameComposerTest, KeyedPicturesShowWhatIsUnderTheirKeyAndFillsTakeTheirColour) {
  const struct {
    int n, x, y;
    uint32_t colour;
  } expected[] = {{0, 1, 0, 0xEEBB11},  {1, 2, 1, 0x336699},  {1, 3, 1, 0xEEBB11},
                  {1, 9, 1, 0x336699},  {1, 26, 4, 0x11EE22}, {1, 27, 4, 0xFF00FF},
                  {5, 30, 5, 0x0000FF}, {5, 34, 25, 0x0000FF}};
  for (const auto& [n, x, y, colour] : expected) {
    Frame f;
    Draw(f.composer, n);
    EXPECT_EQ(f.At(x, y), colour) << "frame " << n << " at " << x << "," << y;
  }
  // Drawn as pixman draws it over, at places and widths that leave any number of pixels over
  // after the groups of four: a key scattered through a picture, over a frame of many colours.
  TestPicture scattered(23, 9, 0, true);
  auto* p = static_cast<uint32_t*>(scattered.pixels->pixels);
  for (int i = 0; i < 23 * 9; ++i) p[i] = i % 3 == 0 || i % 7 == 2 ? 0 : 0xFF000000u | i * 7919u;
  for (int x0 = -3; x0 < 4; ++x0) {
    std::vector<uint32_t> ours(kW * kH), pixmans(kW * kH);
    for (int i = 0; i < kW * kH; ++i) ours[i] = pixmans[i] = 0xFF000000u | i * 104729u;
    pixman_image_t* frames[2] = {
        pixman_image_create_bits(PIXMAN_x8r8g8b8, kW, kH, ours.data(), kW * 4),
        pixman_image_create_bits(PIXMAN_x8r8g8b8, kW, kH, pixmans.data(), kW * 4)};
    const pixman_box32_t clip{0, 1, 13 + x0 * 3, 8};
    PaintDrawing({.picture = scattered.image, .where = {x0, 2, x0 + 23, 11}}, frames[0], nullptr,
                 clip);
    pixman_image_composite32(PIXMAN_OP_OVER, scattered.image, nullptr, frames[1],
                             std::max(0, -x0), 0, 0, 0, std::max(0, x0), 2,
                             clip.x2 - std::max(0, x0), clip.y2 - 2);
    for (pixman_image_t* f : frames) pixman_image_unref(f);
    ASSERT_EQ(ours, pixmans) << "at x " << x0;
  }
}

// 16-pixel tiles of a 40 x 20 picture: whole ones, the right and bottom ones cut short; runs of
// differing tiles along a row are one box. (Draw's flags, swapped each frame, take the composer
// through them: a change left out shows there as an unreported change.)
TEST(FrameComposerTest, PicturesDifferOnlyInTheTilesHoldingADifferentPixel) {
  const struct {
    std::vector<std::pair<int, int>> poked;
    std::vector<std::array<int, 4>> boxes;
  } cases[] = {{{}, {}},
               {{{15, 15}}, {{0, 0, 16, 16}}},
               {{{17, 3}, {33, 3}}, {{16, 0, 40, 16}}},
               {{{0, 19}, {39, 19}}, {{0, 16, 16, 20}, {32, 16, 40, 20}}}};
  for (const auto& [poked, boxes] : cases) {
    const TestPicture a(40, 20, 0x123456, false), b(40, 20, 0x123456, false);
    for (const auto& [x, y] : poked) static_cast<uint32_t*>(b.pixels->pixels)[y * 40 + x] ^= 8;
    std::vector<std::array<int, 4>> found;
    for (const pixman_box32_t& t : DifferingTiles(a.image, b.image, FrameComposer::kTile))
      found.push_back({t.x1, t.y1, t.x2, t.y2});
    EXPECT_EQ(found, boxes) << poked.size() << " pixels";
  }
}

TEST(ScaledViewTest, TheFrameIsLetterboxedAsLargeAsFits) {
  const struct {
    int w, h;
    ViewPlace place;
  } cases[] = {{800, 600, {0, 0, 800, 600}},
               {1920, 1080, {240, 0, 1440, 1080}},
               {3840, 2160, {480, 0, 2880, 2160}},
               {1000, 500, {167, 0, 666, 500}},
               {640, 1000, {0, 260, 640, 480}},
               {1, 1, {}},
               {0, 600, {}}};
  for (const auto& c : cases) EXPECT_EQ(PlaceView(c.w, c.h, 800, 600), c.place) << c.w << " wide";
  // A frame made for the window fills it, though its width was rounded to whole pixels.
  EXPECT_EQ(PlaceView(1920, 1080, 1067, 600), (ViewPlace{0, 0, 1920, 1080}));
}

// The 4:3 scene is centred at the screen's height, the wide backgrounds fill up to 21:9, and a
// creature just off the scene is just off the screen, however wide.
TEST(SceneFitTest, TheSceneIsCentredAndCreaturesCrossTheWholeWidth) {
  const struct {
    int w, h;
    bool painted;
    SceneFit fit;
    int32_t background_x;  // where the wide background's left edge lands
  } cases[] = {
      {800, 600, false, SceneFit::Exact(), -320},
      {800, 600, true, SceneFit::Exact(), -320},
      {1920, 1080, false, {1, -400.0 / 3, 4.0 / 3, 1067, 600}, -187},
      {1920, 1080, true, {1.8, -400.0 / 3, 4.0 / 3, 1920, 1080}, -336},
      {2560, 1080, true, {1.8, (800 - 2560 / 1.8) / 2, 2560 / 1.8 / 800, 2560, 1080}, -16},
      {3840, 1080, true, {1.8, -320, 1.8, 2592, 1080}, 0},  // beyond 21:9: bars at the sides
      {1280, 1024, true, {1024 / 600.0, 25, 1, 1280, 1024}, -589},  // narrower: the sides cropped
      {0, 600, false, SceneFit::Exact(), -320}};
  for (const auto& c : cases) {
    const SceneFit fit = SceneFit::For(c.w, c.h, c.painted);
    EXPECT_NEAR(fit.left, c.fit.left, 1e-9) << c.w << "x" << c.h;
    EXPECT_NEAR(fit.scale, c.fit.scale, 1e-9) << c.w << "x" << c.h;
    EXPECT_NEAR(fit.spread, c.fit.spread, 1e-9) << c.w << "x" << c.h;
    EXPECT_EQ(std::pair(fit.width, fit.height), std::pair(c.fit.width, c.fit.height)) << c.w;
    EXPECT_EQ(fit.X(-320), c.background_x) << c.w << "x" << c.h;
    for (int w : {20, 116}) {  // scene pixels
      const int frame_w = static_cast<int>(std::lround(w * fit.scale));
      EXPECT_LE(fit.CreatureX(-w, frame_w) + frame_w, 1) << c.w << " a creature wide " << w;
      EXPECT_GE(fit.CreatureX(800, frame_w), fit.width - 1) << c.w << " a creature wide " << w;
      if (fit.spread == 1) {
        EXPECT_EQ(fit.CreatureX(300, frame_w), fit.X(300));
      }
    }
  }
}

// Water lands where the painter put it in the background, the margin and its place each rounded,
// on 16:9 screens of every height up to 2160.
TEST(SceneFitTest, WaterLandsOnThePixelsPaintedForIt) {
  for (int h = 600; h <= 2160; ++h) {
    const SceneFit fit = SceneFit::For(h * 16 / 9, h, true);
    ASSERT_EQ(fit.X(279) - fit.X(-320), std::lround(320 * fit.scale) + std::lround(279 * fit.scale))
        << h << " high";
  }
}

struct Folder {
  std::filesystem::path path = mkdtemp(std::string("/tmp/larkspill-parts-XXXXXX").data());
  ~Folder() { std::filesystem::remove_all(path); }
  std::string operator/(const std::string& name) const { return (path / name).string(); }
};

// A BMP file whose headers claim what the arguments say, with `pixel_bytes` bytes after them.
std::string LyingBmp(int32_t width, int32_t height, uint16_t bits, uint32_t compression = 0,
                     uint32_t colours = 0, size_t pixel_bytes = 1000) {
  std::string file = "BM" + std::string(52, '\0') + std::string(pixel_bytes, '\x7f');
  const std::pair<size_t, uint32_t> fields[] = {{2, uint32_t(file.size())},
                                                {10, 54 + (bits <= 8 ? 4u << bits : 0u)},
                                                {14, 40},
                                                {18, uint32_t(width)},
                                                {22, uint32_t(height)},
                                                {26, 1 | uint32_t{bits} << 16},
                                                {30, compression},
                                                {46, colours}};
  for (auto [at, value] : fields)
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<char>(value >> (8 * i));
  return file;
}

// Nothing allocated beyond what the file holds, nothing blocks; the error names file and fault.
TEST(PictureStoreTest, BadPicturesAreRefusedWithTheirName) {
  Folder dir;
  ASSERT_EQ(mkfifo((dir / "fifo.BMP").c_str(), 0600), 0);
  std::filesystem::create_directory(dir / "folder.BMP");
  const struct {
    std::string name, bytes, reason;
  } cases[] = {
      // bytes "-": an empty file
      {"Flock3.BMP", "", "no such file"},
      {"empty.BMP", "-", "empty"},
      {"fifo.BMP", "", "FIFO"},
      {"folder.BMP", "", "folder"},
      {"garbage.BMP", std::string(500, 'x'), "not a BMP"},
      {"huge.BMP", LyingBmp(30000, 30000, 32), "30000 x 30000 pixels, more than"},
      {"wide.BMP", LyingBmp(8192, 4096, 24), "8192 x 4096 pixels, more than"},
      {"upside.BMP", LyingBmp(100, INT32_MIN, 24), "2147483648 pixels, more than"},
      {"short.BMP", LyingBmp(4000, 4000, 32), "but the file holds 1000"},
      {"short8.BMP", LyingBmp(2000, 2000, 8, 0, 0, 2000), "but the file holds"},
      {"palette.BMP", LyingBmp(10, 10, 8, 0, 100000), "a palette of 100000 colours"},
      {"rle24.BMP", LyingBmp(10, 10, 24, 1), "compression 1"},
      {"zero.BMP", LyingBmp(0, 10, 24), "no pixels"},
  };
  PictureStore store;
  for (const auto& c : cases) {
    const std::string path = dir / c.name;
    if (!c.bytes.empty()) std::ofstream(path, std::ios::binary) << (c.bytes == "-" ? "" : c.bytes);
    EXPECT_THAT([&] { store.Get(path, true); },
                ThrowsMessage<AssetError>(
                    AllOf(StartsWith("cannot load picture " + path + ": "), HasSubstr(c.reason))));
  }
}

// Read here (24-bit) or by SDL (8-bit), colours quantise as SDL's RGB565 does; magenta is the key.
TEST(PictureStoreTest, EveryColourQuantisesAsSdlDoesAndMagentaIsTheKey) {
  Folder dir;
  SdlSurfacePtr indexed(SDL_CreateRGBSurfaceWithFormat(0, 256, 2, 8, SDL_PIXELFORMAT_INDEX8));
  SDL_Color* palette = indexed->format->palette->colors;  // all but one level of each; rows differ
  for (int i = 0; i < 256; ++i) {
    palette[i] = {Uint8(i * 97), Uint8(i * 57 + 1), Uint8(i * 31 + 2), 255};
    static_cast<Uint8*>(indexed->pixels)[i] = Uint8(i);
    static_cast<Uint8*>(indexed->pixels)[indexed->pitch + i] = Uint8(255 - i);
  }
  palette[0] = {250, 3, 251, 255};  // quantises to magenta
  SdlSurfacePtr plain(SDL_ConvertSurfaceFormat(indexed.get(), SDL_PIXELFORMAT_RGB24, 0));
  SdlSurfacePtr sdl(SDL_ConvertSurfaceFormat(indexed.get(), SDL_PIXELFORMAT_RGB565, 0));
  auto at = [](const SDL_Surface* s, int i) {
    return static_cast<const uint32_t*>(s->pixels)[i / 256 * s->pitch / 4 + i % 256];
  };
  PictureStore store;
  for (SDL_Surface* source : {plain.get(), indexed.get()}) {
    const std::string path = dir / (std::to_string(source->format->BitsPerPixel) + ".bmp");
    ASSERT_EQ(SDL_SaveBMP(source, path.c_str()), 0) << SDL_GetError();
    const SDL_Surface* opaque = store.Get(path, false).pixels.get();
    const SDL_Surface* keyed = store.Get(path, true).pixels.get();
    for (int i = 0; i < 512; ++i) {
      const uint32_t v = static_cast<Uint16*>(sdl->pixels)[i / 256 * sdl->pitch / 2 + i % 256];
      const uint32_t r = v >> 11, g = (v >> 5) & 63, b = v & 31;
      const uint32_t wide = (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
      ASSERT_EQ(at(opaque, i) & 0xFFFFFF, wide) << path << ", pixel " << i;
      ASSERT_EQ(at(keyed, i), wide == 0xFF00FF ? 0 : wide | 0xFF000000) << path << ", pixel " << i;
    }
    store.Get(path, false);  // not read again
  }
  EXPECT_EQ(store.decodes(), 4);

  // Only the box around a keyed picture's other pixels is drawn (none when all are its key).
  SdlSurfacePtr sparse(SDL_CreateRGBSurfaceWithFormat(0, 6, 5, 24, SDL_PIXELFORMAT_RGB24));
  SDL_FillRect(sparse.get(), nullptr, SDL_MapRGB(sparse->format, 255, 0, 255));
  const std::string key_only = dir / "key-only.bmp";
  ASSERT_EQ(SDL_SaveBMP(sparse.get(), key_only.c_str()), 0) << SDL_GetError();
  EXPECT_EQ(store.Get(key_only, true).showing, nullptr);
  for (auto [x, y] : {std::pair{4, 1}, {2, 3}}) {
    const SDL_Rect dot{x, y, 1, 1};
    SDL_FillRect(sparse.get(), &dot, SDL_MapRGB(sparse->format, 0, 0, 255));
  }
  const std::string two_dots = dir / "two-dots.bmp";
  ASSERT_EQ(SDL_SaveBMP(sparse.get(), two_dots.c_str()), 0) << SDL_GetError();
  const Picture& dots = store.Get(two_dots, true);
  EXPECT_EQ(std::tuple(dots.shows.x, dots.shows.y, dots.shows.w, dots.shows.h),
            std::tuple(2, 1, 3, 3));
  EXPECT_EQ(pixman_image_get_data(dots.showing)[2], 0xFF0000FF);  // the dot at (4, 1)

  // A large opaque picture (a background painted for a large screen) is kept at 16 bits and drawn
  // into the frame as pixman would widen it: every 16-bit colour, at an odd place.
  SdlSurfacePtr large(SDL_CreateRGBSurfaceWithFormat(0, 2048, 1024, 24, SDL_PIXELFORMAT_RGB24));
  for (int i = 0; i < 2048 * 1024; ++i) {
    auto* p = static_cast<Uint8*>(large->pixels) + i / 2048 * large->pitch + i % 2048 * 3;
    const int v = i % 65536;  // as RGB565: five bits of red, six of green, five of blue
    p[0] = Uint8((v >> 11) << 3), p[1] = Uint8(((v >> 5) & 63) << 2), p[2] = Uint8((v & 31) << 3);
  }
  const std::string path = dir / "large.bmp";
  ASSERT_EQ(SDL_SaveBMP(large.get(), path.c_str()), 0) << SDL_GetError();
  const Picture& kept = store.Get(path, false);
  ASSERT_EQ(pixman_image_get_format(kept.image), PIXMAN_r5g6b5);
  EXPECT_EQ(pixman_image_get_format(store.Get(path, true).image), PIXMAN_a8r8g8b8);  // its key
  std::vector<uint32_t> ours(300 * 200), pixmans(300 * 200);
  pixman_image_t* frames[2] = {
      pixman_image_create_bits(PIXMAN_x8r8g8b8, 300, 200, ours.data(), 300 * 4),
      pixman_image_create_bits(PIXMAN_x8r8g8b8, 300, 200, pixmans.data(), 300 * 4)};
  const Drawing drawing{.picture = kept.image, .where = {-1001, -517, 1047, 507}, .opaque = true};
  PaintDrawing(drawing, frames[0], nullptr, {0, 0, 300, 200});
  pixman_image_composite32(PIXMAN_OP_SRC, kept.image, nullptr, frames[1], 1001, 517, 0, 0, 0, 0,
                           300, 200);
  for (pixman_image_t* f : frames) pixman_image_unref(f);
  for (size_t i = 0; i < ours.size(); ++i)
    ASSERT_EQ(ours[i] & 0xFFFFFF, pixmans[i] & 0xFFFFFF) << i;
}

// Rendered once while drawn alike, in a bounded cache; cut just past its place; any face or size.
TEST(TextCacheTest, TextsRenderOnceCutToTheirPlaceInAnyFaceAndSize) {
  TextCache texts;
  ASSERT_TRUE(texts.Start());
  for (int frame = 0; frame < 3; ++frame)
    for (int size : {30, 14}) {
      texts.SetFont("Arial", size);
      ASSERT_TRUE(texts.Render("12:00:00", kYellow, 150));
    }
  EXPECT_EQ(std::pair(texts.font_opens(), texts.text_renders()), std::pair(2, 2));
  for (int32_t colour : {kYellow, 0xFFFFFF}) texts.Render("12:00:01", colour, 150);
  EXPECT_EQ(texts.text_renders(), 4);
  for (size_t i = 0; i < TextCache::kCacheSize; ++i) texts.Render(std::to_string(i), kYellow, 150);
  texts.Render("12:00:00", kYellow, 150);
  EXPECT_EQ(texts.text_renders(), 5 + static_cast<int>(TextCache::kCacheSize));

  std::string message;
  while (message.size() < 200 * 1024) message += "A long message with \xC3\xBC and words. ";
  texts.SetFont("No Such Face Anywhere", 24);
  for (int32_t width : {100, 799}) {
    const auto cut = texts.Render(message, kYellow, width);
    EXPECT_THAT(cut ? cut->surface->w : 0, AllOf(Gt(width), Lt(width + 30)));
  }
  for (int32_t size : {0, -5, 100000, INT32_MAX}) {
    texts.SetFont("Arial", size);
    EXPECT_TRUE(texts.Render(message, kYellow, 800)) << size;
  }
  EXPECT_EQ(texts.font_opens(), 5);  // and the fallback face at 24, Arial clamped to 1 and 400
}

}  // namespace
}  // namespace larkspill

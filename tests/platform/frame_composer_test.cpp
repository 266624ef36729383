#include "platform/frame/frame_composer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/display/picture_store.h"
#include "platform/fonts/text_cache.h"
#include "platform/frame/scaled_view.h"

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

}  // namespace
}  // namespace larkspill

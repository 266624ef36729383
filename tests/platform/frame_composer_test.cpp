#include "platform/frame_composer.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/picture_store.h"
#include "platform/scaled_view.h"

namespace larkspill {
namespace {

constexpr int kW = 40, kH = 30;

// A picture of w x h pixels of `colour` (0xRRGGBB) with a magenta column at x = `magenta`.
struct TestPicture {
  TestPicture(int w, int h, uint32_t colour, bool keyed, int magenta = 1)
      : pixels(size_t(w) * h, colour) {
    for (int y = 0; y < h; ++y) pixels[size_t(y) * w + magenta] = 0xFF00FF;
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), w, h, 32, w * 4,
                                                        SDL_PIXELFORMAT_RGB888);
    if (keyed) KeyOnMagenta(s);
    SDL_FreeSurface(s);
    image = pixman_image_create_bits(keyed ? PIXMAN_a8r8g8b8 : PIXMAN_x8r8g8b8, w, h,
                                     pixels.data(), w * 4);
  }
  ~TestPicture() { pixman_image_unref(image); }
  std::vector<uint32_t> pixels;
  pixman_image_t* image;
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

// Frame n of a script: a background, a keyed sprite crossing (also off the edges), an opaque
// block on some frames drawn under or over it, a keyed sprite in place changing its picture, a
// text that changes every third frame, and once a plain fill instead of the background.
void Draw(FrameComposer& c, int n, TestPicture& background, TestPicture& keyed,
          TestPicture& block) {
  static const std::shared_ptr<const TextPixels> texts[] = {Text(0), Text(1)};
  static TestPicture flags[] = {{6, 4, 0xC04080, true, 2}, {6, 4, 0x40C080, true, 4}};
  if (n == 5) {
    c.Add({.where = {0, 0, kW, kH}, .colour = 0x0000FF, .opaque = true});
  } else {
    c.Add({.picture = background.image, .where = {0, 0, kW, kH}, .opaque = true});
  }
  const int kx = -6 + 7 * n, bx = 30 - 4 * n;
  if (n % 3 == 1) c.Add({.picture = block.image, .where = {bx, 4, bx + 6, 10}, .opaque = true});
  c.Add({.picture = keyed.image, .where = {kx, n, kx + 8, n + 8}});
  if (n % 3 == 2) c.Add({.picture = block.image, .where = {bx, 4, bx + 6, 10}, .opaque = true});
  c.Add({.picture = flags[n % 2].image, .where = {30, 24, 36, 28}});
  c.Add({.text = texts[n / 3 % 2], .where = {12 - n, 20, 21 - n, 25}});
  c.Compose();
}

// Only the places where a frame's drawings differ from the last frame's are composed again;
// whatever moved, appeared, vanished or changed order, the frame comes out as a composer with no
// history makes it, and every pixel that changed lies in what is reported changed.
TEST(FrameComposerTest, FramesComposedInPartsMatchFramesComposedWhole) {
  TestPicture background(kW, kH, 0x336699, false), keyed(8, 8, 0xEEBB11, true),
      block(6, 6, 0x11EE22, false);
  Frame parts;
  std::vector<uint32_t> before = parts.pixels;
  for (int n = 0; n < 8; ++n) {
    parts.composer.ClearChanged();
    const int64_t composed_before = parts.composer.pixels_composed();
    Draw(parts.composer, n, background, keyed, block);
    Frame whole;
    Draw(whole.composer, n, background, keyed, block);
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; ++x) {
        ASSERT_EQ(parts.At(x, y), whole.At(x, y)) << "frame " << n << " at " << x << "," << y;
        if ((before[size_t(y) * kW + x] & 0xFFFFFF) != parts.At(x, y)) {
          ASSERT_TRUE(parts.composer.changed().Touches({x, y, x + 1, y + 1}))
              << "frame " << n << " changed at " << x << "," << y << " unreported";
        }
      }
    }
    if (n > 0 && n != 5 && n != 6) {
      EXPECT_LT(parts.composer.pixels_composed() - composed_before, kW * kH / 2) << n;
    }
    before = parts.pixels;
  }
}

TEST(FrameComposerTest, KeyedPicturesShowWhatIsUnderTheirKeyAndFillsTakeTheirColour) {
  TestPicture keyed(4, 2, 0x123456, true), opaque(4, 2, 0x123456, false);
  Frame f;
  f.composer.Add({.where = {0, 0, kW, kH}, .colour = 0xA0B0C0, .opaque = true});
  f.composer.Add({.picture = keyed.image, .where = {0, 0, 4, 2}});
  f.composer.Add({.picture = opaque.image, .where = {10, 0, 14, 2}, .opaque = true});
  f.composer.Add({.picture = opaque.image, .where = {-2, 20, 2, 22}, .opaque = true});
  f.composer.Compose();
  const struct { int x, y; uint32_t colour; } expected[] = {
      {0, 0, 0x123456}, {1, 1, 0xA0B0C0}, {2, 0, 0x123456}, {4, 0, 0xA0B0C0},
      {11, 0, 0xFF00FF}, {12, 1, 0x123456}, {0, 20, 0x123456}, {2, 20, 0xA0B0C0}};
  for (const auto& e : expected) EXPECT_EQ(f.At(e.x, e.y), e.colour) << e.x << "," << e.y;
}

TEST(ScaledViewTest, TheFrameIsLetterboxedAsLargeAsFits) {
  const struct { int w, h; ViewPlace place; } cases[] = {
      {800, 600, {0, 0, 800, 600}},     {1920, 1080, {240, 0, 1440, 1080}},
      {3840, 2160, {480, 0, 2880, 2160}}, {1000, 500, {167, 0, 666, 500}},
      {640, 1000, {0, 260, 640, 480}},  {1, 1, {}}, {0, 600, {}}};
  for (const auto& c : cases) {
    EXPECT_EQ(PlaceView(c.w, c.h, 800, 600), c.place) << c.w << " x " << c.h;
  }
}

// A scaled window is sent only what changed; whatever it is sent must make it show what a
// window painted whole from the new frame shows.
TEST(ScaledViewTest, WhatChangedOnAScaledWindowCoversEveryWindowPixelThatChanged) {
  TestPicture background(kW, kH, 0x336699, false), keyed(8, 8, 0xEEBB11, true),
      block(6, 6, 0x11EE22, false);
  for (const auto& size : {std::pair{72, 54}, std::pair{144, 108}, std::pair{41, 31}}) {
    Frame f;
    f.composer.KeepScene(true);
    const auto wide_text = Text(1, size.first / 3, 6);
    ScaledView view;
    view.Place(size.first, size.second, kW, kH);
    std::vector<uint32_t> shown(size_t(size.first) * size.second);
    pixman_image_t* window = pixman_image_create_bits(PIXMAN_x8r8g8b8, size.first, size.second,
                                                      shown.data(), size.first * 4);
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
        shown.data(), size.first, size.second, 32, size.first * 4, SDL_PIXELFORMAT_RGB888);
    auto paint = [&](const Region& boxes) {
      for (const pixman_box32_t& box : boxes.Boxes()) {
        view.Paint(f.composer.frame(), f.composer.scene(), box, window, surface, 0, 0);
      }
    };
    for (int n = 0; n < 8; ++n) {
      f.composer.ClearChanged();
      Draw(f.composer, n, background, keyed, block);
      // The text drawn at the window's size: wider than its place on the frame, scaled.
      auto sharp = [&] {
        std::vector<SharpText> texts;
        for (const Drawing& d : f.composer.shown()) {
          if (d.text) texts.push_back(view.Sharp(wide_text, d.where));
        }
        return texts;
      };
      Region changes;
      view.Changes(f.composer.changed(), sharp(), n == 0, changes);
      paint(changes);
      std::vector<uint32_t> sent = shown;
      Region all;
      view.Changes(f.composer.changed(), sharp(), true, all);
      paint(all);
      for (size_t i = 0; i < shown.size(); ++i) {
        ASSERT_EQ(sent[i] & 0xFFFFFF, shown[i] & 0xFFFFFF)
            << size.first << " wide, frame " << n << ", pixel " << i;
      }
    }
    SDL_FreeSurface(surface);
    pixman_image_unref(window);
  }
}

}  // namespace
}  // namespace larkspill

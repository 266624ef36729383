#include "startup/preview_window.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <tuple>

#include "scene/exit_status.h"

namespace larkspill {
namespace {

namespace fs = std::filesystem;

struct TempFolder {
  TempFolder() : path(mkdtemp(std::string("/tmp/larkspill-preview-XXXXXX").data())) {}
  ~TempFolder() { fs::remove_all(path); }
  std::string File(const std::string& name) const { return (path / name).string(); }
  fs::path path;
};

// Pixel (x, y) has palette entry i = (x + 3 y) % 256, the colour (i, 255 - i, 2 i); BMP rows are
// stored bottom up, so row order matters.
TEST(PreviewPicture, ReadsAPaletteBmpPixelForPixel) {
  TempFolder folder;
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, 153, 115, 8, SDL_PIXELFORMAT_INDEX8);
  ASSERT_NE(surface, nullptr) << SDL_GetError();
  SDL_Color colours[256];
  for (int i = 0; i < 256; ++i) colours[i] = SDL_Color{Uint8(i), Uint8(255 - i), Uint8(2 * i), 255};
  SDL_SetPaletteColors(surface->format->palette, colours, 0, 256);
  for (int y = 0; y < 115; ++y)
    for (int x = 0; x < 153; ++x)
      static_cast<Uint8*>(surface->pixels)[y * surface->pitch + x] = Uint8((x + 3 * y) % 256);
  ASSERT_EQ(SDL_SaveBMP(surface, folder.File("p.bmp").c_str()), 0) << SDL_GetError();
  SDL_FreeSurface(surface);
  PreviewPicture picture = LoadPreviewPicture(folder.File("p.bmp"));
  ASSERT_EQ(std::tuple(picture.width, picture.height, picture.pixels.size()),
            std::tuple(153, 115, size_t{153 * 115}));
  for (int y : {0, 1, 57, 114})
    for (int x : {0, 1, 76, 152}) {
      const uint32_t i = (x + 3 * y) % 256;
      EXPECT_EQ(picture.pixels[y * 153 + x], (i << 16) | ((255 - i) << 8) | ((2 * i) & 0xFF))
          << x << "," << y;
    }
}

TEST(PreviewPicture, FilesThatAreNoPictureAreNamedInTheError) {
  TempFolder folder;
  std::ofstream(folder.File("text.bmp")) << "not a picture at all\n";
  std::ofstream(folder.File("short.bmp")) << "BM";
  fs::create_directory(folder.File("folder.bmp"));
  for (const char* name : {"missing.bmp", "text.bmp", "short.bmp", "folder.bmp"}) {
    const std::string path = folder.File(name);
    try {
      LoadPreviewPicture(path);
      ADD_FAILURE() << name << " was read as a picture";
    } catch (const std::runtime_error& error) {
      EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
    }
  }
}

TEST(PreviewPicture, TrueColourPixelsFollowTheVisualsMasks) {
  const ColourMasks rgb888{0xFF0000, 0x00FF00, 0x0000FF}, bgr888{0x0000FF, 0x00FF00, 0xFF0000},
      rgb565{0xF800, 0x07E0, 0x001F}, rgb555{0x7C00, 0x03E0, 0x001F},
      rgb101010{0x3FF00000, 0x000FFC00, 0x3FF};
  // Each channel keeps its top bits: 0x84 is 10000 in five bits, 100001 in six.
  const std::tuple<uint32_t, ColourMasks, uint32_t> cases[] = {
      {0x123456, rgb888, 0x123456}, {0x123456, bgr888, 0x563412}, {0xFFFFFF, rgb565, 0xFFFF},
      {0xFF0000, rgb565, 0xF800},   {0x00FF00, rgb565, 0x07E0},   {0x0000FF, rgb565, 0x001F},
      {0x848484, rgb565, (0x10u << 11) | (0x21u << 5) | 0x10u},   {0xFFFFFF, rgb555, 0x7FFF},
      {0x000000, rgb555, 0},        {0xFF0080, rgb101010, (0x3FCu << 20) | 0x200u}};
  for (const auto& [colour, masks, pixel] : cases)
    EXPECT_EQ(TrueColourPixel(colour, masks), pixel) << std::hex << colour;
}

TEST(RunPreview, StartsThatCannotShowThePreviewEndAtOnceWithAReason) {
  TempFolder folder;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(RunPreview(false, 0, folder.path.string(), nullptr), kExitUsage);
  EXPECT_EQ(RunPreview(true, 0, folder.path.string(), nullptr), kExitUsage);
  EXPECT_EQ(RunPreview(true, -5, folder.path.string(), nullptr), kExitUsage);
  EXPECT_EQ(RunPreview(true, 12345, folder.path.string(), nullptr), kExitAssetError);
  const std::string told = ::testing::internal::GetCapturedStderr();
  for (const std::string& said : {std::string("window id"), std::string("window 0,"),
                                  std::string("window -5,"), folder.File("preview.bmp")})
    EXPECT_NE(told.find(said), std::string::npos) << said << " not in: " << told;
}

}  // namespace
}  // namespace larkspill

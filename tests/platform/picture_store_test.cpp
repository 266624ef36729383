#include "platform/display/picture_store.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <utility>

#include "platform/frame/frame_composer.h"
#include "scene/scene_display.h"

namespace larkspill {
namespace {

using ::testing::AllOf, ::testing::Gt, ::testing::HasSubstr, ::testing::Lt, ::testing::StartsWith,
    ::testing::ThrowsMessage;

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

}  // namespace
}  // namespace larkspill

// The generator's file encoders, read back with the test's own readers.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "assets/asset_readers.h"
#include "picture.h"
#include "sound_synth.h"

namespace fs = std::filesystem;
using namespace larkspill::assets;
using larkspill::test::Bitmap;
using larkspill::test::ReadBitmap;
using larkspill::test::ReadWave;
using larkspill::test::Wave;

namespace {

fs::path WriteTemp(const std::string& name, const std::vector<uint8_t>& bytes) {
  fs::path path = fs::temp_directory_path() / (std::to_string(::getpid()) + "_" + name);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return path;
}

Picture Pattern(int w, int h) {
  Picture p(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p.Set(x, y, uint8_t(x * 40), uint8_t(y * 30), uint8_t(x * y * 7));
  return p;
}

}  // namespace

TEST(AssetEncoders, Bmp24KeepsEveryPixelWhateverTheRowPadding) {
  for (int width : {1, 2, 3, 4, 5}) {
    Picture p = Pattern(width, 3);
    fs::path path = WriteTemp("pad.bmp", EncodeBmp24(p));
    Bitmap b;
    std::string error;
    ASSERT_TRUE(ReadBitmap(path, b, error)) << error;
    ASSERT_EQ(b.width, width);
    ASSERT_EQ(b.height, 3);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < width; ++x)
        EXPECT_EQ(b.at(x, y), (std::array<uint8_t, 3>{p.at(x, y)[0], p.at(x, y)[1], p.at(x, y)[2]}))
            << "width " << width << " at " << x << "," << y;
    fs::remove(path);
  }
}

TEST(AssetEncoders, Bmp8IsExactForFewColoursAndCloseForMany) {
  // Fifteen distinct colours fit the palette exactly: nothing to dither.
  Picture few = Pattern(5, 3);
  fs::path path = WriteTemp("few.bmp", EncodeBmp8(few));
  Bitmap b;
  std::string error;
  ASSERT_TRUE(ReadBitmap(path, b, error)) << error;
  EXPECT_EQ(b.bits, 8);
  EXPECT_EQ(b.palette.size(), 256u);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x)
      EXPECT_EQ(b.at(x, y),
                (std::array<uint8_t, 3>{few.at(x, y)[0], few.at(x, y)[1], few.at(x, y)[2]}))
          << x << "," << y;
  fs::remove(path);

  // A smooth gradient with thousands of colours keeps its average colour area by area.
  Picture many(64, 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x)
      many.Set(x, y, uint8_t(x * 4), uint8_t(y * 4), uint8_t(255 - x * 2));
  path = WriteTemp("many.bmp", EncodeBmp8(many));
  ASSERT_TRUE(ReadBitmap(path, b, error)) << error;
  for (int by = 0; by < 64; by += 16)
    for (int bx = 0; bx < 64; bx += 16)
      for (int c = 0; c < 3; ++c) {
        double got = 0, want = 0;
        for (int y = by; y < by + 16; ++y)
          for (int x = bx; x < bx + 16; ++x)
            got += b.at(x, y)[size_t(c)], want += many.at(x, y)[size_t(c)];
        EXPECT_NEAR(got / 256, want / 256, 4) << "block " << bx << "," << by << " channel " << c;
      }
  fs::remove(path);
}

TEST(AssetEncoders, DownscaleAveragesTheAreaBehindEachPixel) {
  Picture checker(4, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) {
      uint8_t v = (x + y) % 2 ? 200 : 0;
      checker.Set(x, y, v, v, v);
    }
  Picture small = Downscale(checker, 2, 1);
  EXPECT_EQ(small.at(0, 0)[0], 100);
  EXPECT_EQ(small.at(1, 0)[0], 100);
  // A non-whole ratio still weighs partial pixels: 3 source columns into 2.
  Picture ramp(3, 1);
  ramp.Set(0, 0, 0, 0, 0), ramp.Set(1, 0, 90, 90, 90), ramp.Set(2, 0, 180, 180, 180);
  Picture two = Downscale(ramp, 2, 1);
  EXPECT_EQ(two.at(0, 0)[0], 30);   // (0 * 1 + 90 * 0.5) / 1.5
  EXPECT_EQ(two.at(1, 0)[0], 150);  // (90 * 0.5 + 180 * 1) / 1.5
}

TEST(AssetEncoders, KeyColourIsRecognisedAfterQuantisationAndAvoided) {
  uint8_t near_key[3] = {250, 3, 249};
  EXPECT_TRUE(LooksLikeKey(near_key));
  KeepOffKey(near_key);
  EXPECT_FALSE(LooksLikeKey(near_key));
  uint8_t pink[3] = {247, 0, 255};  // red drops to 30 of 31 in five bits: a different colour
  EXPECT_FALSE(LooksLikeKey(pink));
  KeepOffKey(pink);
  EXPECT_EQ(pink[1], 0) << "colours the display keeps apart are left alone";
}

TEST(AssetEncoders, WavHoldsStereoPcmAndClampsOverload) {
  Sound s;
  s.left = {0.0f, 0.5f, -0.5f, 1.5f};
  s.right = {0.25f, -1.0f, 1.0f, -2.0f};
  fs::path path = WriteTemp("t.wav", EncodeWav(s));
  Wave w;
  std::string error;
  ASSERT_TRUE(ReadWave(path, w, error)) << error;
  EXPECT_EQ(w.channels, 2);
  EXPECT_EQ(w.rate, 44100);
  ASSERT_EQ(w.samples[0].size(), 4u);
  EXPECT_EQ(w.samples[0][1], 16384);  // 0.5 * 32767, rounded
  EXPECT_EQ(w.samples[0][2], -16384);
  EXPECT_EQ(w.samples[0][3], 32767);
  EXPECT_EQ(w.samples[1][0], 8192);
  EXPECT_EQ(w.samples[1][3], -32767);
  fs::remove(path);
}

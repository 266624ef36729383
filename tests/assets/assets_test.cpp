// Checks the generated asset folder against what the scene, the sound schedule and the dialog
// load, and that the generator is reproducible.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "assets/asset_readers.h"

namespace fs = std::filesystem;
using larkspill::test::Bitmap;
using larkspill::test::IsKey;
using larkspill::test::LooksLikeKey;
using larkspill::test::LooksLikeKeyFringe;
using larkspill::test::ReadBitmap;
using larkspill::test::ReadWave;
using larkspill::test::Wave;

namespace {

const fs::path kAssets = LARKSPILL_ASSET_DIR;

Bitmap LoadBitmap(const std::string& name) {
  Bitmap b;
  std::string error;
  EXPECT_TRUE(ReadBitmap(kAssets / name, b, error)) << error;
  return b;
}

Wave LoadWave(const std::string& name) {
  Wave w;
  std::string error;
  EXPECT_TRUE(ReadWave(kAssets / name, w, error)) << error;
  return w;
}

std::vector<std::string> Numbered(const std::string& prefix, int count, const std::string& ext) {
  std::vector<std::string> names;
  for (int i = 1; i <= count; ++i) names.push_back(prefix + std::to_string(i) + ext);
  return names;
}

// A creature sprite: its files and the largest size the motion rules allow.
struct Creature {
  std::string prefix;
  int frames, min_width, max_width, max_height;
};

const Creature kCreatures[] = {
    {"1Butter", 6, 50, 75, 75},
    {"2Butter", 6, 40, 75, 50},
    {"Bird", 8, 60, 75, 110},
    {"Flock", 8, 90, 118, 100},
};

// A water animation: its files, where the scene puts it and whether it is keyed.
struct Water {
  std::vector<std::string> files;
  std::string background;
  int x, y;
  bool keyed;
};

const Water kWater[] = {
    {{"UK01.BMP", "UK02.BMP", "UK03.BMP"}, "UK-bg01.bmp", 279, 72, false},
    {{"UK2-01.BMP", "UK2-02.BMP", "UK2-03.BMP"}, "UK-02bgb.bmp", 319, 110, true},
    {{"UK2-sm01.BMP", "UK2-sm02.BMP", "UK2-sm03.BMP"}, "UK-02bgb.bmp", 191, 354, true},
};

double ChannelRms(const std::vector<int16_t>& s, size_t from, size_t count) {
  double sum = 0;
  for (size_t i = 0; i < count; ++i) {
    double v = s[(from + i) % s.size()] / 32768.0;
    sum += v * v;
  }
  return std::sqrt(sum / double(count));
}

std::vector<uint8_t> Bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

TEST(AssetSceneBitmaps, BackgroundsCoverTheScreenIn24Bits) {
  for (const char* name : {"UK-bg01.bmp", "UK-02bgb.bmp"}) {
    Bitmap b = LoadBitmap(name);
    EXPECT_EQ(b.width, 800) << name;
    EXPECT_EQ(b.height, 600) << name;
    EXPECT_EQ(b.bits, 24) << name;
    // A painted scene, not a flat fill: many colours, and mostly green and dark.
    std::set<uint32_t> colours;
    for (auto& c : b.rgb) colours.insert(uint32_t(c[0]) << 16 | c[1] << 8 | c[2]);
    EXPECT_GT(colours.size(), 20000u) << name;
  }
}

TEST(AssetSceneBitmaps, CreatureFramesShareASizeThatFitsTheirMotion) {
  for (const Creature& c : kCreatures) {
    auto names = Numbered(c.prefix, c.frames, ".BMP");
    Bitmap first = LoadBitmap(names[0]);
    EXPECT_EQ(first.bits, 24) << names[0];
    EXPECT_GE(first.width, c.min_width) << names[0];
    EXPECT_LE(first.width, c.max_width) << names[0];
    EXPECT_LE(first.height, c.max_height) << names[0];
    for (const std::string& name : names) {
      Bitmap b = LoadBitmap(name);
      EXPECT_EQ(b.width, first.width) << name;
      EXPECT_EQ(b.height, first.height) << name;
    }
  }
  // The two butterflies must look different, not be one drawing twice.
  Bitmap a = LoadBitmap("1Butter1.BMP"), b = LoadBitmap("2Butter1.BMP");
  EXPECT_TRUE(a.width != b.width || a.height != b.height || a.rgb != b.rgb);
}

TEST(AssetSceneBitmaps, CreaturesSitOnTheKeyColourWithHardEdges) {
  for (const Creature& c : kCreatures) {
    std::vector<std::vector<std::array<uint8_t, 3>>> frames;
    for (const std::string& name : Numbered(c.prefix, c.frames, ".BMP")) {
      Bitmap b = LoadBitmap(name);
      if (b.rgb.empty()) continue;
      size_t body = 0;
      std::string edge_touch, keyed_out, fringe;
      auto where = [](int x, int y) { return std::to_string(x) + "," + std::to_string(y); };
      for (int y = 0; y < b.height; ++y)
        for (int x = 0; x < b.width; ++x) {
          const auto& p = b.at(x, y);
          bool border = x == 0 || y == 0 || x == b.width - 1 || y == b.height - 1;
          if (IsKey(p)) continue;
          ++body;
          if (border && edge_touch.empty()) edge_touch = where(x, y);
          if (LooksLikeKey(p) && keyed_out.empty()) keyed_out = where(x, y);
          bool beside_key =
              (x > 0 && IsKey(b.at(x - 1, y))) || (x + 1 < b.width && IsKey(b.at(x + 1, y))) ||
              (y > 0 && IsKey(b.at(x, y - 1))) || (y + 1 < b.height && IsKey(b.at(x, y + 1)));
          if (beside_key && LooksLikeKeyFringe(p) && fringe.empty()) fringe = where(x, y);
        }
      EXPECT_EQ(edge_touch, "") << name << " is cut off at its edge";
      EXPECT_EQ(keyed_out, "") << name << " has a colour the display would key out";
      EXPECT_EQ(fringe, "") << name << " has a pink fringe";
      // The creature is there and fills a fair part of its frame.
      EXPECT_GT(body, b.rgb.size() / 25) << name;
      frames.push_back(b.rgb);
    }
    // A wing beat: every frame differs from the next, and the last from the first.
    for (size_t i = 0; i < frames.size(); ++i)
      EXPECT_NE(frames[i], frames[(i + 1) % frames.size()]) << c.prefix << " frame " << i + 1;
  }
}

TEST(AssetSceneBitmaps, WaterFramesLineUpWithTheirBackground) {
  for (const Water& w : kWater) {
    Bitmap bg = LoadBitmap(w.background);
    std::vector<Bitmap> frames;
    for (const std::string& name : w.files) frames.push_back(LoadBitmap(name));
    ASSERT_EQ(frames.size(), 3u);
    const Bitmap& f1 = frames[0];
    ASSERT_GT(f1.width, 40) << w.files[0];
    ASSERT_LE(w.x + f1.width, bg.width) << w.files[0] << " runs off the screen";
    ASSERT_LE(w.y + f1.height, bg.height) << w.files[0] << " runs off the screen";
    size_t moving = 0, kept = 0;
    for (size_t f = 0; f < frames.size(); ++f) {
      const Bitmap& fr = frames[f];
      ASSERT_EQ(fr.bits, 24) << w.files[f];
      ASSERT_EQ(fr.width, f1.width) << w.files[f];
      ASSERT_EQ(fr.height, f1.height) << w.files[f];
      for (int y = 0; y < fr.height; ++y)
        for (int x = 0; x < fr.width; ++x) {
          const auto& p = fr.at(x, y);
          const auto& under = bg.at(w.x + x, w.y + y);
          bool edge = x < 2 || y < 2 || x >= fr.width - 2 || y >= fr.height - 2;
          if (w.keyed && IsKey(p)) continue;
          ++kept;
          ASSERT_FALSE(LooksLikeKey(p) || LooksLikeKeyFringe(p))
              << w.files[f] << " at " << x << "," << y;
          // The first frame is the background itself; the others change only inside, never
          // at the rectangle's edge where a seam would show.
          if (f == 0 || edge) {
            ASSERT_EQ(p, under) << w.files[f] << " differs from " << w.background << " at " << x
                                << "," << y;
          } else if (p != under) {
            ++moving;
          }
        }
    }
    EXPECT_GT(kept, 0u) << w.files[0];
    // The water visibly moves: a good share of the rectangle changes between frames.
    EXPECT_GT(moving, size_t(f1.width) * f1.height / 10) << w.files[0];
  }
}

// The vertical shift that best carries frame a onto frame b within the middle of the sprite,
// where the falling sheet is; positive is downward.
int BestVerticalShift(const Bitmap& a, const Bitmap& b) {
  int best = 0;
  double best_cost = 1e300;
  for (int d = -30; d <= 30; ++d) {
    double cost = 0;
    long count = 0;
    for (int y = a.height / 10; y < a.height * 6 / 10; ++y)
      for (int x = a.width * 35 / 100; x < a.width * 65 / 100; ++x) {
        if (y + d < 0 || y + d >= b.height) continue;
        const auto& p = a.at(x, y);
        const auto& q = b.at(x, y + d);
        if (IsKey(p) || IsKey(q)) continue;
        double diff = (p[0] + p[1] + p[2]) - (q[0] + q[1] + q[2]);
        cost += diff * diff;
        ++count;
      }
    if (count > 100 && cost / count < best_cost) best_cost = cost / count, best = d;
  }
  return best;
}

TEST(AssetSceneBitmaps, WaterFallsDownwardThroughTheLoop) {
  for (const Water& w : kWater) {
    std::vector<Bitmap> frames;
    for (const std::string& name : w.files) frames.push_back(LoadBitmap(name));
    ASSERT_EQ(frames.size(), 3u);
    if (frames[0].rgb.empty()) continue;
    // 1 to 2, 2 to 3 and 3 back to 1 all move the water down.
    for (size_t f = 0; f < 3; ++f)
      EXPECT_GT(BestVerticalShift(frames[f], frames[(f + 1) % 3]), 2)
          << w.files[f] << " to " << w.files[(f + 1) % 3];
  }
}

TEST(AssetDialogPictures, PreviewIsAPalettedStillOfTheFirstScene) {
  Bitmap p = LoadBitmap("preview.bmp");
  EXPECT_EQ(p.width, 153);
  EXPECT_EQ(p.height, 115);
  EXPECT_EQ(p.bits, 8);
  EXPECT_EQ(p.palette.size(), 256u);
  std::set<uint8_t> used(p.index.begin(), p.index.end());
  EXPECT_GT(used.size(), 128u) << "the palette is barely used";
  // Its colours follow the first scene: compare average colour of each quarter.
  Bitmap bg = LoadBitmap("UK-bg01.bmp");
  for (int q = 0; q < 4; ++q) {
    double a[3] = {0, 0, 0}, b[3] = {0, 0, 0};
    int qx = q % 2, qy = q / 2;
    for (int y = qy * 57; y < qy * 57 + 57; ++y)
      for (int x = qx * 76; x < qx * 76 + 76; ++x)
        for (int c = 0; c < 3; ++c) a[c] += p.at(x, y)[size_t(c)] / (57.0 * 76);
    for (int y = qy * 300; y < qy * 300 + 300; ++y)
      for (int x = qx * 400; x < qx * 400 + 400; ++x)
        for (int c = 0; c < 3; ++c) b[c] += bg.at(x, y)[size_t(c)] / (300.0 * 400);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(a[c], b[c], 12) << "quarter " << q << " channel " << c;
  }
}

TEST(AssetDialogPictures, ThumbnailsAndScreenHaveTheirSizes) {
  struct Expect {
    const char* name;
    int w, h;
  };
  for (const Expect& e : {Expect{"dialog-wf1.bmp", 40, 30}, Expect{"dialog-wf2.bmp", 40, 30},
                          Expect{"dialog-screen.bmp", 70, 62}}) {
    Bitmap b = LoadBitmap(e.name);
    EXPECT_EQ(b.width, e.w) << e.name;
    EXPECT_EQ(b.height, e.h) << e.name;
    EXPECT_EQ(b.bits, 24) << e.name;
  }
  EXPECT_NE(LoadBitmap("dialog-wf1.bmp").rgb, LoadBitmap("dialog-wf2.bmp").rgb);
}

// Loops: long enough, unclipped, and joined at the loop point without a click or a bump.
TEST(AssetSounds, LoopsAreSeamlessAndUnclipped) {
  struct Loop {
    const char* name;
    double min_seconds;
  };
  for (const Loop& l : {Loop{"nccf01.wav", 15}, Loop{"jungle.wav", 15}, Loop{"birds1.wav", 15}}) {
    Wave w = LoadWave(l.name);
    ASSERT_EQ(w.rate, 44100) << l.name;
    ASSERT_EQ(w.channels, 2) << l.name;
    EXPECT_GE(w.seconds(), l.min_seconds) << l.name;
    for (const auto& ch : w.samples) {
      ASSERT_GT(ch.size(), 44100u) << l.name;
      size_t n = ch.size();
      int peak = 0, max_step = 0;
      for (size_t i = 0; i < n; ++i) {
        peak = std::max(peak, std::abs(int(ch[i])));
        if (i > 0) max_step = std::max(max_step, std::abs(ch[i] - ch[i - 1]));
      }
      EXPECT_LT(peak, 32000) << l.name << " clips";
      EXPECT_LE(std::abs(ch[0] - ch[n - 1]), max_step) << l.name << " clicks at the loop point";
      // The 100 ms across the loop point is no louder or quieter than the loop itself gets.
      const size_t window = 4410;
      double lo = 1e9, hi = 0;
      for (size_t at = 0; at + window <= n; at += window / 2) {
        double r = ChannelRms(ch, at, window);
        lo = std::min(lo, r), hi = std::max(hi, r);
      }
      double seam = ChannelRms(ch, n - window / 2, window);
      EXPECT_GE(seam, lo * 0.9) << l.name;
      EXPECT_LE(seam, hi * 1.1) << l.name;
    }
  }
}

TEST(AssetSounds, BirdSongHasSilenceBetweenCalls) {
  Wave w = LoadWave("birds1.wav");
  ASSERT_FALSE(w.samples.empty());
  const auto& ch = w.samples[0];
  const size_t window = 13230;  // 300 ms
  double loudest = 0, quietest = 1e9;
  int quiet_windows = 0;
  for (size_t at = 0; at + window <= ch.size(); at += window) {
    double r = ChannelRms(ch, at, window);
    loudest = std::max(loudest, r), quietest = std::min(quietest, r);
  }
  for (size_t at = 0; at + window <= ch.size(); at += window)
    if (ChannelRms(ch, at, window) < loudest / 100) ++quiet_windows;  // 40 dB down
  EXPECT_GE(quiet_windows, 5);
  EXPECT_GT(loudest, 0.05);
}

TEST(AssetSounds, EagleIsOneShortCallFromSilenceToSilence) {
  Wave w = LoadWave("eagle.wav");
  ASSERT_FALSE(w.samples.empty());
  EXPECT_EQ(w.rate, 44100);
  EXPECT_GE(w.seconds(), 1.0);
  EXPECT_LE(w.seconds(), 3.0);
  for (const auto& ch : w.samples) {
    int peak = 0;
    for (int16_t s : ch) peak = std::max(peak, std::abs(int(s)));
    EXPECT_LT(peak, 32000);
    EXPECT_GT(peak, 16000) << "too quiet to be heard over the loops";
    EXPECT_LT(std::abs(ch.front()), 300);
    EXPECT_LT(std::abs(ch.back()), 300);
  }
}

// The loudness of each file, so that the first-run volumes give a sensible mix: water a steady
// bed, bird song and the eagle above it, jungle beneath.
TEST(AssetSounds, LevelsSitTogether) {
  auto db = [](const Wave& w) {
    double sum = 0;
    for (const auto& ch : w.samples) sum += std::pow(ChannelRms(ch, 0, ch.size()), 2);
    return 10 * std::log10(sum / double(w.samples.size()));
  };
  double water = db(LoadWave("nccf01.wav")) - 9.11, jungle = db(LoadWave("jungle.wav")) - 14.92,
         birds = db(LoadWave("birds1.wav")) - 1.93;
  EXPECT_GT(water, -32);
  EXPECT_LT(water, -20);
  EXPECT_LT(jungle, water);
  EXPECT_GT(jungle, water - 10);
  EXPECT_GT(birds, water - 6);
}

TEST(AssetGenerator, TwoRunsWriteIdenticalFiles) {
  fs::path base = fs::temp_directory_path() / ("larkspill_assets_" + std::to_string(::getpid()));
  fs::remove_all(base);
  fs::path one = base / "one", two = base / "two";
  for (const fs::path& out : {one, two}) {
    std::string command = std::string("\"") + LARKSPILL_ASSETGEN + "\" \"" + out.string() + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }
  size_t compared = 0;
  for (const auto& entry : fs::directory_iterator(one)) {
    fs::path other = two / entry.path().filename();
    ASSERT_TRUE(fs::exists(other)) << other;
    EXPECT_EQ(Bytes(entry.path()), Bytes(other)) << entry.path().filename();
    // And the same as the build's own folder.
    EXPECT_EQ(Bytes(entry.path()), Bytes(kAssets / entry.path().filename()))
        << entry.path().filename();
    ++compared;
  }
  EXPECT_EQ(compared, 47u);
  fs::remove_all(base);
}

TEST(AssetGenerator, UnwritableFolderIsNamedInTheError) {
  fs::path base = fs::temp_directory_path() / ("larkspill_blocked_" + std::to_string(::getpid()));
  fs::remove_all(base);
  fs::create_directories(base);
  std::ofstream(base / "file") << "in the way";
  fs::path target = base / "file" / "assets";
  fs::path log = base / "stderr.txt";
  std::string command = std::string("\"") + LARKSPILL_ASSETGEN + "\" \"" + target.string() +
                        "\" 2>\"" + log.string() + "\"";
  int status = std::system(command.c_str());
  EXPECT_NE(status, 0);
  std::ifstream in(log);
  std::string message((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(message.find(target.string()), std::string::npos) << message;
  fs::remove_all(base);
}

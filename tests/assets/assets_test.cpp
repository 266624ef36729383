// The generated assets as the scene, the sound schedule and the dialog load them; reproducible.
#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "scene/scene_layout.h"

namespace fs = std::filesystem;

namespace {

const fs::path kAssets = LARKSPILL_ASSET_DIR;
using Rgb = std::array<uint8_t, 3>;

struct Bitmap {
  int width = 0, height = 0, bits = 0;
  std::vector<Rgb> rgb;  // every pixel, rows top to bottom
  const Rgb& at(int x, int y) const { return rgb[size_t(y) * width + x]; }
};

// A bitmap of the asset folder as the saver's display reads it.
Bitmap LoadBitmap(const std::string& name, const fs::path& folder = kAssets) {
  SDL_Surface* file = SDL_LoadBMP((folder / name).c_str());
  EXPECT_NE(file, nullptr) << name << ": " << SDL_GetError();
  if (file == nullptr) return {};
  Bitmap out{file->w, file->h, file->format->BitsPerPixel, {}};
  SDL_Surface* rgb = SDL_ConvertSurfaceFormat(file, SDL_PIXELFORMAT_RGB24, 0);
  for (int y = 0; y < rgb->h; ++y) {
    const auto* row =
        reinterpret_cast<const Rgb*>(static_cast<uint8_t*>(rgb->pixels) + y * rgb->pitch);
    out.rgb.insert(out.rgb.end(), row, row + rgb->w);
  }
  SDL_FreeSurface(rgb);
  SDL_FreeSurface(file);
  return out;
}

struct Wave {
  int channels = 0, rate = 0;
  std::vector<std::vector<int16_t>> samples;  // per channel
  double seconds() const { return samples.empty() ? 0 : double(samples[0].size()) / rate; }
};

// A sound of the asset folder, which must be 16-bit PCM.
Wave LoadWave(const std::string& name) {
  SDL_AudioSpec format;
  Uint8* data = nullptr;
  Uint32 length = 0;
  if (SDL_LoadWAV((kAssets / name).c_str(), &format, &data, &length) == nullptr ||
      format.format != AUDIO_S16LSB) {
    ADD_FAILURE() << name << ": not a 16-bit PCM wave file " << SDL_GetError();
    return {};
  }
  Wave out{format.channels, format.freq, std::vector<std::vector<int16_t>>(format.channels)};
  const auto* samples = reinterpret_cast<const int16_t*>(data);
  for (size_t i = 0; i < length / 2; ++i) out.samples[i % format.channels].push_back(samples[i]);
  SDL_FreeWAV(data);
  return out;
}

auto IsKey = [](const Rgb& c) { return c == Rgb{255, 0, 255}; };
// What the 16-bit display would key out: the key colour after 5-6-5 quantisation.
auto LooksLikeKey = [](const Rgb& c) {
  return c[0] >> 3 == 31 && c[1] >> 2 == 0 && c[2] >> 3 == 31;
};
// A pink or purple blend of a creature's edge with the key colour.
auto LooksLikeKeyFringe = [](const Rgb& c) {
  return c[0] > 110 && c[2] > 110 && c[1] + 60 < std::min(c[0], c[2]);
};

namespace layout = larkspill::scene_layout;

std::vector<std::string> Names(std::span<const char* const> files) {
  return {files.begin(), files.end()};
}

// The creatures' frames; their sizes are what the motion rules allow.
const std::vector<std::string> kCreatures[] = {Names(layout::kFirstKindButterfly),
                                               Names(layout::kSecondKindButterfly),
                                               Names(layout::kBird), Names(layout::kFlock)};

double ChannelRms(const std::vector<int16_t>& s, size_t from, size_t count) {
  double sum = 0;
  for (size_t i = 0; i < count; ++i) sum += std::pow(s[(from + i) % s.size()] / 32768.0, 2);
  return std::sqrt(sum / double(count));
}

}  // namespace

TEST(AssetFiles, EachPictureAndSoundHasItsSizeAndFormat) {
  struct Expect {
    std::vector<std::string> files;  // all of one size
    int min_w, max_w, min_h, max_h, bits;
  };
  const Expect pictures[] = {
      {{layout::kBackground1, layout::kBackground2}, 1440, 1440, 600, 600, 24},
      {kCreatures[0], 50, 75, 1, 75, 24},
      {kCreatures[1], 40, 75, 1, 50, 24},
      {kCreatures[2], 60, 75, 1, 110, 24},
      {kCreatures[3], 90, 118, 1, 100, 24},
      {Names(layout::kWater1.files), 41, 800, 1, 600, 24},
      {Names(layout::kWater2.files), 41, 800, 1, 600, 24},
      {Names(layout::kWater2Small.files), 41, 800, 1, 600, 24},
      {{"preview.bmp"}, 153, 153, 115, 115, 8},
      {{"dialog-wf1.bmp", "dialog-wf2.bmp"}, 40, 40, 30, 30, 24},
      {{"dialog-screen.bmp"}, 70, 70, 62, 62, 24},
      {{"dialog-wf1@2x.bmp", "dialog-wf2@2x.bmp"}, 80, 80, 60, 60, 24},
      {{"dialog-screen@2x.bmp"}, 140, 140, 124, 124, 24},
  };
  for (const Expect& e : pictures) {
    const Bitmap first = LoadBitmap(e.files[0]);
    EXPECT_TRUE(first.bits == e.bits && first.width >= e.min_w && first.width <= e.max_w &&
                first.height >= e.min_h && first.height <= e.max_h)
        << e.files[0] << " " << first.width << "x" << first.height << "x" << first.bits;
    for (const std::string& name : e.files) {
      const Bitmap b = LoadBitmap(name);
      EXPECT_TRUE(b.width == first.width && b.height == first.height) << name;
    }
  }
  const Wave eagle = LoadWave("eagle.wav");
  EXPECT_TRUE(eagle.rate == 44100 && eagle.channels == 2 && eagle.seconds() >= 1 &&
              eagle.seconds() <= 3)
      << eagle.seconds();
  // The preview is a still of the first scene without its wide margins, rows the right way up:
  // compare each quarter.
  const Bitmap p = LoadBitmap("preview.bmp"), bg = LoadBitmap(layout::kBackground1);
  ASSERT_FALSE(p.rgb.empty() || bg.rgb.empty());
  auto mean = [](const Bitmap& b, int x0, int q, size_t c) {  // of channel c over quarter q
    const int w = (b.width - 2 * x0) / 2, h = b.height / 2;
    double sum = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) sum += b.at(x0 + q % 2 * w + x, q / 2 * h + y)[c];
    return sum / (w * h);
  };
  for (int q = 0; q < 4; ++q)
    for (size_t c = 0; c < 3; ++c)
      EXPECT_NEAR(mean(p, 0, q, c), mean(bg, layout::kWideMargin, q, c), 12)
          << "quarter " << q << " channel " << c;
}

// The wide backgrounds show the 4:3 scene exactly as before in their middle, and forest, not a
// flat or black band, in every strip of the margins.
TEST(AssetFiles, WideBackgroundsKeepTheSceneAndFillTheirMargins) {
  const struct {
    const char* file;
    uint64_t scene_hash;  // FNV-1a of the scene's pixels; a deliberate change to a scene updates it
  } backgrounds[] = {{layout::kBackground1, 1444764870568463952u},
                     {layout::kBackground2, 5991622341211222057u}};
  for (const auto& b : backgrounds) {
    const Bitmap bg = LoadBitmap(b.file);
    uint64_t hash = 14695981039346656037ull;
    for (int y = 0; y < bg.height; ++y)
      for (int x = layout::kWideMargin; x < layout::kWideMargin + layout::kWidth; ++x)
        for (uint8_t c : bg.at(x, y)) hash = (hash ^ c) * 1099511628211ull;
    EXPECT_EQ(hash, b.scene_hash) << b.file;
    for (int x0 = 0; x0 < bg.width; x0 += 40) {
      if (x0 >= layout::kWideMargin && x0 < layout::kWideMargin + layout::kWidth) continue;
      double sum = 0, squares = 0;
      for (int y = 0; y < bg.height; ++y)
        for (int x = x0; x < x0 + 40; ++x) {
          const Rgb& p = bg.at(x, y);
          const double luma = (2 * p[0] + 5 * p[1] + p[2]) / 8.0;
          sum += luma, squares += luma * luma;
        }
      const double n = 40.0 * bg.height, m = sum / n, sd = std::sqrt(squares / n - m * m);
      EXPECT_TRUE(m > 15 && sd > 6)
          << b.file << " columns " << x0 << "+40: mean " << m << ", deviation " << sd;
    }
  }
}

// The creatures of a folder sit on the key colour with hard edges.
void CheckCreatures(const fs::path& folder) {
  for (const auto& names : kCreatures) {
    std::vector<std::vector<Rgb>> frames;
    size_t all_body = 0, light = 0, dark = 0;
    for (const std::string& name : names) {
      const Bitmap b = LoadBitmap(name, folder);
      size_t body = 0, at_edge = 0, keyed_out = 0, fringe = 0;
      for (int y = 0; y < b.height; ++y)
        for (int x = 0; x < b.width; ++x) {
          const Rgb& p = b.at(x, y);
          if (IsKey(p)) continue;
          ++body;
          const int luma = (2 * p[0] + 5 * p[1] + p[2]) / 8;
          light += luma >= 150, dark += luma <= 60;
          at_edge += x == 0 || y == 0 || x == b.width - 1 || y == b.height - 1;
          keyed_out += LooksLikeKey(p);
          bool beside_key =
              (x > 0 && IsKey(b.at(x - 1, y))) || (x + 1 < b.width && IsKey(b.at(x + 1, y))) ||
              (y > 0 && IsKey(b.at(x, y - 1))) || (y + 1 < b.height && IsKey(b.at(x, y + 1)));
          fringe += beside_key && LooksLikeKeyFringe(p);
        }
      EXPECT_EQ(at_edge + keyed_out + fringe, 0u)
          << name << ": pixels cut off at its edge " << at_edge << ", of a colour the display "
          << "would key out " << keyed_out << ", in a pink fringe " << fringe;
      EXPECT_GT(body, b.rgb.size() / 25) << name << " is barely there";
      all_body += body;
      frames.push_back(b.rgb);
    }
    // The flock crosses bright sky and dark leaves: it needs light parts and dark ones.
    EXPECT_TRUE(&names != &kCreatures[3] || (light > all_body / 8 && dark > all_body / 8))
        << "the flock's light " << light << " and dark " << dark << " of " << all_body;
    // A wing beat: every frame differs from the next, and the last from the first.
    for (size_t i = 0; i < frames.size(); ++i)
      EXPECT_NE(frames[i], frames[(i + 1) % frames.size()]) << names[i];
  }
}

TEST(AssetFiles, CreaturesSitOnTheKeyColourWithHardEdges) {
  CheckCreatures(kAssets);
}

// A length on the scene in the pixels of pictures painted at a scale.
int Scaled(double length, double scale) {
  return int(std::lround(length * scale));
}

// The water frames of a folder painted at `scale` line up with their background where the
// display puts them: the background at Scaled(covered.left), the sprite at Scaled(x).
void CheckWater(const fs::path& folder, double scale, const layout::SceneArea& covered = {}) {
  struct Water {
    std::vector<std::string> files;
    std::string background;
    int x, y;
    bool keyed;
  };
  auto row = [](const layout::Water& w, const char* background) {
    return Water{Names(w.files), background, w.place.x, w.place.y, w.keyed};
  };
  const Water waters[] = {row(layout::kWater1, layout::kBackground1),
                          row(layout::kWater2, layout::kBackground2),
                          row(layout::kWater2Small, layout::kBackground2)};
  for (const Water& w : waters) {
    const Bitmap bg = LoadBitmap(w.background, folder);
    // The sprite's place on the wide background.
    const int bx = Scaled(-covered.left, scale) + Scaled(w.x, scale),
              by = Scaled(-covered.top, scale) + Scaled(w.y, scale);
    size_t moving = 0, area = 0;
    for (size_t f = 0; f < w.files.size(); ++f) {
      const Bitmap fr = LoadBitmap(w.files[f], folder);
      ASSERT_TRUE(bx + fr.width <= bg.width && by + fr.height <= bg.height)
          << w.files[f] << " runs off the screen";
      area = size_t(fr.width) * fr.height;
      for (int y = 0; y < fr.height; ++y)
        for (int x = 0; x < fr.width; ++x) {
          const Rgb& p = fr.at(x, y);
          const Rgb& under = bg.at(bx + x, by + y);
          if (w.keyed && IsKey(p)) continue;
          ASSERT_FALSE(LooksLikeKey(p) || LooksLikeKeyFringe(p))
              << w.files[f] << " at " << x << "," << y;
          // The first frame is the background itself; the others change only inside, never at
          // the rectangle's edge where a seam would show.
          const bool edge = x < 2 || y < 2 || x >= fr.width - 2 || y >= fr.height - 2;
          ASSERT_TRUE((f != 0 && !edge) || p == under)
              << w.files[f] << " differs from " << w.background << " at " << x << "," << y;
          moving += p != under;
        }
    }
    EXPECT_GT(moving, area / 10) << w.files[0] << " barely moves";
  }
}

TEST(AssetFiles, WaterFramesLineUpWithTheirBackground) {
  CheckWater(kAssets, 1);
}

// The pictures the saver shows, painted for a larger screen: the same names, each scale times
// its size, sprites in place and hard-edged; every file replaced whole, and a bad scale refused.
TEST(AssetGenerator, PaintsTheShownPicturesAtAScale) {
  const fs::path dir =
      fs::temp_directory_path() / ("larkspill_scaled_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  auto run = [&dir](const std::string& scale) {
    const std::string command = "\"" LARKSPILL_ASSETGEN "\" --scale '" + scale + "' " +
                                dir.string() + " 2>" + dir.string() + ".err";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  for (const char* bad : {"0.9", "8.5", "2x", "", "nan", "-3"}) {
    EXPECT_EQ(run(bad), 2) << bad;
    std::ifstream err(dir.string() + ".err");
    const std::string said(std::istreambuf_iterator<char>(err), {});
    EXPECT_NE(said.find("\"" + std::string(bad) + "\""), std::string::npos) << said;
    EXPECT_FALSE(fs::exists(dir)) << bad;
  }
  // An old picture held by another name (as a reader holds it open) keeps its bytes.
  fs::create_directories(dir);
  std::ofstream(dir / "Bird1.BMP") << "old";
  fs::create_hard_link(dir / "Bird1.BMP", dir / "held");
  // A scale at which the margin and the sprites' places round apart.
  const double scale = 1.37;
  ASSERT_EQ(run("1.37"), 0);
  std::ifstream held(dir / "held");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(held), {}), "old");
  fs::remove(dir / "held");
  size_t count = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename();
    const Bitmap big = LoadBitmap(name, dir), small = LoadBitmap(name);
    EXPECT_TRUE(big.width == Scaled(small.width, scale) &&
                big.height == Scaled(small.height, scale) && big.bits == 24)
        << name << " " << big.width << "x" << big.height;
    ++count;
  }
  EXPECT_EQ(count, 39u);  // every picture but the dialog's
  CheckCreatures(dir);
  CheckWater(dir, scale);
  fs::remove_all(dir);
  fs::remove(dir.string() + ".err");
}

// Backgrounds painted for a desk of monitors cover its whole area: forest in every strip to the
// edges, sky above the scene and undergrowth below it, never black, and never the same strip of
// trees twice; the water still lines up. An area that does not hold the wide backgrounds, or is
// no area, is refused.
TEST(AssetGenerator, PaintsBackgroundsAsLargeAsADesk) {
  const fs::path dir = fs::temp_directory_path() / ("larkspill_desk_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  auto run = [&dir](const std::string& area) {
    const std::string command = "\"" LARKSPILL_ASSETGEN "\" --scale 1 --area '" + area + "' " +
                                dir.string() + " 2>" + dir.string() + ".err";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  for (const char* bad : {"-320,0,1440", "-300,0,1440,600", "-320,0,1440,599", "-320,0,1e3,600",
                          "-320,0,1440,600,", "-40000,0,80000,600", "-15000,0,30000,1000",
                          "a,b,c,d"}) {
    EXPECT_EQ(run(bad), 2) << bad;
    std::ifstream err(dir.string() + ".err");
    const std::string said(std::istreambuf_iterator<char>(err), {});
    EXPECT_NE(said.find("\"" + std::string(bad) + "\""), std::string::npos) << said;
    EXPECT_FALSE(fs::exists(dir)) << bad;
  }
  const layout::SceneArea area{-1000, -120, 2650.5, 900};
  ASSERT_EQ(run("-1000,-120,2650.5,900"), 0);
  for (const char* file : {layout::kBackground1, layout::kBackground2}) {
    const Bitmap bg = LoadBitmap(file, dir);
    ASSERT_EQ(std::pair(bg.width, bg.height), std::pair(2651, 900)) << file;
    // Mean and spread of brightness over a block: forest or sky, not a flat or black band.
    auto looks_painted = [&bg](int x0, int y0, int w, int h) {
      double sum = 0, squares = 0;
      for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x) {
          const Rgb& p = bg.at(x, y);
          const double luma = (2 * p[0] + 5 * p[1] + p[2]) / 8.0;
          sum += luma, squares += luma * luma;
        }
      const double n = double(w) * h, m = sum / n;
      return m > 15 && std::sqrt(squares / n - m * m) > 6;
    };
    std::set<std::vector<uint8_t>> strips;
    for (int x0 = 0; x0 + 40 <= bg.width; x0 += 40) {
      for (int y0 : {0, 120, 720})  // above the scene, on it, below it
        EXPECT_TRUE(looks_painted(x0, y0, 40, 180)) << file << " at " << x0 << "," << y0;
      std::vector<uint8_t> strip;
      for (int y = 0; y < bg.height; ++y)
        for (int x = x0; x < x0 + 40; ++x) strip.insert(strip.end(), bg.at(x, y).begin(), bg.at(x, y).end());
      EXPECT_TRUE(strips.insert(strip).second) << file << " repeats at column " << x0;
    }
  }
  CheckWater(dir, 1, area);
  fs::remove_all(dir);
  fs::remove(dir.string() + ".err");
}

// Loops: of the mixer's format, long, unclipped, joined without a click or a bump.
TEST(AssetFiles, LoopsAreLongSeamlessAndUnclipped) {
  for (const char* name : {"nccf01.wav", "jungle.wav", "birds1.wav"}) {
    const Wave w = LoadWave(name);
    ASSERT_TRUE(w.rate == 44100 && w.channels == 2 && w.seconds() >= 15) << name << w.seconds();
    for (const auto& ch : w.samples) {
      const size_t n = ch.size(), window = 4410;
      int peak = 0, max_step = 0;
      for (size_t i = 0; i < n; ++i) {
        peak = std::max(peak, std::abs(int(ch[i])));
        if (i > 0) max_step = std::max(max_step, std::abs(ch[i] - ch[i - 1]));
      }
      EXPECT_LT(peak, 32000) << name << " clips";
      EXPECT_LE(std::abs(ch[0] - ch[n - 1]), max_step) << name << " clicks at the loop point";
      // The 100 ms across the loop point is no louder or quieter than the loop itself gets.
      double lo = 1e9, hi = 0;
      for (size_t at = 0; at + window <= n; at += window / 2) {
        lo = std::min(lo, ChannelRms(ch, at, window));
        hi = std::max(hi, ChannelRms(ch, at, window));
      }
      const double seam = ChannelRms(ch, n - window / 2, window);
      EXPECT_TRUE(seam >= lo * 0.9 && seam <= hi * 1.1) << name << " bumps at the loop point";
    }
  }
}

TEST(AssetGenerator, TwoRunsWriteIdenticalFiles) {
  const std::string base =
      fs::temp_directory_path() / ("larkspill_assets_" + std::to_string(::getpid()));
  fs::remove_all(base);
  // Both runs write the same 50 files, and the build's folder (which adds the help pages) has them.
  for (const char* run : {"one", "two"})
    ASSERT_EQ(std::system(("\"" LARKSPILL_ASSETGEN "\" " + base + "/" + run).c_str()), 0) << run;
  for (const std::string& command :
       {"diff -r " + base + "/one " + base + "/two",
        "diff -r -x '*.htm' " + base + "/one '" + kAssets.string() + "'"})
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
  EXPECT_EQ(std::distance(fs::directory_iterator(base + "/one"), {}), 50);
  fs::remove_all(base);
}

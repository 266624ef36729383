#include "waterfall_scene.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "foliage.h"
#include "noise.h"

namespace larkspill::assets {
namespace {

constexpr float kPi = 3.14159265f;

// The falling water's texture moves this far (in the fall's own vertical units) per frame, and
// repeats after kWaterFrames such steps, so frame 3 leads back into frame 1.
constexpr float kFallStep = 12.0f;
constexpr float kFallCell = 9.0f;
constexpr int kFallPeriodCells = 4;  // kFallCell * kFallPeriodCells == kFallStep * kWaterFrames

// The fall's vertical coordinate: it grows ever more slowly further down, so the texture moves
// and stretches faster as the water accelerates.
float FallV(float y, float top_y) {
  return 17.4f * std::sqrt(std::max(0.0f, y - top_y + 76));
}

struct Renderer {
  const SceneLayout& layout;
  double scale;
  uint32_t seed;
  scene_layout::SceneArea area;  // what the background covers
  double margin_x, margin_y;     // the scene's origin from the background's corner
  int first_column;              // the scene column cliff_top starts at
  std::vector<float> cliff_top;      // at every scene column of the area, for the plants
  std::vector<float> cliff_columns;  // at the left edge of every pixel column of the picture
  Layer foliage;

  Renderer(const SceneLayout& l, double s, const scene_layout::SceneArea& a)
      : layout(l),
        scale(s),
        seed(l.seed * 1000003u),
        area(a),
        margin_x(-a.left),
        margin_y(-a.top),
        first_column(int(std::floor(a.left))) {
    for (int x = first_column; x < int(std::ceil(a.left + a.width)); ++x)
      cliff_top.push_back(CliffTop(float(x)));
    for (int c = 0; c < Scaled(area.width, scale); ++c)
      cliff_columns.push_back(CliffTop(float(c / scale - margin_x)));
    foliage = PaintFoliage(l, cliff_top, first_column, scale, area);
  }

  // The height of the cliff's upper edge at x.
  float CliffTop(float x) const {
    float y = layout.cliff_top + 40 * (Fbm(x / 110.0f, 0.5f, seed + 11, 4) - 0.5f) +
              6 * (ValueNoise(x / 9.0f, 3.5f, seed + 12) - 0.5f);
    // The cliff dips to each fall's lip, where the river pours over.
    for (const Fall& f : layout.falls) {
      float mid = (f.top_left + f.top_right) / 2, half = (f.top_right - f.top_left) / 2;
      float k = 1 - SmoothStep(half, half + 45, std::abs(x - mid));
      if (f.top_y < layout.cliff_top + 60) y = Lerp(y, f.top_y + 1, k);
    }
    return y;
  }

  // The picture's pixel column or row holding scene x or y, kept on the picture.
  size_t Column(float x, int width) const {
    return size_t(std::clamp(std::floor((double(x) + margin_x) * scale), 0.0, width - 1.0));
  }
  size_t Row(float y) const {
    return size_t(std::clamp(std::floor((double(y) + margin_y) * scale), 0.0, foliage.height - 1.0));
  }
  float TopAt(float x) const { return cliff_columns[Column(x, int(cliff_columns.size()))]; }

  // How strongly the animation shows at (x, y): 1 inside a water sprite's rectangle, fading to 0
  // at its border, so the animated frames meet the still background without a seam.
  static float RectWeight(const WaterSprite& s, float x, float y) {
    float d = std::min(std::min(x - s.x, s.x + s.width - x), std::min(y - s.y, s.y + s.height - y));
    return SmoothStep(2.5f, 10.0f, d);
  }
  float AnimWeight(float x, float y) const {
    float w = 0;
    for (const WaterSprite& s : layout.water) w = std::max(w, RectWeight(s, x, y));
    return w;
  }
  // The animation weight for what a fall stirs up: only inside the sprite holding its foot, so
  // its ripples do not flicker in patches inside another fall's sprite.
  float FootWeight(const Fall& f, float x, float y) const {
    float cx = (f.bottom_left + f.bottom_right) / 2;
    for (const WaterSprite& s : layout.water)
      if (cx > s.x && cx < s.x + s.width && f.bottom_y > s.y && f.bottom_y < s.y + s.height)
        return RectWeight(s, x, y);
    return 0;
  }

  Rgb Sky(float x, float y) const {
    float t = Clamp01(y / 320.0f);
    Rgb c = Mix(Rgb{0.46f, 0.64f, 0.86f}, Rgb{0.84f, 0.89f, 0.88f}, std::pow(t, 0.8f));
    float cloud = Fbm(x / 170.0f, y / 55.0f, seed + 1, 5);
    float cover = SmoothStep(0.48f, 0.72f, cloud);
    Rgb cloud_c = Mix(Rgb{0.98f, 0.97f, 0.94f}, Rgb{0.74f, 0.77f, 0.80f},
                      Clamp01((Fbm(x / 60.0f, y / 25.0f + 3, seed + 2, 3) - 0.3f) * 1.5f));
    c = Mix(c, cloud_c, cover * 0.85f);
    float d = std::hypot(x - layout.sun_x, y - layout.sun_y);
    c = Add(c, Scale(Rgb{1.0f, 0.93f, 0.75f}, 0.45f * std::exp(-d / 190.0f)));
    return c;
  }

  // Distant forested hills between the sky and the cliff, fading into the haze.
  Rgb Hills(float x, float y, Rgb sky) const {
    float near_y = layout.cliff_top - 18 + 24 * (Fbm(x / 90.0f, 7.5f, seed + 21, 3) - 0.5f) +
                   5 * ValueNoise(x / 7.0f, 1.5f, seed + 22);
    float far_y = layout.cliff_top - 55 + 36 * (Fbm(x / 160.0f, 2.5f, seed + 23, 3) - 0.5f) +
                  4 * ValueNoise(x / 6.0f, 4.5f, seed + 24);
    float crowns = Fbm(x / 9.0f, y / 7.0f, seed + 25, 3);
    if (y > near_y) {
      Rgb c = Mix(Rgb{0.13f, 0.27f, 0.15f}, Rgb{0.30f, 0.45f, 0.22f}, crowns);
      return Mix(c, sky, 0.28f);
    }
    if (y > far_y) {
      Rgb c = Mix(Rgb{0.22f, 0.36f, 0.30f}, Rgb{0.36f, 0.50f, 0.38f}, crowns);
      return Mix(c, sky, 0.55f);
    }
    return sky;
  }

  // The rock breaks into blocks: the nearest and second-nearest of a jittered grid of points,
  // wider than tall like bedded stone. Returns the block's hash and the distance to its border.
  struct Block {
    float border;
    uint32_t id;
  };
  Block RockBlock(float x, float y) const {
    const float cw = 150, ch = 36;
    float wx = x + 30 * (Fbm(x / 50.0f, y / 50.0f, seed + 111, 3) - 0.5f);
    float wy = y + 16 * (Fbm(x / 50.0f, y / 50.0f, seed + 112, 3) - 0.5f);
    int cx = int(std::floor(wx / cw)), cy = int(std::floor(wy / ch));
    float d1 = 1e9f, d2 = 1e9f;
    uint32_t id = 0;
    for (int j = -1; j <= 1; ++j)
      for (int i = -1; i <= 1; ++i) {
        int gx = cx + i, gy = cy + j;
        float px = (gx + 0.1f + 0.8f * Hash01(gx, gy, seed + 113)) * cw;
        float py = (gy + 0.1f + 0.8f * Hash01(gx, gy, seed + 114)) * ch;
        float d = std::hypot((wx - px) / cw, (wy - py) / ch);
        if (d < d1) {
          d2 = d1, d1 = d, id = uint32_t(gx * 7919 + gy * 104729);
        } else if (d < d2) {
          d2 = d;
        }
      }
    return {(d2 - d1) * 0.5f * ch, id};
  }

  // The rock face: big weathered bulges, broken vertical joints, stepped bedding ledges and grain.
  float Joints(float x, float y) const {
    float j = std::abs(2 * Fbm(x / 34.0f, y / 150.0f, seed + 32, 3) - 1);
    float broken = SmoothStep(0.45f, 0.6f, Fbm(x / 60.0f, y / 50.0f, seed + 39, 2));
    return 1 - (1 - SmoothStep(0.0f, 0.18f, j)) * broken;
  }

  float RockHeight(float x, float y) const {
    float strata = y / 46.0f + 2.0f * Fbm(x / 170.0f, y / 170.0f, seed + 31, 3);
    float step = std::floor(strata) + SmoothStep(0.3f, 0.7f, strata - std::floor(strata));
    float bulges = Fbm(x / 130.0f, y / 80.0f, seed + 33, 4);
    float grain = Fbm(x / 11.0f, y / 9.0f, seed + 38, 3);
    return 0.45f * bulges + 0.14f * Joints(x, y) + 0.12f * step + 0.2f * grain;
  }

  // Horizontal distance to the nearest fall at this height, for wet rock beside the water.
  float FallDistance(float x, float y) const {
    float best = 1e9f;
    for (const Fall& f : layout.falls) {
      if (y < f.top_y - 10 || y > f.bottom_y + 20) continue;
      float t = Clamp01((y - f.top_y) / (f.bottom_y - f.top_y));
      float l = Lerp(f.top_left, f.bottom_left, std::pow(t, 0.7f));
      float r = Lerp(f.top_right, f.bottom_right, std::pow(t, 0.7f));
      best = std::min(best, std::max(0.0f, std::max(l - x, x - r)));
    }
    return best;
  }

  Rgb Rock(float x, float y) const {
    float h = RockHeight(x, y);
    float gx = RockHeight(x + 1, y) - h;
    float gy = RockHeight(x, y + 1) - h;
    const float bump = 40;
    float nx = -gx * bump, ny = -gy * bump, nz = 1;
    float len = std::sqrt(nx * nx + ny * ny + nz * nz);
    nx /= len, ny /= len, nz /= len;
    // Each block leans its own way, so neighbouring faces catch the light differently.
    Block block = RockBlock(x, y);
    float tilt_x = (Hash01(int32_t(block.id), 1, seed + 115) - 0.5f) * 0.7f;
    float tilt_y = (Hash01(int32_t(block.id), 2, seed + 115) - 0.5f) * 0.6f;
    // Faces round off towards the block's edges.
    float round = 1 - SmoothStep(0.0f, 5.0f, block.border);
    nx += tilt_x, ny += tilt_y - 0.35f * round, nz -= 0.2f * round;
    len = std::sqrt(nx * nx + ny * ny + nz * nz);
    nx /= len, ny /= len, nz /= len;
    const float lx = -0.48f, ly = -0.62f, lz = 0.62f;
    float diffuse = std::max(0.0f, nx * lx + ny * ly + nz * lz);

    Rgb grey{0.50f, 0.48f, 0.45f}, brown{0.52f, 0.42f, 0.32f}, dark{0.30f, 0.30f, 0.31f};
    Rgb base = Mix(grey, brown, Fbm(x / 210.0f, y / 190.0f, seed + 34, 3));
    base = Mix(base, dark, 0.5f * Hash01(int32_t(block.id), 3, seed + 115));
    // Streaks of mineral stain running down the face.
    base = Scale(base, 0.85f + 0.3f * Fbm(x / 6.0f, y / 90.0f, seed + 116, 2));
    base = Scale(base, 0.78f + 0.42f * Fbm(x / 5.0f, y / 5.0f, seed + 35, 2));

    // Rock beside the falls is dark and wet.
    float wet = std::exp(-FallDistance(x, y) / 26.0f);
    base = Mix(base, Rgb{0.17f, 0.20f, 0.19f}, 0.65f * wet);

    // Moss on the upward faces and in damp patches.
    float moss_noise = Fbm(x / 38.0f, y / 26.0f, seed + 36, 4);
    float upness = Clamp01(-ny * 2.2f);
    float moss = SmoothStep(0.62f, 0.74f, moss_noise + 0.12f * upness + 0.10f * wet);
    Rgb moss_c = Mix(Rgb{0.14f, 0.26f, 0.09f}, Rgb{0.36f, 0.47f, 0.15f},
                     Fbm(x / 7.0f, y / 7.0f, seed + 37, 2));
    base = Mix(base, moss_c, moss * 0.9f);

    float crack = SmoothStep(0.2f, 1.4f, block.border);
    crack = Lerp(1.0f, crack, SmoothStep(0.4f, 0.6f, Fbm(x / 40.0f, y / 40.0f, seed + 117, 2)));
    float ao = (0.78f + 0.22f * Joints(x, y)) *
               (0.65f + 0.45f * Fbm(x / 130.0f, y / 80.0f, seed + 33, 3)) * (0.42f + 0.58f * crack);
    // Warm sunlight on the lit faces, cool sky light in the shade.
    Rgb light = Add(Rgb{0.30f, 0.33f, 0.38f}, Scale(Rgb{1.05f, 0.98f, 0.86f}, diffuse));
    Rgb c{base.r * light.r * ao, base.g * light.g * ao, base.b * light.b * ao};
    // Shade under the overhanging plants at the cliff's edge and into the forest at the sides.
    float below_top = y - TopAt(x);
    c = Scale(c, 0.62f + 0.38f * SmoothStep(0, 40, below_top));
    float side = std::min(x - layout.cliff_left, layout.cliff_right - x);
    c = Scale(c, 0.55f + 0.45f * SmoothStep(-40, 90, side));
    // Wet sheen on rock beside the water.
    c = Add(c, Scale(Rgb{0.7f, 0.8f, 0.8f}, 0.12f * wet * diffuse * diffuse));
    return c;
  }

  // The falling water's texture at an animation phase.
  float Streaks(const Fall& f, float u, float v, int phase) const {
    float width = f.bottom_right - f.bottom_left;
    float xs = u * width / 2.6f;
    // Each strand starts at its own height, so the texture's repeat does not line up across.
    float offset = 40 * ValueNoise(xs * 0.25f, 0.5f, seed + 44);
    float vv = (v + offset - phase * kFallStep) / kFallCell;
    float s = FbmPeriodicY(xs, vv, seed + 41, 3, kFallPeriodCells);
    float foam = FbmPeriodicY(xs * 0.5f + 9, vv * 2.0f, seed + 42, 2, kFallPeriodCells * 2);
    float broad = ValueNoise(xs * 0.12f, 2.5f, seed + 45);
    return Clamp01(0.15f + 1.5f * (s - 0.4f) + 0.35f * broad +
                   0.45f * SmoothStep(0.6f, 0.8f, foam));
  }

  // Paints the falls, and the river above each lip, over c.
  Rgb Falls(float x, float y, Rgb c, int phase, float weight) const {
    for (const Fall& f : layout.falls) {
      // The river running to the lip, seen flat and narrowing into the distance.
      float back = f.top_y - y;
      bool from_river = f.top_y < layout.cliff_top + 60;  // not a fall fed by a pool
      if (from_river && back > 0 && back < 16) {
        float inset = back * 1.6f + 3 * ValueNoise(x / 9.0f, y / 3.0f, seed + 47);
        float l = f.top_left + inset, r = f.top_right - inset;
        float cover =
            SmoothStep(l - 1, l + 1, x) * SmoothStep(r + 1, r - 1, x) * SmoothStep(16, 12, back);
        if (cover > 0) {
          float glint = Fbm(x / 30.0f, y / 1.5f, seed + 48, 2);
          Rgb river = Mix(Rgb{0.14f, 0.24f, 0.20f}, Rgb{0.62f, 0.74f, 0.76f}, glint * glint * 1.3f);
          // Further back the river runs into the shade of the trees.
          river = Mix(river, Rgb{0.10f, 0.17f, 0.11f}, SmoothStep(5, 15, back));
          c = Mix(c, river, cover);
        }
      }
      if (y < f.top_y - 3 || y > f.bottom_y + 12) continue;
      float t = Clamp01((y - f.top_y) / (f.bottom_y - f.top_y));
      float wl = (10 * (Fbm(y / 40.0f, 1.5f, seed + 43, 3) - 0.5f)) * (0.3f + t);
      float wr = (10 * (Fbm(y / 40.0f, 4.5f, seed + 46, 3) - 0.5f)) * (0.3f + t);
      float l = Lerp(f.top_left, f.bottom_left, std::pow(t, 0.7f)) + wl;
      float r = Lerp(f.top_right, f.bottom_right, std::pow(t, 0.7f)) + wr;
      float cover = SmoothStep(-1.0f, 1.0f, x - l) * SmoothStep(-1.0f, 1.0f, r - x) *
                    SmoothStep(f.top_y - 3, f.top_y + 1, y);
      if (cover <= 0) continue;
      float u = (x - l) / (r - l);
      float v = FallV(y, f.top_y);
      float val = Streaks(f, u, v, 0);
      if (phase != 0 && weight > 0) val = Lerp(val, Streaks(f, u, v, phase), weight);
      // More air and foam the further the water has fallen; lit from the left.
      val = Clamp01(val + 0.22f * t);
      float side = 0.82f + 0.28f * (1 - u);
      Rgb dark{0.30f, 0.40f, 0.43f}, light{0.93f, 0.96f, 0.99f};
      Rgb w = Mix(dark, light, val);
      w = Scale(w, side);
      // Glassy green water curving over the lip, with a bright rim.
      float lip = 1 - SmoothStep(3, 16, y - f.top_y);
      w = Mix(w, Rgb{0.42f, 0.58f, 0.52f}, lip * 0.6f);
      w = Add(w, Scale(Rgb{1, 1, 0.95f}, 0.5f * std::exp(-std::abs(y - f.top_y) / 2.0f)));
      // Thin strands at the edges let the dark rock show through.
      float edge = std::min(u, 1 - u);
      float solid = SmoothStep(0.0f, 0.14f, edge);
      float alpha = cover * Lerp(0.35f + 0.65f * val, 0.96f, solid);
      if (f.gap_width > 0 && t < f.gap_length) {
        float half = 0.5f * f.gap_width * (1 - t / f.gap_length);
        float from_gap = std::abs(x - Lerp(l, r, f.gap_u)) - half;
        alpha *= Lerp(0.3f * val, 1.0f, SmoothStep(-1.0f, 4.0f, from_gap));
      }
      c = Mix(c, w, alpha);
    }
    return c;
  }

  // The churning foam where a fall meets its pool; it boils from one frame to the next.
  float Boil(float x, float y, int phase) const {
    float rx = x * 0.8f + y * 0.6f, ry = -x * 0.6f + y * 0.8f;  // turned off the noise's grid
    float a = Fbm(rx / 5.0f, ry / 3.5f, seed + 51 + uint32_t(phase), 3);
    float b = Fbm(ry / 13.0f, rx / 9.0f, seed + 61 + uint32_t(phase), 2);
    return 0.55f * a + 0.45f * b;
  }

  Rgb Splash(float x, float y, Rgb c, int phase) const {
    for (const Fall& f : layout.falls) {
      float cx = (f.bottom_left + f.bottom_right) / 2;
      float rx = (f.bottom_right - f.bottom_left) * 0.72f, ry = 22;
      float dx = (x - cx) / rx, dy = (y - f.bottom_y - 4) / ry;
      float s = 1 - std::sqrt(dx * dx + dy * dy);
      if (s <= -0.2f) continue;
      float n = Boil(x, y, 0);
      float w = phase != 0 ? FootWeight(f, x, y) : 0;
      if (w > 0) n = Lerp(n, Boil(x, y, phase), w);
      float foam = SmoothStep(0.42f, 0.68f, n * 0.7f + 0.55f * s + 0.05f);
      Rgb fc = Mix(Rgb{0.70f, 0.78f, 0.80f}, Rgb{0.96f, 0.98f, 1.0f}, n);
      c = Mix(c, fc, foam * SmoothStep(-0.2f, 0.25f, s));
      // Droplets thrown up around the foot, different in every frame.
      float above = f.bottom_y + 4 - y;
      if (above > -6 && above < 45 && std::abs(dx) < 1.1f) {
        auto drops = [&](int ph) {
          return SmoothStep(0.70f, 0.82f,
                            ValueNoise(x / 1.6f, y / 1.6f, seed + 121 + uint32_t(ph)));
        };
        float d = drops(0);
        if (w > 0) d = Lerp(d, drops(phase), w);
        float spread = (1 - std::abs(dx) / 1.1f) * SmoothStep(45, 5, above);
        c = Mix(c, Rgb{0.95f, 0.97f, 1.0f}, 0.8f * d * spread);
      }
    }
    return c;
  }

  // Rings spreading over the pool from the foot of each fall.
  float Ripple(const Fall& f, float x, float y, int phase) const {
    float cx = (f.bottom_left + f.bottom_right) / 2;
    float rr = std::hypot((x - cx) * 0.5f, (y - f.bottom_y) * 2.2f);
    float wave = std::sin(2 * kPi * (rr / 15.0f - float(phase) / kWaterFrames));
    return wave * std::exp(-rr / 70.0f);
  }

  Rgb Pools(float x, float y, Rgb c, int phase, float weight) const {
    for (const Pool& p : layout.pools) {
      float dx = (x - p.cx) / p.rx, dy = (y - p.cy) / p.ry;
      float e = 1 - (dx * dx + dy * dy) - 0.34f * (Fbm(x / 48.0f, y / 16.0f, seed + 71, 4) - 0.5f);
      float half = p.ry * std::sqrt(std::max(0.0f, 1 - dx * dx));
      if (e <= -0.02f) {
        // The lit lip of stone holding the pool in front, and the shaded face under it.
        if (dy > 0 && std::abs(dx) < 1) {
          // Pixels below the shore, from how far outside the (ragged) ellipse this is.
          float below = -e * p.ry / (2 * std::max(dy, 0.35f));
          float lip = 6 + 4 * Fbm(x / 15.0f, 0.5f, seed + 75, 2);
          if (below < lip) {
            Rgb rim = Mix(Rgb{0.36f, 0.35f, 0.32f}, Rgb{0.24f, 0.36f, 0.13f},
                          SmoothStep(0.4f, 0.56f, Fbm(x / 12.0f, y / 6.0f, seed + 73, 3)));
            float lit = below < 2 ? 1.25f : 1.0f - 0.45f * below / lip;
            rim = Scale(rim, (0.75f + 0.5f * Fbm(x / 4.0f, y / 3.0f, seed + 74, 2)) * lit);
            c = Mix(c, rim, 0.9f * SmoothStep(1.0f, 0.8f, std::abs(dx)));
          } else {
            c = Scale(c, 0.45f + 0.55f * SmoothStep(lip, lip + 30, below));
          }
        }
        continue;
      }
      float alpha = SmoothStep(-0.02f, 0.02f, e);
      float depth = Clamp01(e * 2.5f) * p.depth_tint;
      Rgb deep = Mix(Rgb{0.22f, 0.34f, 0.27f}, Rgb{0.03f, 0.11f, 0.12f}, depth);
      // The pool mirrors the cliff, the falls and the plants above its far shore, broken up by
      // ripples; it mirrors most near the far shore and shows its depth nearer the viewer.
      float far = p.cy - half;
      float ripples = Fbm(x / 50.0f, y / 3.2f, seed + 72, 3);
      float wobble = 3.0f * std::sin(y * 0.9f + 7 * Fbm(x / 30.0f, y / 5.0f, seed + 76, 2));
      float mirror_y = far - (y - far) * 1.1f - 2;
      Rgb image = Backdrop(x + wobble, mirror_y, phase, weight);
      image = Mix(Scale(image, 0.78f), Rgb{0.10f, 0.20f, 0.19f}, 0.22f);
      float fresnel = 0.85f - 0.5f * Clamp01((y - far) / (p.ry * 1.6f));
      Rgb water = Mix(deep, image, fresnel);
      float rip = 0;
      for (const Fall& f : layout.falls) {
        if (f.bottom_y > p.cy + p.ry || f.bottom_y < p.cy - p.ry * 1.3f) continue;
        float r0 = Ripple(f, x, y, 0);
        float w = phase != 0 ? FootWeight(f, x, y) : 0;
        rip += w > 0 ? Lerp(r0, Ripple(f, x, y, phase), w) : r0;
      }
      water = Add(water, Scale(Rgb{0.5f, 0.62f, 0.66f}, 0.16f * (ripples - 0.45f) + 0.07f * rip));
      // Dark band under the shore's edge.
      water = Scale(water, 0.7f + 0.3f * SmoothStep(0.0f, 0.12f, e));
      c = Mix(c, water, alpha);
    }
    return c;
  }

  Rgb Boulders(float x, float y, Rgb c) const {
    for (const Boulder& b : layout.boulders) {
      float dx = (x - b.cx) / b.rx, dy = (y - b.cy) / b.ry;
      // Squarish, flat-topped stones with ragged outlines.
      float d2 = std::pow(std::abs(dx), 2.6f) + std::pow(std::abs(dy), 2.2f) +
                 0.3f * (Fbm(x / 18.0f, y / 18.0f, seed + 101, 3) - 0.5f);
      if (d2 >= 1) continue;
      float nz = std::sqrt(1 - std::min(d2, 0.999f));
      float gx = Fbm((x + 1) / 7.0f, y / 7.0f, seed + 102, 3) -
                 Fbm((x - 1) / 7.0f, y / 7.0f, seed + 102, 3);
      float gy = Fbm(x / 7.0f, (y + 1) / 7.0f, seed + 102, 3) -
                 Fbm(x / 7.0f, (y - 1) / 7.0f, seed + 102, 3);
      float bx = dx * 0.8f - gx * 6, by = dy * 0.8f - gy * 6 - 0.25f;
      float len = std::sqrt(bx * bx + by * by + nz * nz);
      float diffuse = std::max(0.0f, (-0.48f * bx - 0.62f * by + 0.62f * nz) / len);
      Rgb base = Mix(Rgb{0.45f, 0.44f, 0.40f}, Rgb{0.38f, 0.32f, 0.25f},
                     Fbm(x / 30.0f, y / 30.0f, seed + 104, 3));
      base = Scale(base, 0.75f + 0.5f * Fbm(x / 3.0f, y / 3.0f, seed + 105, 2));
      float moss = SmoothStep(0.2f, -0.6f, dy) *
                   SmoothStep(0.42f, 0.58f, Fbm(x / 14.0f, y / 10.0f, seed + 106, 3));
      base = Mix(base, Mix(Rgb{0.20f, 0.32f, 0.10f}, Rgb{0.40f, 0.50f, 0.16f}, diffuse), moss);
      Rgb light = Add(Rgb{0.30f, 0.33f, 0.38f}, Scale(Rgb{1.05f, 0.98f, 0.86f}, diffuse));
      Rgb lit{base.r * light.r, base.g * light.g, base.b * light.b};
      // Wet and dark where the boulder meets the water.
      lit = Scale(lit, 0.45f + 0.55f * SmoothStep(0.95f, 0.45f, dy));
      c = Mix(c, lit, SmoothStep(1.0f, 0.9f, d2));
    }
    return c;
  }

  // Spray hanging in the air over each splash and sunlight falling through the canopy.
  Rgb Air(float x, float y, Rgb c) const {
    for (const Fall& f : layout.falls) {
      float cx = (f.bottom_left + f.bottom_right) / 2;
      float w = (f.bottom_right - f.bottom_left);
      float dx = (x - cx) / (w * 1.2f), dy = (y - f.bottom_y + 22) / 60.0f;
      float m = std::exp(-(dx * dx + dy * dy)) *
                (0.45f + 0.55f * Fbm(x / 45.0f, y / 30.0f, seed + 81, 3));
      c = Mix(c, Rgb{0.90f, 0.93f, 0.95f}, 0.55f * m);
    }
    float ax = x - layout.sun_x, ay = y - layout.sun_y;
    float angle = std::atan2(ax, ay);
    float ray = Fbm(angle * 22.0f, 0.5f, seed + 91, 2);
    ray = std::pow(SmoothStep(0.45f, 0.85f, ray), 2.0f);
    float dist = std::sqrt(ax * ax + ay * ay);
    c = Add(c, Scale(Rgb{1.0f, 0.95f, 0.78f}, 0.16f * ray * std::exp(-dist / 650.0f)));
    // Gentle vignette and a little warmth; beyond the scene's sides it levels off smoothly
    // instead of darkening on into black.
    float ease = 60, vx = x;
    if (x < 0) vx = ease * std::tanh(x / ease);
    if (x > kSceneWidth) vx = kSceneWidth + ease * std::tanh((x - kSceneWidth) / ease);
    vx = (vx - 400) / 430;
    // Above and below the scene (a desk of monitors of other heights) it goes on from its edge
    // and lightens further off, so sky and forest floor there are not left in the dark.
    const float beyond = std::max(-y, y - float(kSceneHeight));
    float vy = (std::clamp(y, 0.0f, float(kSceneHeight)) - 300) / 330;
    if (beyond > 0) vy *= 1 - 0.6f * SmoothStep(0, 200, beyond);
    float vig = 1 - 0.32f * std::pow(vx * vx + vy * vy, 1.4f);
    c = Scale(c, vig);
    c.r *= 1.03f, c.b *= 0.97f;
    return c;
  }

  // Dark, leafy forest floor.
  Rgb Undergrowth(float x, float y) const {
    float leaves = Fbm(x / 9.0f, y / 7.0f, seed + 27, 3);
    Rgb c = Mix(Rgb{0.08f, 0.16f, 0.07f}, Rgb{0.28f, 0.42f, 0.17f}, leaves);
    return Scale(c, 0.7f + 0.5f * Fbm(x / 60.0f, y / 45.0f, seed + 28, 3));
  }

  // The cliff, or the hills and sky above it.
  Rgb Ground(float x, float y) const {
    float top = TopAt(x);
    if (y < top) return Hills(x, y, Sky(x, y));
    Rgb c = Rock(x, y);
    // Beyond the cliff the rock disappears into the shade of the forest.
    float side = std::min(x - layout.cliff_left, layout.cliff_right - x);
    float forest = 1 - SmoothStep(-70, 10, side);
    if (forest > 0) {
      Rgb deep = Mix(Rgb{0.04f, 0.09f, 0.05f}, Rgb{0.15f, 0.27f, 0.12f},
                     Fbm(x / 14.0f, y / 12.0f, seed + 26, 3));
      c = Mix(c, deep, forest);
    }
    float edge = SmoothStep(top, top + 1.5f, y);
    if (edge < 1) c = Mix(Hills(x, y, Sky(x, y)), c, edge);
    // Below the scene, on a desk whose monitors reach lower, the forest floor goes on.
    if (y > kSceneHeight) c = Mix(c, Undergrowth(x, y), SmoothStep(kSceneHeight, 660, y));
    return c;
  }

  Rgb WithFoliage(float x, float y, Rgb c) const {
    uint32_t v = foliage.argb[Row(y) * size_t(foliage.width) + Column(x, foliage.width)];
    auto channel = [v](int shift) { return float((v >> shift) & 0xFF) / 255.0f; };
    float a = channel(24);
    return {channel(16) + c.r * (1 - a), channel(8) + c.g * (1 - a), channel(0) + c.b * (1 - a)};
  }

  // What stands above the pools: what a pool mirrors.
  Rgb Backdrop(float x, float y, int phase, float weight) const {
    return WithFoliage(x, y, Falls(x, y, Ground(x, y), phase, weight));
  }

  // The colour of the picture's pixel (px, py) at an animation phase.
  Rgb Shade(int px, int py, int phase) const {
    float x = float((px + 0.5) / scale - margin_x), y = float((py + 0.5) / scale - margin_y);
    // Where the plants cover the pixel whole, nothing behind them shows.
    if (foliage.argb[size_t(py) * foliage.width + px] >> 24 == 0xFF)
      return Air(x, y, WithFoliage(x, y, Rgb{}));
    float weight = phase == 0 ? 0 : AnimWeight(x, y);
    Rgb c = Ground(x, y);
    c = Pools(x, y, c, phase, weight);
    c = Falls(x, y, c, phase, weight);
    c = Splash(x, y, c, phase);
    c = Boulders(x, y, c);
    return Air(x, y, WithFoliage(x, y, c));
  }

  // The part of the picture in r at an animation phase.
  Picture Render(const PixelRect& r, int phase) const {
    Picture out(r.width, r.height);
    for (int y = 0; y < r.height; ++y)
      for (int x = 0; x < r.width; ++x) out.Set(x, y, Shade(r.x + x, r.y + y, phase));
    return out;
  }
};

// A water sprite as the scene lays it out, with the rectangle painted for it.
WaterSprite WaterOf(const scene_layout::Water& w) {
  WaterSprite sprite{{}, w.place.x, w.place.y, w.width, w.height, w.keyed};
  std::copy(w.files.begin(), w.files.end(), sprite.files.begin());
  return sprite;
}

}  // namespace

SceneLayout SceneOneLayout() {
  SceneLayout l;
  l.number = 1;
  l.seed = 1201;
  l.background_file = scene_layout::kBackground1;
  l.water.push_back(WaterOf(scene_layout::kWater1));
  l.falls.push_back({84, 468, 338, 424, 316, 462});
  l.pools.push_back({392, 548, 340, 78, 1.0f});
  l.boulders = {{170, 520, 70, 45}, {238, 548, 46, 30}, {612, 515, 64, 48}, {560, 556, 40, 26}};
  l.cliff_top = 92;
  l.cliff_left = 175;
  l.cliff_right = 625;
  l.sun_x = 560, l.sun_y = -80;
  return l;
}

SceneLayout SceneTwoLayout() {
  SceneLayout l;
  l.number = 2;
  l.seed = 2203;
  l.background_file = scene_layout::kBackground2;
  l.water.push_back(WaterOf(scene_layout::kWater2));
  l.water.push_back(WaterOf(scene_layout::kWater2Small));
  l.falls.push_back({120, 352, 356, 482, 342, 498, 0.64f, 12, 0.45f});
  l.falls.push_back({392, 482, 214, 262, 206, 276});
  l.pools.push_back({392, 372, 190, 21, 0.7f});
  l.pools.push_back({360, 562, 380, 74, 1.0f});
  l.boulders = {{120, 520, 60, 50},
                {640, 505, 70, 55},
                {585, 560, 44, 28},
                {178, 382, 26, 20},
                {592, 368, 30, 22}};
  l.cliff_top = 118;
  l.cliff_left = 150;
  l.cliff_right = 640;
  l.sun_x = 200, l.sun_y = -90;
  return l;
}

PixelRect SpriteRect(const WaterSprite& sprite, double scale, const scene_layout::SceneArea& area) {
  return {Scaled(-area.left, scale) + Scaled(sprite.x, scale),
          Scaled(-area.top, scale) + Scaled(sprite.y, scale), Scaled(sprite.width, scale),
          Scaled(sprite.height, scale)};
}

RenderedScene RenderWaterfallScene(const SceneLayout& layout, double scale,
                                   const scene_layout::SceneArea& area) {
  Renderer renderer(layout, scale, area);
  RenderedScene out;
  out.background =
      renderer.Render({0, 0, Scaled(area.width, scale), Scaled(area.height, scale)}, 0);
  // Every pixel is shaded on its own, so only the sprites' rectangles need shading again at the
  // other phases; frame 1 is the background itself.
  for (const WaterSprite& s : layout.water) {
    const PixelRect r = SpriteRect(s, scale, area);
    std::array<Picture, kWaterFrames> frames;
    Picture still = Crop(out.background, r.x, r.y, r.width, r.height);
    frames[0] = still;
    for (int f = 1; f < kWaterFrames; ++f) frames[size_t(f)] = renderer.Render(r, f);
    if (s.keyed) {
      // Keep only the pixels that move in some frame; the rest show the background anyway.
      std::vector<uint8_t> moving(size_t(r.width) * r.height, 0);
      for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x)
          for (int f = 0; f < kWaterFrames; ++f)
            if (std::memcmp(frames[size_t(f)].at(x, y), still.at(x, y), 3) != 0)
              moving[size_t(y) * r.width + x] = 1;
      for (auto& frame : frames)
        for (int y = 0; y < r.height; ++y)
          for (int x = 0; x < r.width; ++x) {
            if (moving[size_t(y) * r.width + x])
              KeepOffKey(frame.at(x, y));
            else
              frame.Set(x, y, kKeyR, kKeyG, kKeyB);
          }
    }
    out.water_frames.push_back(std::move(frames));
  }
  return out;
}

}  // namespace larkspill::assets

// Deterministic random numbers and noise for the generated art and sound. Everything here is
// integer hashing and plain float arithmetic, so the same seed gives the same bytes on every build.
#pragma once

#include <cmath>
#include <cstdint>

namespace larkspill::assets {

// Mixes a 64-bit value into a well-spread 64-bit hash (the SplitMix64 finaliser).
inline uint64_t Mix64(uint64_t z) {
  z += 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// Hash of a lattice point to [0, 1).
inline float Hash01(int32_t x, int32_t y, uint32_t seed) {
  uint64_t k = (uint64_t(uint32_t(x)) << 32) ^ uint64_t(uint32_t(y)) ^ (uint64_t(seed) << 17) ^
               (uint64_t(seed) * 0x632BE59BD9B4E019ull);
  return float(Mix64(k) >> 40) * (1.0f / 16777216.0f);
}

// A small fast generator with a fixed seed; never seeded from the clock.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed * 0x2545F4914F6CDD1Dull + 1) {}
  uint64_t Next() { return Mix64(state_ += 0x9E3779B97F4A7C15ull); }
  // Uniform in [0, 1).
  double Uniform() { return double(Next() >> 11) * (1.0 / 9007199254740992.0); }
  double Range(double lo, double hi) { return lo + (hi - lo) * Uniform(); }
  int Int(int lo, int hi) { return lo + int(Uniform() * (hi - lo + 1)); }
  // Roughly normal, mean 0 and deviation 1 (sum of uniforms, fixed arithmetic).
  double Gauss() {
    double s = 0;
    for (int i = 0; i < 6; ++i) s += Uniform();
    return (s - 3.0) * 1.41421356;
  }

 private:
  uint64_t state_;
};

inline float Smooth5(float t) {
  return t * t * t * (t * (t * 6 - 15) + 10);
}
inline float Lerp(float a, float b, float t) {
  return a + (b - a) * t;
}
inline float Clamp01(float v) {
  return v < 0 ? 0 : (v > 1 ? 1 : v);
}
inline float SmoothStep(float e0, float e1, float x) {
  float t = Clamp01((x - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}

// Value noise in [0, 1) on a unit lattice. A positive period_y makes it repeat every period_y
// lattice cells vertically, which the water uses to loop its fall.
inline float ValueNoise(float x, float y, uint32_t seed, int32_t period_y = 0) {
  float fx = std::floor(x), fy = std::floor(y);
  int32_t ix = int32_t(fx), iy = int32_t(fy);
  float tx = Smooth5(x - fx), ty = Smooth5(y - fy);
  int32_t iy1 = iy + 1;
  if (period_y > 0) {
    iy = ((iy % period_y) + period_y) % period_y;
    iy1 = ((iy1 % period_y) + period_y) % period_y;
  }
  float a = Hash01(ix, iy, seed), b = Hash01(ix + 1, iy, seed);
  float c = Hash01(ix, iy1, seed), d = Hash01(ix + 1, iy1, seed);
  return Lerp(Lerp(a, b, tx), Lerp(c, d, tx), ty);
}

// Fractal sum of value noise, normalised to about [0, 1).
inline float Fbm(float x, float y, uint32_t seed, int octaves, float gain = 0.5f) {
  float sum = 0, amp = 1, norm = 0;
  for (int i = 0; i < octaves; ++i) {
    sum += amp * ValueNoise(x, y, seed + uint32_t(i) * 101u);
    norm += amp;
    amp *= gain;
    x = x * 2.03f + 17.1f;
    y = y * 2.03f + 5.7f;
  }
  return sum / norm;
}

// Fractal noise that repeats every period_y lattice cells of its first octave vertically.
inline float FbmPeriodicY(float x, float y, uint32_t seed, int octaves, int32_t period_y) {
  float sum = 0, amp = 1, norm = 0;
  for (int i = 0; i < octaves; ++i) {
    sum += amp * ValueNoise(x, y, seed + uint32_t(i) * 101u, period_y);
    norm += amp;
    amp *= 0.5f;
    x = x * 2.0f + 17.0f;
    y = y * 2.0f;
    period_y *= 2;
  }
  return sum / norm;
}

}  // namespace larkspill::assets

#pragma once

#include <cstdint>

namespace larkspill {

// Uniform numbers in [0, 1).
class Random {
 public:
  virtual ~Random() = default;
  virtual double Next() = 0;
};

// The same sequence on every run: never seeded from the clock.
class SeededRandom : public Random {
 public:
  explicit SeededRandom(uint64_t seed = 0x4C41524B5350494CULL) : state_(seed) {}
  double Next() override {
    // splitmix64, top 53 bits as the fraction.
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) * (1.0 / 9007199254740992.0);
  }

 private:
  uint64_t state_;
};

}  // namespace larkspill

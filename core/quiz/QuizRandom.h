#pragma once
// The question picker's random numbers: a 32-bit linear congruential
// generator (seed := seed * 134775813 + 1), each draw taking the upper 32
// bits of n * seed.
#include <cstdint>

namespace vz {

class QuizRandom {
 public:
  std::uint32_t seed = 0;

  // Uniform in 0 .. n-1; 0 when n is 0.
  std::uint32_t Next(std::uint32_t n) {
    seed = seed * 134775813u + 1u;
    return static_cast<std::uint32_t>((std::uint64_t(n) * seed) >> 32);
  }
  // The time of day in milliseconds, UTC.
  void SeedFromClock();
};

}  // namespace vz

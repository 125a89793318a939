// The random numbers of generated inputs: splitmix64, small and fast, the same
// sequence for the same seed on every machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

namespace vantor::testing {

// splitmix64's finaliser: every bit of x stirred into every bit of the result.
constexpr std::uint64_t mix64(std::uint64_t z) {
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

struct splitmix {
  std::uint64_t state;

  std::uint64_t next() { return mix64(state += 0x9E3779B97F4A7C15ULL); }
  // Uniform in [0, 1), 53 random bits.
  double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
  std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }
  template <class List>
  const auto& pick(const List& list) {
    return list[below(std::size(list))];
  }
};

}  // namespace vantor::testing

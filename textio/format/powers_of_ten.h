// Powers of ten, in one place, for reading and for writing numbers:
//   kPowersOfTen         the integers 10^0 to 10^19 (every power below 2^64);
//   pow10_table          the double nearest to 10^k for every k from 10^-323 to
//                        10^308 (pow10_table.h, generated);
//   exact_power_of_ten   10^0 to 10^22 from that table: 10^22 = 2^22 x 5^22 and
//                        5^22 < 2^53, so these doubles are the powers exactly.
// And the 128-bit integers of the exact conversions, with powers of any base.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "textio/format/pow10_table.h"

namespace vantor::textio {

inline constexpr std::array<std::uint64_t, 20> kPowersOfTen = [] {
  std::array<std::uint64_t, 20> p{};
  std::uint64_t v = 1;
  for (auto& e : p) {
    e = v;
    v *= 10;
  }
  return p;
}();

inline constexpr int kLastExactPowerOfTen = 22;

// 10^q for 0 <= q <= kLastExactPowerOfTen, exact in binary.
constexpr double exact_power_of_ten(int q) {
  return pow10_table[static_cast<std::size_t>(q - kPow10Low)];
}

static_assert([] {
  double p = 1.0;  // every product on the way is exact
  for (int q = 0; q <= kLastExactPowerOfTen; ++q, p *= 10.0) {
    if (exact_power_of_ten(q) != p) return false;
  }
  return true;
}());

using u128 = unsigned __int128;

// base^n in 128 bits (n >= 0, no overflow check: for tables built at compile
// time, where an overflow would be a wrong table, not a slow one).
constexpr u128 power_of(u128 base, int n) {
  u128 p = 1;
  for (int i = 0; i < n; ++i) p *= base;
  return p;
}

}  // namespace vantor::textio

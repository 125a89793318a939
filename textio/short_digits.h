// Correctly rounded short decimal digits of a double, the fast way.
//
// The value is scaled by a power of ten in one or two correctly rounded
// operations, so the scaled value is within a few units in the last place of
// the exact one. When it lies clearly off a rounding boundary, its rounding is
// the rounding of the exact binary value; when it lies too close to one (this
// covers every exact tie), the functions decline and the caller falls back to
// an exact conversion. Nothing here ever returns a wrongly rounded digit.
#pragma once

#include <array>
#include <cstdint>

namespace vantor::textio {

// 10^0 to 10^15, the powers of ten that the digit counts here can reach.
inline constexpr std::array<std::uint64_t, 16> kPowersOfTen = [] {
  std::array<std::uint64_t, 16> p{};
  std::uint64_t v = 1;
  for (auto& e : p) {
    e = v;
    v *= 10;
  }
  return p;
}();

// x > 0 and finite, 1 <= significant <= 15. On success: digits holds exactly
// `significant` decimal digits (10^(significant-1) <= digits < 10^significant)
// and x rounds to digits x 10^(exponent - significant + 1), ties to even.
bool round_significant(double x, int significant, std::uint64_t& digits, int& exponent);

// x >= 0 and finite, 0 <= decimals <= 6. On success: scaled is x x 10^decimals
// rounded to the nearest integer, ties to even.
bool round_fixed(double x, int decimals, std::uint64_t& scaled);

}  // namespace vantor::textio

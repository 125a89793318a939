// Correctly rounded short decimal digits of a double in integer arithmetic.
//
// A finite double is m x 2^e exactly (m below 2^53). Scaling it by 10^q =
// 5^q x 2^q keeps it a ratio of integers, m x 5^q over a power of two (or m
// over 5^q times a power of two), and its rounding to the nearest integer,
// ties to even, is one multiplication or division and a comparison of the
// remainder with half the divisor: exact, so even true ties are decided here.
// Where the integers would not fit in 128 bits (values far from 1, subnormals)
// the functions decline and the caller uses its general exact conversion.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "textio/format/powers_of_ten.h"

namespace vantor::textio {

// x > 0 and finite, 1 <= significant <= 15. On success: digits holds exactly
// `significant` decimal digits (10^(significant-1) <= digits < 10^significant)
// and x rounds to digits x 10^(exponent - significant + 1), ties to even.
// Decides every x from about 10^(significant-33) to 10^(significant+26).
bool round_significant_exact(double x, int significant, std::uint64_t& digits, int& exponent);

// The same in double arithmetic, without a call: x times an exact power of
// ten is one correctly rounded operation, within y x 2^-53 of the exact y;
// when y lies clear of a half-way point by more than that, its rounding is the
// exact one. False near a half-way point and out of reach of one operation
// (then round_significant_exact decides). Inline: a constant count folds.
inline bool round_significant_fast(double x, int significant, std::uint64_t& digits,
                                   int& exponent) {
  const auto bits = std::bit_cast<std::uint64_t>(x);
  const int biased = static_cast<int>(bits >> 52);  // x > 0: no sign bit
  if (x > 0.0 && biased != 0 && biased < 0x7FF && significant >= 1 && significant <= 15) {
    // floor(log10(x)) is this or one more (78913 / 2^18 is log10 2).
    int e10 = ((biased - 1023) * 78913) >> 18;
    int q = significant - 1 - e10;  // y = x 10^q has `significant` digits or one more
    const auto top = static_cast<double>(kPowersOfTen[static_cast<std::size_t>(significant)]);
    const auto scaled = [x](int k) {
      return k >= 0 ? x * exact_power_of_ten(k) : x / exact_power_of_ten(-k);
    };
    if (q >= -21 && q <= 22) {
      double y = scaled(q);
      if (y >= top) {  // x lies in the next decade
        ++e10;
        y = scaled(--q);
      }
      const auto whole = static_cast<std::int64_t>(y < top ? y : 0.0);
      const double off = (y - static_cast<double>(whole)) - 0.5;  // both steps exact
      if (y < top && (off > y * 0x1p-52 || -off > y * 0x1p-52)) {
        const auto n = static_cast<std::uint64_t>(whole) + (off > 0.0 ? 1 : 0);
        if (n < kPowersOfTen[static_cast<std::size_t>(significant)]) {
          digits = n;
          exponent = e10;
          return true;
        }
      }
    }
  }
  return false;
}

// round_significant_fast, else round_significant_exact.
inline bool round_significant(double x, int significant, std::uint64_t& digits, int& exponent) {
  return round_significant_fast(x, significant, digits, exponent) ||
         round_significant_exact(x, significant, digits, exponent);
}

// 0 <= y < 2^31 rounded to the nearest integer, ties to even (the rounding of
// the floating-point environment, never changed here).
inline std::uint32_t round_to_integer(double y) {
#if defined(__SSE2__)
  return static_cast<std::uint32_t>(_mm_cvtsd_si32(_mm_set_sd(y)));  // one conversion
#else
  // y + 2^52 lies where the doubles are the integers.
  return static_cast<std::uint32_t>(std::bit_cast<std::uint64_t>(y + 0x1p52));
#endif
}

// x >= 0 and finite, 0 <= decimals <= 9. On success: scaled is x x 10^decimals
// rounded to the nearest integer, ties to even. Decides every x below 10^9.
bool round_fixed_exact(double x, int decimals, std::uint64_t& scaled);

// The same in double arithmetic for products below 2^31, where y = x x
// 10^decimals is within 2^-23 of the exact product: false near a half-way
// point (then round_fixed_exact decides) and for larger products.
inline bool round_fixed_fast(double x, int decimals, std::uint64_t& scaled) {
  if (!(x >= 0.0) || decimals < 0 || decimals > 9) return false;
  const double y = x * exact_power_of_ten(decimals);
  if (!(y < 0x1p31)) return false;
  const std::uint32_t n = round_to_integer(y);
  if (!(std::fabs(y - static_cast<double>(n)) < 0.5 - 0x1p-22)) return false;
  scaled = n;
  return true;
}

// round_fixed_fast, else round_fixed_exact.
inline bool round_fixed(double x, int decimals, std::uint64_t& scaled) {
  return round_fixed_fast(x, decimals, scaled) || round_fixed_exact(x, decimals, scaled);
}

}  // namespace vantor::textio

// The kernel of 1PE12.4, the field of every damage written, and its tables,
// for positive values from 2^-59 to 2^14 (the general path takes the rest).
//
// Within one binade [2^k, 2^(k+1)) of doubles the five-digit rounding has one
// of two decimal exponents E, E + 1: E + 1 from the least x that rounds up to
// 1.0000 x 10^(E+1) (99999.5 x 10^(E-4) or above). Scaled by the exact power
// 10^(4-E), x becomes y from 9999.95 to 99999.5, and y rounded to an integer
// is the five digits. The tables hold, per binade, where E + 1 starts, the two
// factors and the two exponent texts; the digits go in as two table words.
#pragma once

#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "textio/format/powers_of_ten.h"
#include "textio/format/short_digits.h"

namespace vantor::textio::detail {

inline constexpr int kFirstPower = -59;  // 2^-59 > 10^-18: factors up to 10^22, exact in binary
inline constexpr int kLastPower = 13;    // 2^14 < 99999.5: factors from 10^0
inline constexpr std::size_t kBinadeCount = kLastPower - kFirstPower + 1;
inline constexpr std::uint64_t kFirstBinade = 1023 + kFirstPower;  // biased binary exponent

// "E-09": the exponent columns, as a little-endian word.
inline constexpr std::uint32_t exponent_text(int e) {
  const int m = e < 0 ? -e : e;
  return static_cast<std::uint32_t>('E') | static_cast<std::uint32_t>(e < 0 ? '-' : '+') << 8 |
         static_cast<std::uint32_t>('0' + m / 10) << 16 |
         static_cast<std::uint32_t>('0' + m % 10) << 24;
}

// 2^k < 999995 x 10^(e-5), the carry point of exponent e, in integers.
inline constexpr bool below_carry_point(int k, int e) {
  u128 left = k >= 0 ? power_of(2, k) : 1;
  u128 right = 999995;
  if (k < 0) right *= power_of(2, -k);
  if (e >= 5) {
    right *= power_of(10, e - 5);
  } else {
    left *= power_of(10, 5 - e);
  }
  return left < right;
}

struct e12_tables {
  // Per binade: bits of the least double that rounds up to the exponent E + 1
  // (all ones when the binade holds none), then per binade and exponent (E,
  // E + 1) the factor 10^(4-E) and the exponent columns.
  std::array<std::uint64_t, kBinadeCount> carry{};
  std::array<double, 2 * kBinadeCount> factor{};
  std::array<std::uint32_t, 2 * kBinadeCount> exponent{};
  // Columns 1 to 8 of the field as one little-endian word: two blanks, the
  // first digit, the point, the next two digits of a three-digit lead t
  // (index t, 100 to 999); the last two digits of the five go in 7 and 8.
  std::array<std::uint64_t, 1000> lead{};
  std::array<std::uint64_t, 100> last{};
};

inline constexpr e12_tables kE12 = [] {
  e12_tables t{};
  for (int k = kFirstPower; k <= kLastPower; ++k) {
    // E: the least exponent whose carry point lies above 2^k.
    int e = -30;
    while (!below_carry_point(k, e)) ++e;
    const auto b = static_cast<std::size_t>(k - kFirstPower);
    // The least double >= 999995 x 10^(e-5): mantissa ceil(999995 x 10^(e-5) x
    // 2^(52-k)), here (e < 5) ceil(999995 x 2^(47-k+e) / 5^(5-e)) below 2^128.
    if (e >= 5 || 47 - k + e < 0) throw "binade out of the table's range";
    const u128 divisor = power_of(5, 5 - e);
    const u128 m = (999995 * power_of(2, 47 - k + e) + divisor - 1) / divisor;
    if (m <= power_of(2, 52)) throw "carry point below its binade";
    t.carry[b] = m < power_of(2, 53)
                     ? static_cast<std::uint64_t>(k + 1023) << 52 |
                           (static_cast<std::uint64_t>(m) - (std::uint64_t{1} << 52))
                     : ~std::uint64_t{0};
    for (std::size_t up = 0; up < 2; ++up) {
      const int q = 4 - e - static_cast<int>(up);
      if (q < 0 || q > kLastExactPowerOfTen) throw "power of ten out of the exact range";
      t.factor[2 * b + up] = exact_power_of_ten(q);
      t.exponent[2 * b + up] = exponent_text(e + static_cast<int>(up));
    }
  }
  for (std::uint64_t lead = 100; lead < 1000; ++lead) {
    t.lead[lead] = 0x2020 | ('0' + lead / 100) << 16 | std::uint64_t{'.'} << 24 |
                   ('0' + lead / 10 % 10) << 32 | ('0' + lead % 10) << 40;
  }
  for (std::uint64_t p = 0; p < 100; ++p) {
    t.last[p] = ('0' + p / 10) << 48 | ('0' + p % 10) << 56;
  }
  return t;
}();

// y is x 10^(4-E) rounded once: within half a unit of its last place, at most
// 2^-37 below 2^17. Farther than that from a half-way point, y and the exact
// product round to the same integer.
inline constexpr double kDecided = 0.5 - 0x1p-36;

// 1PE12.4 of a positive value into out[0..11]; false, with nothing written,
// where another path must answer (negative, zero, out of range, non-finite,
// near a half-way point).
[[gnu::always_inline]] inline bool put_e12_4(char* out, double value) {
  if constexpr (std::endian::native != std::endian::little) return false;
  const auto bits = std::bit_cast<std::uint64_t>(value);
  const std::uint64_t b = (bits >> 52) - kFirstBinade;  // a sign bit puts it out of range
  if (b >= kBinadeCount) return false;
  const std::size_t at = 2 * b + 1 - (bits < kE12.carry[b] ? 1 : 0);
  const double y = value * kE12.factor[at];
  const std::uint32_t n = round_to_integer(y);
  if (std::fabs(y - static_cast<double>(n)) >= kDecided) return false;  // y is finite here
  const std::uint64_t word = kE12.lead[n / 100] | kE12.last[n % 100];
  std::memcpy(out, &word, sizeof word);
  std::memcpy(out + 8, &kE12.exponent[at], sizeof kE12.exponent[at]);
  return true;
}

#if defined(__SSE2__)
// put_e12_4 of values[0] and values[1] into out[0..23], the arithmetic of the
// two in the two lanes of one register: the same products, the same rounding
// (the environment's, as round_to_integer's), the same decision band, so the
// same digits. False, with nothing written, where put_e12_4 would leave either.
// The band in both lanes and the mask of a magnitude (all bits but the sign)
// come from the caller, made once for a run.
struct e12_pair_constants {
  __m128d decided = _mm_set1_pd(kDecided);
  __m128d magnitude = _mm_castsi128_pd(_mm_set1_epi64x(0x7FFFFFFFFFFFFFFF));
};

[[gnu::always_inline]] inline bool put_e12_4_pair(char* out, const double* values,
                                                  const e12_pair_constants& c) {
  if constexpr (std::endian::native != std::endian::little) return false;
  std::uint64_t bits0 = 0;
  std::uint64_t bits1 = 0;
  std::memcpy(&bits0, values, sizeof bits0);
  std::memcpy(&bits1, values + 1, sizeof bits1);
  const std::uint64_t b0 = (bits0 >> 52) - kFirstBinade;
  const std::uint64_t b1 = (bits1 >> 52) - kFirstBinade;
  if (b0 >= kBinadeCount || b1 >= kBinadeCount) return false;
  const std::size_t at0 = 2 * b0 + 1 - (bits0 < kE12.carry[b0] ? 1 : 0);
  const std::size_t at1 = 2 * b1 + 1 - (bits1 < kE12.carry[b1] ? 1 : 0);
  const __m128d factors = _mm_loadh_pd(_mm_load_sd(&kE12.factor[at0]), &kE12.factor[at1]);
  const __m128d y = _mm_mul_pd(_mm_loadu_pd(values), factors);
  const __m128i n = _mm_cvtpd_epi32(y);  // y below 2^17: both fit
  const __m128d off = _mm_sub_pd(y, _mm_cvtepi32_pd(n));
  if (_mm_movemask_pd(_mm_cmplt_pd(_mm_and_pd(off, c.magnitude), c.decided)) != 3) return false;
  const auto n0 = static_cast<std::uint32_t>(_mm_cvtsi128_si32(n));
  const auto n1 = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(n, 4)));
  const std::uint64_t word0 = kE12.lead[n0 / 100] | kE12.last[n0 % 100];
  const std::uint64_t word1 = kE12.lead[n1 / 100] | kE12.last[n1 % 100];
  std::memcpy(out, &word0, sizeof word0);
  std::memcpy(out + 8, &kE12.exponent[at0], sizeof kE12.exponent[at0]);
  std::memcpy(out + 12, &word1, sizeof word1);
  std::memcpy(out + 20, &kE12.exponent[at1], sizeof kE12.exponent[at1]);
  return true;
}
#endif

// 1PE12.4 fields of values[0..count) up to the first value put_e12_4 leaves;
// returns how many it wrote. A leaf, so that its tables and constants stay in
// registers.
[[gnu::noinline]] std::size_t put_e12_4_run(char* out, const double* values, std::size_t count);

// The fields put_e12_4 leaves: a negative value is its magnitude's text with
// the sign in column 2; the rest goes the general way.
[[gnu::noinline]] void put_e12_4_other(char* out, double value);

}  // namespace vantor::textio::detail

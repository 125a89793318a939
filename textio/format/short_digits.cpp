#include "textio/format/short_digits.h"

#include <array>
#include <bit>
#include <cstdint>

namespace vantor::textio {

namespace {

// 5^0 to 5^32: m x 5^q stays below 2^128 for m below 2^53.
constexpr int kMaxFive = 32;
constexpr std::array<u128, kMaxFive + 1> kPowersOfFive = [] {
  std::array<u128, kMaxFive + 1> p{};
  u128 v = 1;
  for (auto& e : p) {
    e = v;
    v *= 5;
  }
  return p;
}();

// x = m x 2^e exactly, m below 2^53; false for zero, subnormals and non-finite.
bool decompose(double x, std::uint64_t& m, int& e) {
  const auto bits = std::bit_cast<std::uint64_t>(x);
  const int biased = static_cast<int>((bits >> 52) & 0x7FF);
  if (biased == 0 || biased == 0x7FF) return false;
  m = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
  e = biased - 1075;
  return true;
}

// The quotient n / 2^shift (0 < shift < 128) rounded to nearest, ties to even.
u128 round_shift(u128 n, int shift) {
  const u128 q = n >> shift;
  const u128 rest = n - (q << shift);
  const u128 half = u128{1} << (shift - 1);
  return q + ((rest > half || (rest == half && (q & 1) != 0)) ? 1 : 0);
}

// The quotient n / d rounded to nearest, ties to even.
template <class U>
U round_divide(U n, U d) {
  const U q = n / d;
  const U rest = n - q * d;
  const U other = d - rest;  // rest > d / 2 without overflow: rest > d - rest
  return q + ((rest > other || (rest == other && (q & 1) != 0)) ? 1 : 0);
}

// m x 2^e x 10^q rounded to the nearest integer, ties to even; false when the
// integers do not fit or the result is 2^64 or more.
[[gnu::always_inline]] inline bool scaled_round(std::uint64_t m, int e, int q, std::uint64_t& n) {
  // m x 2^e x 10^q = m x 5^q x 2^(e + q).
  const int shift = e + q;
  u128 r = 0;
  if (q >= 0) {
    if (q > kMaxFive) return false;
    const u128 num = u128{m} * kPowersOfFive[static_cast<std::size_t>(q)];
    if (shift >= 0) {
      if (shift >= 64 || (num >> (64 - shift)) != 0) return false;  // 2^64 or more
      r = num << shift;
    } else if (shift <= -128) {
      if ((num >> 127) != 0) return false;
      r = 0;  // num / 2^128 below one half
    } else {
      r = round_shift(num, -shift);
    }
  } else {
    // m x 2^shift / 5^k with k = -q.
    const int k = -q;
    if (k > 27) return false;  // 5^27 is the last power of five below 2^63
    const auto five = static_cast<std::uint64_t>(kPowersOfFive[static_cast<std::size_t>(k)]);
    if (shift < 0) {
      if (-shift >= 64 || (five >> (63 + shift)) != 0) {
        r = 0;  // the divisor exceeds 2^63 > m: the quotient is below one half
      } else {
        r = round_divide<std::uint64_t>(m, five << -shift);
      }
    } else {
      if (shift > 74) return false;
      r = round_divide<u128>(u128{m} << shift, five);
    }
  }
  if ((r >> 64) != 0) return false;
  n = static_cast<std::uint64_t>(r);
  return true;
}

}  // namespace

bool round_significant_exact(double x, int significant, std::uint64_t& digits, int& exponent) {
  if (!(x > 0.0) || significant < 1 || significant > 15) return false;
  std::uint64_t m = 0;
  int e = 0;
  if (!decompose(x, m, e)) return false;
  // floor(log10(x)) is floor((e + 52) log10 2) or one more; 78913 / 2^18 is
  // log10 2 to 6 digits, exact in floor for binary exponents below 1700.
  int e10 = ((e + 52) * 78913) >> 18;
  const std::uint64_t top = kPowersOfTen[static_cast<std::size_t>(significant)];
  std::uint64_t n = 0;
  if (!scaled_round(m, e, significant - 1 - e10, n)) return false;
  if (n >= top) {
    // Either x lies in the next decade, or it rounds up to its first power of
    // ten (99999.7 -> 100000): one more decade, and in the second case 10^(s-1).
    ++e10;
    if (!scaled_round(m, e, significant - 1 - e10, n)) return false;
    if (n >= top) {
      n /= 10;  // x in the next decade rounds up to its power of ten
      ++e10;
    }
  }
  if (n < kPowersOfTen[static_cast<std::size_t>(significant - 1)]) return false;
  digits = n;
  exponent = e10;
  return true;
}

bool round_fixed_exact(double x, int decimals, std::uint64_t& scaled) {
  if (!(x >= 0.0) || decimals < 0 || decimals > 9 || !(x < 1e9)) return false;
  if (x == 0.0) {
    scaled = 0;
    return true;
  }
  std::uint64_t m = 0;
  int e = 0;
  if (!decompose(x, m, e)) {
    scaled = 0;  // a subnormal: far below half a unit of the last decimal
    return true;
  }
  return scaled_round(m, e, decimals, scaled);
}

}  // namespace vantor::textio

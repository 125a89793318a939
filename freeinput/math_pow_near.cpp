// Exact decisions for powers near a rounding boundary; the contract is in
// math_pow_near.h and the reasoning in math.h.
#include "freeinput/math_pow_near.h"

#include <algorithm>
#include <bit>
#include <limits>

#include "freeinput/math_bits.h"
#include "freeinput/math_tables.h"
#include "freeinput/math_wide.h"

namespace vantor::freeinput::math_detail {
namespace {

constexpr std::uint64_t kFractionMask = (1ULL << 52) - 1;

// floor(sqrt(a)) for a < 2^62.
std::uint64_t integer_sqrt(std::uint64_t a) {
  std::uint64_t root = 0;
  for (std::uint64_t bit = 1ULL << 30; bit != 0; bit >>= 1) {
    const std::uint64_t t = root | bit;
    if (t * t <= a) root = t;
  }
  return root;
}

// A finite nonzero d as m 2^e with an integer m < 2^53.
struct integer_scaled {
  std::uint64_t m;
  long e;
};

integer_scaled decompose(double d) {
  const std::uint64_t b = bits_of(d);
  const long biased = static_cast<long>((b >> 52) & 0x7FF);
  if (biased == 0) return {b & kFractionMask, -1074};
  return {(b & kFractionMask) | (1ULL << 52), biased - 1075};
}

// The odd part: m 2^e with m odd.
integer_scaled odd_part(integer_scaled v) {
  const int tz = std::countr_zero(v.m);
  return {v.m >> tz, v.e + tz};
}

// log m for m in [1, 2) within 2^-16: with the table's inverse inv of the
// middle of m's 1/256-interval (of m/2 for m >= 1.5, as in math_pow.cpp),
// log m = -log inv + log1p(v), v = m inv - 1, |v| <= 2^-8, and log1p(v) ~ v.
double rough_log(double m) {
  const std::size_t j = static_cast<std::size_t>((bits_of(m) >> 44) & 0xFF);
  const log_row& row = log_inverse[j];
  if (j >= 128) return ln2_parts[0] + row.minus_log_inv.hi + (m * 0.5 * row.inv - 1.0);
  return row.minus_log_inv.hi + (m * row.inv - 1.0);
}

// log(n 2^e) for n > 0 with f fraction limbs, ln2 being log 2 with as many.
wide log_scaled(std::uint64_t n, long e, const wide& ln2) {
  const std::size_t f = ln2.fraction_limbs();
  const int width = std::bit_width(n);
  const long exponent = e + width - 1;  // n 2^e = m 2^exponent, m in [1, 2)
  const std::uint64_t magnitude = static_cast<std::uint64_t>(exponent < 0 ? -exponent : exponent);
  // m rounded to a double below 2 for the guess (n may have more than 53 bits).
  const double m_approx =
      std::min(static_cast<double>(n) * pow2(-(width - 1)), 0x1.fffffffffffffp0);
  return ln2 * wide::scaled(magnitude, 0, exponent < 0, f) +
         wide_log(wide::scaled(n, -(width - 1), false, f), rough_log(m_approx));
}

}  // namespace

double round_scaled(std::uint64_t n, long e) {
  if (n == 0) return 0.0;
  const long top = e + std::bit_width(n) - 1;  // n 2^e in [2^top, 2^(top + 1))
  if (top > 1023) return std::numeric_limits<double>::infinity();
  if (top < -1075) return 0.0;  // below half the least subnormal
  const long lsb = std::max(top - 52, -1074L);
  const long drop = lsb - e;
  std::uint64_t q = n;
  if (drop > 0) {
    q = drop >= 64 ? 0 : n >> drop;
    const std::uint64_t rest = drop >= 64 ? n : n & ((1ULL << drop) - 1);
    const std::uint64_t half = 1ULL << (drop - 1);
    if (rest > half || (rest == half && (q & 1) != 0)) ++q;
  } else {
    q = n << -drop;  // n has at most 53 bits here
  }
  // q 2^lsb with q <= 2^53: exact, or infinity past the largest double.
  if (lsb >= -1022) return static_cast<double>(q) * pow2(static_cast<int>(lsb));
  return static_cast<double>(q) * pow2(static_cast<int>(lsb) + 200) * pow2(-200);
}

// ax = a 2^ex with a odd, y = +-p / 2^k with p odd (or an integer p, k = 0).
// ax^y is a dyadic number only when a = c^(2^k) and 2^k divides ex: then it
// is c^(+-p) 2^(+-p ex / 2^k), and for a negative y only when c = 1. Since
// a < 2^53, c > 1 needs k <= 5 (3^64 > 2^53), and c = 1 needs k <= 10.
double exact_dyadic_power(double ax, double y) {
  constexpr double nan = std::numeric_limits<double>::quiet_NaN();
  const integer_scaled x = odd_part(decompose(ax));
  const integer_scaled yy = odd_part(decompose(abs_of(y)));
  if (yy.e > 10) return nan;  // |y| >= 2^11 and ax^y is not near a boundary
  std::uint64_t p = yy.m;
  std::uint64_t a = x.m;
  long ex = x.e;
  if (yy.e >= 0) {
    p <<= yy.e;
  } else {
    const long k = -yy.e;
    if (k > 10 || ex % (1L << k) != 0) return nan;
    ex /= 1L << k;
    for (long i = 0; i < k; ++i) {
      const std::uint64_t root = integer_sqrt(a);
      if (root * root != a) return nan;
      a = root;
    }
  }
  std::uint64_t n = 1;
  if (a != 1) {
    if (y < 0.0) return nan;
    for (std::uint64_t i = 0; i < p; ++i) {
      if (n > (std::numeric_limits<std::uint64_t>::max() >> 1) / a) return nan;
      n *= a;
    }
  }
  const long times = p > 4096 ? 4096 : static_cast<long>(p);  // beyond: far out of range
  return round_scaled(n, (y < 0.0 ? -ex : ex) * times);
}

// d = y log ax - log(n 2^e) in fixed point, with W = 320, 640, ... 5120
// fraction bits until |d| exceeds its error bound. The error of log 2 is
// below 2^13 units of 2^-W, of each log m (Newton, exp's Taylor series and
// its eight squarings) below 2^21; with the exponents (below 2^11) times
// log 2, each log errs by less than 2^25 units, y log ax by less than
// 2^(ybits + 26), ybits = the bit length of |y|'s integer part. The bound
// taken, 2^(ybits + 40) units, leaves a wide margin.
int compare_power(double ax, double y, std::uint64_t n, long e) {
  const integer_scaled x = decompose(ax);
  const long y_biased = static_cast<long>((bits_of(y) >> 52) & 0x7FF);
  const long ybits = std::max(0L, y_biased - 1022);
  for (std::size_t f = 10; f <= wide::max_fraction_limbs; f *= 2) {
    const wide ln2 = wide_ln2(f);
    const wide d = wide::of_double(y, f) * log_scaled(x.m, x.e, ln2) - log_scaled(n, e, ln2);
    if (d.magnitude_log2() >= ybits + 40 - 32 * static_cast<long>(f)) return d.negative() ? -1 : 1;
  }
  return 0;
}

}  // namespace vantor::freeinput::math_detail

// pow(x, y) = exp(y log|x|) in double-double. The method and its error bound
// are described in math.h.
#include <array>
#include <bit>
#include <cstdint>
#include <limits>

#include "freeinput/math.h"
#include "freeinput/math_bits.h"
#include "freeinput/math_dd.h"
#include "freeinput/math_pow_near.h"
#include "freeinput/math_tables.h"

namespace vantor::freeinput {
namespace math_detail {
namespace {

// log ax in double-double for a finite ax > 0.
//
// ax = 2^k m, m in [1, 2); j = the top 8 fraction bits of m. For j >= 128 the
// reduction works on m' = m/2 and k + 1, so m' in [0.75, 1.5) and log ax
// has no cancellation between k log 2 and log m' except near 1, where inv = 1.
// v = m' inv - 1 is exact as a double-double: m' inv = p + e exactly
// (two_prod), and p - 1 is exact as p lies in [0.99, 1.01].
dd log_dd(double ax) {
  int k = 0;
  if (ax < 0x1p-1022) {  // subnormal: scale into the normal range first
    ax *= 0x1p54;
    k = -54;
  }
  const std::uint64_t b = bits_of(ax);
  k += static_cast<int>(b >> 52) - 1023;
  const std::size_t j = static_cast<std::size_t>((b >> 44) & 0xFF);
  double m = std::bit_cast<double>((b & ((1ULL << 52) - 1)) | (1023ULL << 52));
  if (j >= 128) {
    m *= 0.5;
    ++k;
  }
  const log_row& row = log_inverse[j];
  const dd p = two_prod(m, row.inv);
  const dd v = two_sum(p.hi - 1.0, p.lo);
  // log1p(v) = v L(v), |v| <= 2^-8: terms from v^7 on are below 2^-59.
  double tail = log1p_coeffs[13].hi;
  for (std::size_t i = 13; i-- > 7;) tail = log1p_coeffs[i].hi + v.hi * tail;
  dd acc{tail, 0.0};
  for (std::size_t i = 7; i-- > 0;) acc = dd_add(log1p_coeffs[i], dd_mul(v, acc));
  const dd log1p_v = dd_mul(v, acc);
  // k log 2: k LN2_1 and k LN2_2 exact (|k| <= 1075 has 11 bits).
  const double kd = k;
  dd sum = dd_add({kd * ln2_parts[0], 0.0}, two_prod(kd, ln2_parts[1]));
  sum = dd_add(sum, {kd * ln2_parts[2], 0.0});
  sum = dd_add(sum, row.minus_log_inv);
  return dd_add(sum, log1p_v);
}

constexpr double inf = std::numeric_limits<double>::infinity();

enum class integer_kind { not_integer, even, odd };

// Whether a finite y is an integer, and if so its parity.
integer_kind classify(double y) {
  const std::uint64_t b = bits_of(y);
  const int biased = static_cast<int>((b >> 52) & 0x7FF);
  if (biased < 1023) return y == 0.0 ? integer_kind::even : integer_kind::not_integer;
  if (biased > 1075) return integer_kind::even;  // |y| >= 2^53
  const int frac_bits = 1075 - biased;           // bits of m below the unit
  const std::uint64_t m = (b & ((1ULL << 52) - 1)) | (1ULL << 52);
  if (frac_bits > 0 && (m & ((1ULL << frac_bits) - 1)) != 0) return integer_kind::not_integer;
  return ((m >> frac_bits) & 1) != 0 ? integer_kind::odd : integer_kind::even;
}

// exp z as e 2^k in double-double, e in [0.99, 2.01), for |z.hi| <= 746.
struct scaled_dd {
  dd e;
  int k;
};

scaled_dd exp_dd(dd z) {
  // z = n log(2)/128 + r, |r| <= log(2)/256 (plus rounding), |n| < 2^17.
  const double n = round_to_int(z.hi * inv_ln2_128);
  // z.hi - n E1 is exact (within a factor 2 of each other unless n = 0).
  dd r = two_sum(z.hi - n * ln2_128_parts[0], -(n * ln2_128_parts[1]));
  r = dd_add(r, {z.lo, 0.0});
  r = dd_add(r, {-(n * ln2_128_parts[2]), 0.0});
  // exp r = sum r^i / i!: terms from r^6 on are below 2^-60.
  double tail = exp_coeffs[10].hi;
  for (std::size_t i = 10; i-- > 6;) tail = exp_coeffs[i].hi + r.hi * tail;
  dd acc{tail, 0.0};
  for (std::size_t i = 6; i-- > 0;) acc = dd_add(exp_coeffs[i], dd_mul(r, acc));
  const int ni = static_cast<int>(n);
  return {dd_mul(exp2_table[static_cast<std::size_t>(ni & 127)], acc), ni >> 7};  // floor(n/128)
}

// The rounding of e 2^k to a double. When the boundary nearest to e 2^k (the
// midpoint between the two doubles below and above it, n 2^boundary) may lie
// between the approximation and the true value, the rounding is not settled
// and value is only the approximation's.
struct rounding {
  double value;
  bool settled;
  double below = 0.0;
  double above = 0.0;
  std::uint64_t n = 0;
  long boundary = 0;
};

// m 2^k for m in [0.5, 4] and a normal result, or infinity on overflow.
double scale_by(double m, int k) {
  return k <= 1023 ? m * pow2(k) : m * pow2(1023) * pow2(k - 1023);
}

// Normal range: e.hi = RN(e) and the scaling is exact up to overflow, which
// gives inf as it should (e.hi 2^k >= 2^1024 means e >= the midpoint above
// the largest double). The boundary is the midpoint between e.hi and its
// neighbour on the side of e.lo, |e.lo| away from half their gap.
//
// The test: e.hi + c e.lo with c = 1 + 2^-26 still rounds to e.hi when |e.lo|
// is below the half gap to the neighbour on its side by more than 2^-26 of
// it, that is by more than 2^-80 e.hi (a gap is at least 2^-53 e.hi), where
// e errs by less than 2^-90 e.hi.
bool settled_normal(dd e) {
  return e.hi + e.lo * 0x1.0000004p0 == e.hi;
}

// The boundary of an unsettled normal rounding.
rounding round_normal(dd e, int k) {
  const double value = scale_by(e.hi, k);
  const std::uint64_t b = bits_of(e.hi);
  const double toward = std::bit_cast<double>(e.lo > 0.0 ? b + 1 : b - 1);
  const double low = e.lo > 0.0 ? e.hi : toward;
  const double high = e.lo > 0.0 ? toward : e.hi;
  // Both are multiples of 2^-54 below 4: their sum times 2^54 is an integer.
  const std::uint64_t n =
      static_cast<std::uint64_t>(low * 0x1p54) + static_cast<std::uint64_t>(high * 0x1p54);
  return {value, false, scale_by(low, k), scale_by(high, k), n, k - 55L};
}

// Subnormal range: e 2^(k + 1074) rounded to an integer N once, ties to even,
// and N 2^-1074 returned; the boundaries are the odd multiples of 2^-1075.
// k + 1074 <= 52, so a and b are exact.
rounding round_subnormal(dd e, int k) {
  const double scale = k + 1074 >= -1022 ? pow2(k + 1074) : 0.0;
  const double a = e.hi * scale;
  const double b = e.lo * scale;
  const double whole = a < 0x1p52 ? round_to_int(a) : a;
  const double rest = (a - whole) + b;
  const double rounded = rest > 0.5 ? whole + 1.0 : rest < -0.5 ? whole - 1.0 : whole;
  const double value = rounded * 0x1p-1074;
  // e errs by less than 2^-90 a units, rest by less than 2^-53 more.
  const double margin = a * 0x1p-80 > 0x1p-50 ? a * 0x1p-80 : 0x1p-50;
  const double low = rest > 0.0 ? whole : whole - 1.0;
  if (abs_of(abs_of(rest) - 0.5) > margin || low < 0.0) return {value, true};
  return {value,
          false,
          low * 0x1p-1074,
          (low + 1.0) * 0x1p-1074,
          static_cast<std::uint64_t>(2.0 * low + 1.0),
          -1075};
}

// A rounding the approximation may leave open (a subnormal one, or any
// unsettled): an exact power (a tie among them) is rounded exactly; any other
// lies strictly on one side of the boundary, which a comparison in fixed point
// settles.
double round_near_boundary(double ax, double y, scaled_dd p) {
  const rounding r = p.k >= -1021 ? round_normal(p.e, p.k) : round_subnormal(p.e, p.k);
  if (r.settled) return r.value;
  const double exact = exact_dyadic_power(ax, y);
  if (exact == exact) return exact;
  const int side = compare_power(ax, y, r.n, r.boundary);
  return side > 0 ? r.above : side < 0 ? r.below : r.value;
}

// 128-bit unsigned arithmetic for the exact powers.
struct u128 {
  std::uint64_t hi;
  std::uint64_t lo;
};

u128 mul_64(std::uint64_t a, std::uint64_t b) {
  const std::uint64_t a0 = a & 0xFFFFFFFF, a1 = a >> 32, b0 = b & 0xFFFFFFFF, b1 = b >> 32;
  const std::uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
  const std::uint64_t mid = (p00 >> 32) + (p01 & 0xFFFFFFFF) + (p10 & 0xFFFFFFFF);
  return {p11 + (p01 >> 32) + (p10 >> 32) + (mid >> 32), (mid << 32) | (p00 & 0xFFFFFFFF)};
}

// ax^n exactly rounded, for an integer 2 <= n <= 64, when ax^n has at most
// 106 significant bits and lies in the normal range; 0 otherwise. The
// double-double path cannot round an exact halfway case (x^2 of a 27-bit odd
// x, say) reliably; here the power is an exact integer times a power of two.
double exact_power(double ax, int n) {
  const std::uint64_t b = bits_of(ax);
  const int biased = static_cast<int>(b >> 52);
  if (biased == 0) return 0.0;
  std::uint64_t odd = (b & ((1ULL << 52) - 1)) | (1ULL << 52);
  int e = biased - 1075;
  const int tz = std::countr_zero(odd);
  odd >>= tz;
  e += tz;
  const int width = 64 - std::countl_zero(odd);
  if (width * n > 106) return 0.0;
  u128 acc{0, odd};
  for (int i = 1; i < n; ++i) {
    const u128 low = mul_64(acc.lo, odd);
    acc = {low.hi + acc.hi * odd, low.lo};  // no overflow: the result has <= 106 bits
  }
  const int length = acc.hi != 0 ? 128 - std::countl_zero(acc.hi) : 64 - std::countl_zero(acc.lo);
  const long long exponent = static_cast<long long>(e) * n + length - 1;
  if (exponent < -1022 || exponent > 1022) return 0.0;
  int shift = length > 53 ? length - 53 : 0;
  std::uint64_t top = 0;
  if (shift == 0) {
    top = acc.lo;
  } else {
    // top = acc >> shift, rest = the shifted-out bits, shift <= 53.
    top = shift >= 64 ? acc.hi >> (shift - 64) : (acc.lo >> shift) | (acc.hi << (64 - shift));
    const std::uint64_t rest = acc.lo & ((1ULL << shift) - 1);
    const std::uint64_t half = 1ULL << (shift - 1);
    if (rest > half || (rest == half && (top & 1) != 0)) ++top;
  }
  const int scale = e * n + shift;  // result = top 2^scale, normal
  const int half_scale = scale / 2;
  return static_cast<double>(top) * pow2(half_scale) * pow2(scale - half_scale);
}

double pow_impl(double x, double y) {
  if (y == 0.0 || x == 1.0) return 1.0;
  if (x != x || y != y) return x + y;
  const double ax = abs_of(x);
  const double ay = abs_of(y);
  const bool y_finite = ay <= std::numeric_limits<double>::max();
  const integer_kind kind = y_finite ? classify(y) : integer_kind::even;
  const bool y_negative = y < 0.0;
  if (!y_finite) {
    if (ax == 1.0) return 1.0;  // (-1)^(+-inf)
    return (ax < 1.0) == y_negative ? inf : 0.0;
  }
  const bool odd = kind == integer_kind::odd;
  if (ax == 0.0 || ax == inf) {
    // 1/x behaves as 1/0 for x = 0 and as 0 for x = inf: pow(0, y) = pow(inf, -y).
    const bool large = (ax == 0.0) == y_negative;
    const double magnitude = large ? inf : 0.0;
    return odd && sign_bit(x) ? -magnitude : magnitude;
  }
  if (x < 0.0 && kind == integer_kind::not_integer) {
    return invalid_nan();
  }
  const double sign = x < 0.0 && odd ? -1.0 : 1.0;
  if (ax == 1.0) return sign;  // (-1)^y for an integer y, however large
  // |y| >= 2^64: |log ax| >= 2^-53.1 for ax != 1, so |y log ax| > 746.
  if (ay >= 0x1p64) return (ax > 1.0) == !y_negative ? sign * inf : sign * 0.0;
  if (kind != integer_kind::not_integer && y >= 2.0 && y <= 64.0) {
    const double exact = exact_power(ax, static_cast<int>(y));
    if (exact != 0.0) return sign * exact;
  }
  const dd z = dd_mul_d(log_dd(ax), y);
  if (z.hi > 710.0) return sign * inf;   // exp(710) > the largest double
  if (z.hi < -746.0) return sign * 0.0;  // exp(-746) < 2^-1075
  const scaled_dd p = exp_dd(z);
  if (p.k >= -1021 && settled_normal(p.e)) return sign * scale_by(p.e.hi, p.k);
  return sign * round_near_boundary(ax, y, p);
}

}  // namespace
}  // namespace math_detail

double portable_pow(double x, double y) {
  return math_detail::pow_impl(x, y);
}

}  // namespace vantor::freeinput

// sin and cos: argument reduction (Cody-Waite, Payne-Hanek) and the kernels on
// [-pi/4, pi/4]. The method and its error bound are described in math.h.
#include <array>
#include <bit>
#include <cstdint>
#include <limits>

#include "freeinput/math.h"
#include "freeinput/math_bits.h"
#include "freeinput/math_dd.h"
#include "freeinput/math_tables.h"

namespace vantor::freeinput {
namespace math_detail {
namespace {

// r = |x| - q pi/2 with |r| <= pi/4 (up to rounding), q mod 4 in quadrant.
struct reduced {
  unsigned quadrant;
  dd r;
};

// Payne-Hanek for finite ax >= pi/4.
//
// ax = m 2^e, m < 2^53. With W the 320-bit integer of the words
// w[k0 .. k0+9] of 2/pi, the product P = m W is exact in twelve 32-bit limbs
// and ax 2/pi = P 2^-s + (multiple of 4) + tail, s = 32 (k0 + 10) - e, where
// the dropped leading words give the multiple of 4 (m w_i 2^(e - 32 (i+1)) is
// a multiple of 4 when 32 (i+1) <= e - 2) and the tail, from the words after
// k0 + 9, is below m 2^(e - 32 (k0 + 10)) < 2^(53 - s) <= 2^-234, since
// s >= 287. Bits s and s+1 of P are q mod 4, the 192 bits below bit s the
// fraction.
reduced reduce_payne_hanek(double ax) {
  const std::uint64_t b = bits_of(ax);
  const int e = static_cast<int>(b >> 52) - 1075;
  const std::uint64_t m = (b & ((1ULL << 52) - 1)) | (1ULL << 52);
  const int k0 = e - 2 >= 32 ? (e - 2) / 32 : 0;
  constexpr int n_words = 10;

  // p = m * W, least significant limb first.
  std::array<std::uint32_t, n_words + 2> p{};
  const std::array<std::uint32_t, 2> m_limbs{static_cast<std::uint32_t>(m),
                                             static_cast<std::uint32_t>(m >> 32)};
  for (std::size_t i = 0; i < m_limbs.size(); ++i) {
    std::uint64_t carry = 0;
    for (std::size_t k = 0; k < n_words; ++k) {
      const std::uint64_t w = two_over_pi_words[static_cast<std::size_t>(k0) + n_words - 1 - k];
      const std::uint64_t t = m_limbs[i] * w + p[i + k] + carry;
      p[i + k] = static_cast<std::uint32_t>(t);
      carry = t >> 32;
    }
    p[i + n_words] = static_cast<std::uint32_t>(carry);
  }
  // Bits [pos, pos + 64) of p, pos >= 0.
  const auto bits_at = [&p](int pos) {
    const auto limb = [&p](std::size_t i) -> std::uint64_t { return i < p.size() ? p[i] : 0; };
    const std::size_t i = static_cast<std::size_t>(pos) / 32;
    const unsigned sh = static_cast<unsigned>(pos) % 32;
    const std::uint64_t low = limb(i) | (limb(i + 1) << 32);
    return sh == 0 ? low : (low >> sh) | (limb(i + 2) << (64 - sh));
  };
  const int s = 32 * (k0 + n_words) - e;
  unsigned q = static_cast<unsigned>(bits_at(s)) & 3;
  std::array<std::uint64_t, 3> f{bits_at(s - 64), bits_at(s - 128), bits_at(s - 192)};

  // Round to the nearest quadrant: a fraction >= 1/2 becomes f - 1 < 0,
  // negated here as a 192-bit two's complement.
  bool negative = false;
  if ((f[0] >> 63) != 0) {
    negative = true;
    q = (q + 1) & 3;
    f = {~f[0], ~f[1], ~f[2]};
    if (++f[2] == 0 && ++f[1] == 0) ++f[0];
  }
  // |fraction| = (f0 2^128 + f1 2^64 + f2) 2^-192. Shift out leading zero
  // words (never more than one for a double), then the leading zero bits.
  int scale = -64;
  if (f[0] == 0) {
    f = {f[1], f[2], 0};
    scale -= 64;
  }
  if (f[0] == 0) return {q, {0.0, 0.0}};  // not reached for doubles
  const int lz = std::countl_zero(f[0]);
  const std::uint64_t hi = lz == 0 ? f[0] : (f[0] << lz) | (f[1] >> (64 - lz));
  const std::uint64_t lo = lz == 0 ? f[1] : (f[1] << lz) | (f[2] >> (64 - lz));
  // fraction = (hi + lo 2^-64) 2^(scale - lz), hi with its top bit set: the
  // top 53 bits of hi exactly, the rest (11 bits of hi and 53 of lo) with one
  // rounding, relative 2^-53 of a part below 2^-52 of the whole.
  const dd frac =
      fast_two_sum(static_cast<double>(hi >> 11) * 0x1p11,
                   static_cast<double>(hi & 0x7FF) + static_cast<double>(lo >> 11) * 0x1p-53);
  dd r = dd_mul(dd_scale(frac, pow2(scale - lz)), half_pi_dd);
  if (negative) r = dd_neg(r);
  return {q, r};
}

reduced reduce(double ax) {
  if (ax <= 0x1.921fb54442d18p-1) return {0, {ax, 0.0}};  // |x| <= pi/4
  if (ax < 0x1p20) {
    const double k = round_to_int(ax * two_over_pi);
    // |x| - k P1 is exact: k P1 is exact and within a factor 2 of |x|.
    dd r = two_sum(ax - k * half_pi_parts[0], -(k * half_pi_parts[1]));
    r = dd_add(r, {-(k * half_pi_parts[2]), 0.0});
    r = dd_add(r, dd_neg(two_prod(k, half_pi_parts[3])));
    if (abs_of(r.hi) >= 0x1p-30) return {static_cast<unsigned>(k) & 3, r};
  }
  return reduce_payne_hanek(ax);
}

// Polynomial sum c_i u^i, the terms i >= split in double (with u.hi), the
// others in double-double.
template <std::size_t N>
dd poly(const std::array<dd, N>& c, dd u, std::size_t split) {
  double tail = c[N - 1].hi;
  for (std::size_t i = N - 1; i-- > split;) tail = c[i].hi + u.hi * tail;
  dd acc{tail, 0.0};
  for (std::size_t i = split; i-- > 0;) acc = dd_add(c[i], dd_mul(u, acc));
  return acc;
}

struct sin_cos_dd {
  dd sin;
  dd cos;
};

// sin r and cos r for |r| <= pi/4 + 2^-40 (r.hi >= 0 is not required).
// want_sin / want_cos skip the work for the other one.
sin_cos_dd kernel(dd r, bool want_sin, bool want_cos) {
  const bool negative = r.hi < 0;
  if (negative) r = dd_neg(r);
  const int j = static_cast<int>(r.hi * 128.0 + 0.5);
  const dd t = two_sum(r.hi - j * 0x1p-7, r.lo);  // r.hi - j/128 is exact
  const dd u = dd_mul(t, t);
  // S(u) and C(u): terms from i = 2 on are below 2^-60 relative.
  const dd sin_t = dd_add(t, dd_mul(dd_mul(t, u), poly(sin_coeffs, u, 2)));
  const dd cos_t_m1 = dd_mul(u, poly(cos_coeffs, u, 2));
  sin_cos_dd out{sin_t, dd_add({1.0, 0.0}, cos_t_m1)};
  if (j != 0) {
    const dd sa = sin_table[static_cast<std::size_t>(j)];
    const dd ca = cos_table[static_cast<std::size_t>(j)];
    if (want_sin) out.sin = dd_add(sa, dd_add(dd_mul(sa, cos_t_m1), dd_mul(ca, sin_t)));
    if (want_cos) out.cos = dd_add(ca, dd_add(dd_mul(ca, cos_t_m1), dd_neg(dd_mul(sa, sin_t))));
  }
  if (negative) out.sin = dd_neg(out.sin);
  return out;
}

// sin (is_sin) or cos of x.
double sin_or_cos(double x, bool is_sin) {
  const double ax = abs_of(x);
  if (!(ax <= std::numeric_limits<double>::max())) {
    // NaN stays NaN; sin(+-inf) and cos(+-inf) are NaN.
    return ax == ax ? invalid_nan() : x + x;
  }
  // Below these the function rounds to x (sin) or 1 (cos): |x|^3/6 is below
  // half an ulp of x for |x| < 2^-26, x^2/2 below 2^-54 for |x| < 2^-27.
  if (is_sin && ax < 0x1p-26) return x;
  if (!is_sin && ax < 0x1p-27) return 1.0;
  const reduced red = reduce(ax);
  // sin(r + q pi/2) and cos(r + q pi/2) by the quadrant.
  const unsigned q = is_sin ? red.quadrant : (red.quadrant + 1) & 3;
  const bool use_cos = (q & 1) != 0;
  const sin_cos_dd sc = kernel(red.r, !use_cos, use_cos);
  const dd v = use_cos ? sc.cos : sc.sin;
  double y = v.hi;  // v is normalised: hi = RN(hi + lo)
  if ((q & 2) != 0) y = -y;
  return is_sin && sign_bit(x) ? -y : y;
}

}  // namespace
}  // namespace math_detail

double portable_sin(double x) {
  return math_detail::sin_or_cos(x, true);
}

double portable_cos(double x) {
  return math_detail::sin_or_cos(x, false);
}

}  // namespace vantor::freeinput

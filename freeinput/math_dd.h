// Double-double arithmetic: a value held as the unevaluated sum hi + lo of two
// doubles with |lo| <= ulp(hi)/2, about 106 significant bits.
//
// Only additions, subtractions and multiplications of doubles, each rounded to
// nearest by IEEE 754, so the same operands give the same bits on every
// platform with IEEE doubles (the build forbids contraction into fused
// multiply-add). The error-free transformations:
//
//   two_sum(a, b):   s + e = a + b exactly, s = RN(a + b)        (Knuth)
//   fast_two_sum:    the same when |a| >= |b| or a = 0          (Dekker)
//   two_prod(a, b):  p + e = a b exactly, p = RN(a b)            (Dekker, Veltkamp)
//
// two_prod splits each factor into two halves of 26 bits (Veltkamp: with
// c = (2^27 + 1) a, hi = c - (c - a) holds the top 26 bits and lo = a - hi the
// rest, both exact), so that the four partial products are exact and
// e = ((ah bh - p) + ah bl + al bh) + al bl is exact as well. It holds when no
// product under- or overflows: |a|, |b| < 2^995 and |a b| >= 2^-969.
//
// With u = 2^-53, dd_add returns a + b with a relative error below 3u^2 and
// dd_mul returns a b with a relative error below 7u^2 (the dropped al bl term
// and two roundings of the cross terms); both return a normalised pair.
#pragma once

namespace vantor::freeinput::math_detail {

struct dd {
  double hi;
  double lo;
};

inline dd fast_two_sum(double a, double b) {
  const double s = a + b;
  return {s, b - (s - a)};
}

inline dd two_sum(double a, double b) {
  const double s = a + b;
  const double bb = s - a;
  return {s, (a - (s - bb)) + (b - bb)};
}

inline dd split(double a) {
  const double c = 134217729.0 * a;  // 2^27 + 1
  const double hi = c - (c - a);
  return {hi, a - hi};
}

inline dd two_prod(double a, double b) {
  const double p = a * b;
  const dd as = split(a);
  const dd bs = split(b);
  const double e = ((as.hi * bs.hi - p) + as.hi * bs.lo + as.lo * bs.hi) + as.lo * bs.lo;
  return {p, e};
}

inline dd dd_add(dd a, dd b) {
  dd s = two_sum(a.hi, b.hi);
  const dd t = two_sum(a.lo, b.lo);
  s.lo += t.hi;
  s = fast_two_sum(s.hi, s.lo);
  s.lo += t.lo;
  return fast_two_sum(s.hi, s.lo);
}

inline dd dd_neg(dd a) {
  return {-a.hi, -a.lo};
}

inline dd dd_mul(dd a, dd b) {
  dd p = two_prod(a.hi, b.hi);
  p.lo += a.hi * b.lo + a.lo * b.hi;
  return fast_two_sum(p.hi, p.lo);
}

inline dd dd_mul_d(dd a, double b) {
  dd p = two_prod(a.hi, b);
  p.lo += a.lo * b;
  return fast_two_sum(p.hi, p.lo);
}

// a * 2^k for a power of two given as the double p2 = 2^k: exact in range.
inline dd dd_scale(dd a, double p2) {
  return {a.hi * p2, a.lo * p2};
}

}  // namespace vantor::freeinput::math_detail

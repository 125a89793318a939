// Sine, cosine and real power with the same bits on every platform.
//
// The C runtimes differ: one reduces every argument of sin and cos exactly,
// another loses the quadrant for large ones (sin(1e300), cos(1e22)), and the
// last bits of pow differ as well. The functions here use nothing but integer
// arithmetic and IEEE double additions, subtractions and multiplications
// rounded to nearest (no fused multiply-add, no long double, no libm), so a
// given argument gives the same result everywhere.
//
// Method
// ------
// All three evaluate the function in double-double arithmetic (math_dd.h,
// about 106 bits) and round the unevaluated sum hi + lo to the nearest double
// once at the end.
//
// sin, cos. The argument x is reduced to r = |x| - q pi/2 with |r| <= pi/4:
//   - |x| < 2^20: Cody-Waite. q = round(|x| 2/pi) < 2^20 and pi/2 is split as
//     P1 + P2 + P3 + P4 (P1..P3 of 33 bits, so q Pi is exact):
//       r = ((|x| - q P1) - q P2) - q P3 - q P4,
//     the first difference exact by Sterbenz' lemma, the others summed in
//     double-double. The dropped tail of pi/2 is below 2^-152, so
//     |error| < 2^-131 absolute; when |r| < 2^-30 (|x| very close to a
//     multiple of pi/2) that is not good enough and Payne-Hanek takes over.
//   - otherwise: Payne-Hanek. |x| = m 2^e with an integer m < 2^53, and
//       |x| 2/pi = sum_i m b_i 2^(e - i),     2/pi = sum_i b_i 2^-i.
//     The terms with e - i >= 2 are multiples of 4 and drop out of the
//     quadrant, so only 320 bits of 2/pi from bit e - 33 or so on are needed:
//     their product with m is formed exactly in 32-bit limbs. Its two bits
//     above the binary point give q mod 4 and the 192 bits below it the
//     fraction f, rounded to the nearest quadrant (f in [-1/2, 1/2]); the
//     ignored tail of 2/pi changes f by less than 2^-233. No double is closer
//     to a multiple of pi/2 than about 2^-61 (relative to pi/2), so at least
//     128 significant bits of f remain; r = f pi/2 in double-double has a
//     relative error below 2^-103.
// On r = a + t with a = j/128 and |t| <= 1/256 (tables of sin a, cos a),
//   sin(a + t) = sin a + (sin a (cos t - 1) + cos a sin t),
//   cos(a + t) = cos a + (cos a (cos t - 1) - sin a sin t),
// with sin t = t (1 + u S(u)) and cos t - 1 = u C(u), u = t^2, Taylor
// polynomials of degree 5 in u whose truncation error is below 2^-120
// relative. The coefficients whose terms are below 2^-53 relative are
// evaluated in double, the others in double-double.
//
// pow(x, y) = exp(y log |x|), with the sign of x for odd integers y.
//   log: |x| = 2^k m', m' in [0.75, 1.5), and with inv the double nearest to
//     the inverse of the middle of the 1/256-interval of m' (exactly 1 next
//     to 1, so that log x keeps its relative accuracy for x near 1),
//       log |x| = k log 2 - log inv + log1p(v),  v = m' inv - 1 exactly,
//     |v| <= 2^-8 and log1p by its Taylor series to v^14 (error < 2^-107).
//   z = y log|x| in double-double; its absolute error is below
//     |z| 2^-103 <= 2^-93.5 for |z| <= 746.
//   exp: z = (128 k + j) log(2)/128 + r, |r| <= log(2)/256, log(2)/128 in
//     three parts (two of 35 bits, so that n Ei is exact); exp r by its Taylor
//     series to r^10 (error < 2^-118), times 2^(j/128) from a table, times 2^k.
//     Results in the subnormal range are rounded once, to an integer multiple
//     of 2^-1074, from the double-double.
//   For integer exponents 2 <= y <= 64 whose power has at most 106
//   significant bits and lies in the normal range, the power is formed
//   exactly in integers and rounded once.
//
// Error bound and correct rounding
// --------------------------------
// Before the final rounding the double-double value differs from the true
// one by less than 2^-90 relative (sin, cos: below 2^-100), that is less than
// 2^-37 ulp of the result, so the returned double is the correctly rounded
// one unless the true value lies that near the midpoint between two doubles.
// Sine and cosine are left at that (within 0.5 + 2^-37 ulp): for an argument
// the chance is about 2^-36, and none of the millions of arguments checked
// against MPFR, those nearest to multiples of pi/2 included, was rounded
// otherwise.
//
// pow is correctly rounded in every case. When the double-double value lies
// within 2^-80 of a rounding boundary n 2^b (a midpoint between two doubles,
// an odd multiple of 2^-1075 in the subnormal range, the edge of overflow),
// the side is decided exactly (math_pow_near.h):
//   - A double y is p/2^k with p odd (or an integer), and |x| = a 2^e with a
//     odd. x^y is a dyadic number, and so can be a midpoint, only when
//     a = c^(2^k) and 2^k divides e (k <= 5 for c > 1, as a < 2^53; for a
//     negative y only c = 1): then x^y = c^p 2^(p e/2^k) is formed in integers
//     and rounded once, ties to even (x^1.5 of the square of an 18-bit odd
//     integer, (m 2^-215)^5 in the subnormal range).
//   - Any other x^y differs from the boundary, and the sign of
//     y log|x| - log(n 2^b) tells the side. It is computed in fixed point
//     (math_wide.h) with 320 fraction bits, then 640, ... up to 5,120 until it
//     exceeds its error bound: log 2 by its atanh series, log m by Newton's
//     iteration on exp, exp by its Taylor series, integer arithmetic only. This
//     path takes about a tenth of a millisecond and runs for about one
//     argument in 2^26 besides the near-ties. Only a power within 2^-5000 of
//     a midpoint, and not on it, would exhaust the 5,120 bits and keep the
//     double-double's rounding; none is known.
//
// Special cases follow C Annex F: sin and cos of +-inf are NaN, of NaN NaN,
// sin(+-0) = +-0, cos(+-0) = 1; pow(x, +-0) = 1 and pow(1, y) = 1 even for NaN,
// pow(-1, y) = +-1 for every integer y (every |y| >= 2^53 is even),
// pow(+-0, y) and pow(+-inf, y) by the sign of y and whether y is an odd
// integer, pow(-1, +-inf) = 1, pow(x, +-inf) by |x| < 1 or > 1, a negative
// finite x with a finite non-integer y gives NaN, overflow gives inf and
// underflow zero (both with the sign for negative x and odd integer y).
#pragma once

namespace vantor::freeinput {

double portable_sin(double x);
double portable_cos(double x);
double portable_pow(double x, double y);

}  // namespace vantor::freeinput

// The powers whose double-double value lies within its error bound of a
// rounding boundary (a midpoint between two doubles, the subnormal ones and
// the edge of overflow included), decided exactly. Used by math_pow.cpp.
#pragma once

#include <cstdint>

namespace vantor::freeinput::math_detail {

// n 2^e rounded to the nearest double, ties to even, subnormal results and
// overflow to infinity included.
double round_scaled(std::uint64_t n, long e);

// ax^y rounded to a double when it is exactly n 2^e with an odd n < 2^63, and
// NaN otherwise; for a finite ax > 0, ax != 1, and a finite y != 0.
double exact_dyadic_power(double ax, double y);

// The sign of ax^y - n 2^e for n < 2^60, with ax and y as above, |y| < 2^64,
// and ax^y not equal to n 2^e; 0 when even 5,120 bits do not settle it.
int compare_power(double ax, double y, std::uint64_t n, long e);

}  // namespace vantor::freeinput::math_detail

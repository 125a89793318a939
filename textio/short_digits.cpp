#include "textio/short_digits.h"

#include <array>
#include <bit>
#include <cmath>

namespace vantor::textio {
namespace {

// Powers of ten that are exact in binary.
constexpr std::array<double, 23> kExact{1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// x times 10^k with at most two roundings; `ulps` receives the bound on the
// relative error in units of 2^-53. False when k is out of reach.
bool scale_by_power(double x, int k, double& y, int& ulps) {
  if (k >= 0 && k <= 22) {
    y = x * kExact[static_cast<std::size_t>(k)];
    ulps = 1;
  } else if (k < 0 && k >= -22) {
    y = x / kExact[static_cast<std::size_t>(-k)];
    ulps = 1;
  } else if (k > 22 && k <= 44) {
    y = x * 1e22 * kExact[static_cast<std::size_t>(k - 22)];
    ulps = 2;
  } else if (k < -22 && k >= -44) {
    y = x / 1e22 / kExact[static_cast<std::size_t>(-k - 22)];
    ulps = 2;
  } else {
    return false;
  }
  return std::isnormal(y);
}

// Rounds y (an approximation of the exact y* within rel_error * y) to the
// nearest integer of y*, ties to even; false when y is too close to a
// half-way point to tell.
bool round_clear_of_ties(double y, double rel_error, std::uint64_t& n) {
  const auto whole = static_cast<std::uint64_t>(y);  // y >= 0: truncation is the floor
  const auto floor_y = static_cast<double>(whole);
  const double frac = y - floor_y;  // exact for y < 2^53
  const double margin = y * rel_error + 0x1p-60;
  if (std::fabs(frac - 0.5) <= margin) return false;
  n = whole + (frac > 0.5 ? 1 : 0);
  return true;
}

}  // namespace

bool round_significant(double x, int significant, std::uint64_t& digits, int& exponent) {
  if (!(x > 0.0) || !std::isfinite(x) || significant < 1 || significant > 15) return false;
  if (!std::isnormal(x)) return false;
  // The binary exponent from the bits, then floor(e2 log10 2) in integers
  // (78913 / 2^18 is log10 2 to 6 digits, exact in floor for |e2| < 1700):
  // floor(log10(x)) is this estimate or one more.
  const int e2 = static_cast<int>((std::bit_cast<std::uint64_t>(x) >> 52) & 0x7FF) - 1023;
  int e10 = (e2 * 78913) >> 18;
  double y = 0.0;
  int ulps = 0;
  if (!scale_by_power(x, significant - 1 - e10, y, ulps)) return false;
  const auto top = static_cast<double>(kPowersOfTen[static_cast<std::size_t>(significant)]);
  if (y >= top) {
    ++e10;
    if (!scale_by_power(x, significant - 1 - e10, y, ulps) || y >= top) return false;
  }
  std::uint64_t n = 0;
  // 2^-53 per rounding, with room to spare.
  if (!round_clear_of_ties(y, ulps * 0x1p-52, n)) return false;
  if (n >= kPowersOfTen[static_cast<std::size_t>(significant)]) {
    n /= 10;  // a carry through all digits: 99999.7 -> 100000 -> 10000, one decade up
    ++e10;
  }
  if (n < kPowersOfTen[static_cast<std::size_t>(significant - 1)]) return false;
  digits = n;
  exponent = e10;
  return true;
}

bool round_fixed(double x, int decimals, std::uint64_t& scaled) {
  if (!(x >= 0.0) || decimals < 0 || decimals > 6 || !(x < 1e9)) return false;
  if (x == 0.0) {
    scaled = 0;
    return true;
  }
  const double y = x * kExact[static_cast<std::size_t>(decimals)];
  if (decimals == 0) return round_clear_of_ties(y, 0.0, scaled);
  return round_clear_of_ties(y, 0x1p-52, scaled);
}

}  // namespace vantor::textio

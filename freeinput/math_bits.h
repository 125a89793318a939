// Bit-level helpers of freeinput/math: powers of two and integer tests built
// from the IEEE 754 encoding, exact on every platform.
#pragma once

#include <bit>
#include <cstdint>

namespace vantor::freeinput::math_detail {

inline std::uint64_t bits_of(double x) {
  return std::bit_cast<std::uint64_t>(x);
}

// 2^k for -1022 <= k <= 1023.
inline double pow2(int k) {
  return std::bit_cast<double>(static_cast<std::uint64_t>(k + 1023) << 52);
}

// The NaN of an invalid operation (sin(inf), pow(-2, 0.5)): the quiet NaN with
// the sign bit set that x86 SSE produces for 0/0 and glibc returns.
inline double invalid_nan() { return std::bit_cast<double>(0xFFF8000000000000ULL); }

inline double abs_of(double x) {
  return std::bit_cast<double>(bits_of(x) & ~(1ULL << 63));
}

inline bool sign_bit(double x) {
  return (bits_of(x) >> 63) != 0;
}

// x rounded to an integer, ties to even, for |x| < 2^51: adding 1.5 * 2^52
// leaves no fraction bits, and the sum is rounded to nearest.
inline double round_to_int(double x) {
  constexpr double shifter = 0x1.8p52;
  return (x + shifter) - shifter;
}

}  // namespace vantor::freeinput::math_detail

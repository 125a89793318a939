// Signed fixed-point numbers of up to 5,120 fraction bits, for the rare
// powers whose double-double value lies too near a rounding boundary.
//
// A value is an integer N in two's complement over 32-bit limbs, read as
// N / 2^(32 f) for f fraction limbs, with 128 bits above the binary point.
// Every operation truncates its exact result toward zero to a multiple of
// 2^(-32 f), so each one errs by less than one unit of the last place; results
// must stay below 2^120 in magnitude. Operands of one operation carry
// the same number of fraction limbs. Integer arithmetic only: the same bits on
// every platform.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace vantor::freeinput::math_detail {

class wide {
 public:
  static constexpr std::size_t max_fraction_limbs = 160;
  static constexpr std::size_t integer_limbs = 4;

  // Zero with the given number of fraction limbs (1 to max_fraction_limbs).
  explicit wide(std::size_t fraction_limbs);
  // +-n 2^e, truncated toward zero.
  static wide scaled(std::uint64_t n, long e, bool negative, std::size_t fraction_limbs);
  // A finite double, truncated toward zero.
  static wide of_double(double d, std::size_t fraction_limbs);

  std::size_t fraction_limbs() const { return fraction_; }
  bool negative() const { return (limbs_[size() - 1] >> 31) != 0; }
  bool is_zero() const;
  // floor(log2 |value|), or a very negative number for zero.
  long magnitude_log2() const;

  wide operator+(const wide& b) const;
  wide operator-(const wide& b) const;
  wide operator-() const;
  wide operator*(const wide& b) const;
  wide divided_by(std::uint32_t d) const;
  wide shifted_right(unsigned bits) const;

 private:
  using limb_array = std::array<std::uint32_t, max_fraction_limbs + integer_limbs>;
  std::size_t size() const { return fraction_ + integer_limbs; }
  limb_array magnitude() const;
  static wide from_magnitude(const limb_array& m, bool negative, std::size_t fraction_limbs);

  std::size_t fraction_;
  limb_array limbs_{};
};

// log 2.
wide wide_ln2(std::size_t fraction_limbs);
// exp a for |a| <= 1.
wide wide_exp(const wide& a);
// log m for m in [1, 2), by Newton's iteration from a guess within 2^-16.
wide wide_log(const wide& m, double guess);

}  // namespace vantor::freeinput::math_detail

// Fixed-point arithmetic of many limbs and log 2, exp and log in it; the
// contract is in math_wide.h.
#include "freeinput/math_wide.h"

#include <bit>

namespace vantor::freeinput::math_detail {

wide::wide(std::size_t fraction_limbs) : fraction_(fraction_limbs) {}

wide wide::scaled(std::uint64_t n, long e, bool negative, std::size_t fraction_limbs) {
  wide r(fraction_limbs);
  long shift = e + 32 * static_cast<long>(fraction_limbs);  // bit index of n's unit
  if (shift < 0) {
    n = shift <= -64 ? 0 : n >> -shift;
    shift = 0;
  }
  limb_array m{};
  const std::size_t index = static_cast<std::size_t>(shift / 32);
  const unsigned offset = static_cast<unsigned>(shift % 32);
  const std::uint64_t low = n << offset;
  const std::uint64_t high = offset == 0 ? 0 : n >> (64 - offset);
  const std::array<std::uint32_t, 3> parts{static_cast<std::uint32_t>(low),
                                           static_cast<std::uint32_t>(low >> 32),
                                           static_cast<std::uint32_t>(high)};
  for (std::size_t i = 0; i < parts.size() && index + i < r.size(); ++i) m[index + i] = parts[i];
  return from_magnitude(m, negative, fraction_limbs);
}

wide wide::of_double(double d, std::size_t fraction_limbs) {
  const std::uint64_t b = std::bit_cast<std::uint64_t>(d);
  const long biased = static_cast<long>((b >> 52) & 0x7FF);
  const std::uint64_t fraction = b & ((1ULL << 52) - 1);
  const std::uint64_t m = biased == 0 ? fraction : fraction | (1ULL << 52);
  const long e = biased == 0 ? -1074 : biased - 1075;
  return scaled(m, e, (b >> 63) != 0, fraction_limbs);
}

bool wide::is_zero() const {
  for (std::size_t i = 0; i < size(); ++i) {
    if (limbs_[i] != 0) return false;
  }
  return true;
}

long wide::magnitude_log2() const {
  const limb_array m = magnitude();
  for (std::size_t i = size(); i-- > 0;) {
    if (m[i] != 0) {
      const long bit = 31 - std::countl_zero(m[i]);
      return 32 * static_cast<long>(i) + bit - 32 * static_cast<long>(fraction_);
    }
  }
  return -1'000'000;
}

wide wide::operator+(const wide& b) const {
  wide r(fraction_);
  std::uint64_t carry = 0;
  for (std::size_t i = 0; i < size(); ++i) {
    const std::uint64_t t = std::uint64_t{limbs_[i]} + b.limbs_[i] + carry;
    r.limbs_[i] = static_cast<std::uint32_t>(t);
    carry = t >> 32;
  }
  return r;
}

wide wide::operator-() const {
  wide r(fraction_);
  std::uint64_t carry = 1;
  for (std::size_t i = 0; i < size(); ++i) {
    const std::uint64_t t = std::uint64_t{static_cast<std::uint32_t>(~limbs_[i])} + carry;
    r.limbs_[i] = static_cast<std::uint32_t>(t);
    carry = t >> 32;
  }
  return r;
}

wide wide::operator-(const wide& b) const {
  return *this + (-b);
}

wide::limb_array wide::magnitude() const {
  return negative() ? (-*this).limbs_ : limbs_;
}

wide wide::from_magnitude(const limb_array& m, bool negative, std::size_t fraction_limbs) {
  wide r(fraction_limbs);
  r.limbs_ = m;
  return negative ? -r : r;
}

wide wide::operator*(const wide& b) const {
  const limb_array ma = magnitude();
  const limb_array mb = b.magnitude();
  const std::size_t n = size();
  std::array<std::uint32_t, 2 * (max_fraction_limbs + integer_limbs)> product{};
  for (std::size_t i = 0; i < n; ++i) {
    if (ma[i] == 0) continue;
    std::uint64_t carry = 0;
    for (std::size_t j = 0; j < n; ++j) {
      const std::uint64_t t = std::uint64_t{ma[i]} * mb[j] + product[i + j] + carry;
      product[i + j] = static_cast<std::uint32_t>(t);
      carry = t >> 32;
    }
    product[i + n] = static_cast<std::uint32_t>(carry);
  }
  limb_array m{};
  for (std::size_t k = 0; k < n; ++k) m[k] = product[k + fraction_];
  return from_magnitude(m, negative() != b.negative(), fraction_);
}

wide wide::divided_by(std::uint32_t d) const {
  limb_array m = magnitude();
  std::uint64_t rest = 0;
  for (std::size_t i = size(); i-- > 0;) {
    const std::uint64_t current = (rest << 32) | m[i];
    m[i] = static_cast<std::uint32_t>(current / d);
    rest = current % d;
  }
  return from_magnitude(m, negative(), fraction_);
}

wide wide::shifted_right(unsigned bits) const {
  const limb_array m = magnitude();
  limb_array r{};
  const std::size_t limbs = bits / 32;
  const unsigned offset = bits % 32;
  for (std::size_t i = 0; i + limbs < size(); ++i) {
    std::uint64_t pair = m[i + limbs];
    if (i + limbs + 1 < size()) pair |= std::uint64_t{m[i + limbs + 1]} << 32;
    r[i] = static_cast<std::uint32_t>(pair >> offset);
  }
  return from_magnitude(r, negative(), fraction_);
}

// log 2 = 2 atanh(1/3) = sum over i >= 0 of 2 / ((2i + 1) 3^(2i + 1)). Each
// step truncates twice, so the error is below the number of terms, W/3 units.
wide wide_ln2(std::size_t fraction_limbs) {
  wide power = wide::scaled(2, 0, false, fraction_limbs).divided_by(3);
  wide sum = power;
  for (std::uint32_t i = 1; !(power = power.divided_by(9)).is_zero(); ++i) {
    sum = sum + power.divided_by(2 * i + 1);
  }
  return sum;
}

// exp a = (exp(a / 2^8))^(2^8), the inner one by its Taylor series until the
// terms vanish. Eight squarings multiply the relative error by 2^8.
wide wide_exp(const wide& a) {
  constexpr unsigned kSquarings = 8;
  const wide small = a.shifted_right(kSquarings);
  const wide one = wide::scaled(1, 0, false, a.fraction_limbs());
  wide sum = one;
  wide term = one;
  for (std::uint32_t i = 1; !(term = (term * small).divided_by(i)).is_zero(); ++i) {
    sum = sum + term;
  }
  for (unsigned i = 0; i < kSquarings; ++i) sum = sum * sum;
  return sum;
}

// Newton's iteration for exp(L) = m: L' = L + m exp(-L) - 1, whose error is
// about half the square of the previous one; it stops once the correction
// is below 2^-(W/2 + 8), so that the next one would be below 2^-(W + 17).
wide wide_log(const wide& m, double guess) {
  const std::size_t f = m.fraction_limbs();
  const wide one = wide::scaled(1, 0, false, f);
  const long settled = -16 * static_cast<long>(f) - 8;
  wide l = wide::of_double(guess, f);
  for (int i = 0; i < 40; ++i) {
    const wide correction = m * wide_exp(-l) - one;
    l = l + correction;
    if (correction.magnitude_log2() < settled) break;
  }
  return l;
}

}  // namespace vantor::freeinput::math_detail

// The digits of a number field: the blanks before a right-aligned text, the
// decimal digits of an integer, two at a time. Shared by the stages of
// number_format (the F fast path, the general paths, the 1PE12.4 kernel).
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "textio/format/powers_of_ten.h"

namespace vantor::textio::detail {

// Blanks the columns left of a right-aligned text of `length` columns and
// returns where the text starts. The caller has checked that the text fits.
// The usual pad of a number field is a few columns: one fixed-size store of
// blanks that the text then overwrites, instead of a call per field.
inline char* open_right(std::span<char> field, std::size_t length) {
  constexpr std::size_t kStore = 8;
  const std::size_t pad = field.size() - length;
  if (pad <= kStore && field.size() >= kStore) {
    std::memcpy(field.data(), "        ", kStore);
  } else {
    std::memset(field.data(), ' ', pad);
  }
  return field.data() + pad;
}

// "00" to "99": two digits at a time.
inline constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (int k = 0; k < 100; ++k) {
    pairs[static_cast<std::size_t>(2 * k)] = static_cast<char>('0' + k / 10);
    pairs[static_cast<std::size_t>(2 * k + 1)] = static_cast<char>('0' + k % 10);
  }
  return pairs;
}();

// Writes the decimal digits of n, exactly `count` of them, ending before end.
// A 32-bit n divides by 100 in narrower (cheaper) steps.
template <class Unsigned>
void put_digits(char* end, Unsigned n, std::size_t count) {
  for (; count >= 2; count -= 2) {
    end -= 2;
    std::memcpy(end, &kDigitPairs[static_cast<std::size_t>(n % 100) * 2], 2);
    n /= 100;
  }
  if (count == 1) *--end = static_cast<char>('0' + n % 10);
}

// Decimal digits of v, none for 0.
inline std::size_t decimal_digits(std::uint64_t v) {
  if (v == 0) return 0;
  const auto t =
      static_cast<std::size_t>((std::bit_width(v) * 1233) >> 12);  // 1233 / 2^12: log10 2
  return t + (v >= kPowersOfTen[t] ? 1 : 0);
}

}  // namespace vantor::textio::detail

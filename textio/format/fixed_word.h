// The fast path of Fw.d: the integer that the value rounds to at d decimals,
// below 10^8, as one word of eight digit characters, placed with four stores
// (the blanks and the sign included). No loop over the digits, no division
// beyond the split into halves, pairs and digits in one multiplication each.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace vantor::textio::detail {

// The eight decimal digits of n < 10^8, most significant first, as a
// little-endian word of digit values (0 to 9, not yet characters): the two halves of four digits,
// each split into pairs and the pairs into digits, all lanes in one multiplication.
[[gnu::always_inline]] inline std::uint64_t eight_digits(std::uint32_t n) {
  const std::uint32_t high = n / 10000;
  std::uint64_t x = high | std::uint64_t{n - high * 10000} << 32;         // 32-bit lanes < 10^4
  const std::uint64_t hundreds = (x * 10486) >> 20 & 0x0000007F0000007F;  // lane / 100
  x = hundreds | (x - hundreds * 100) << 16;                              // 16-bit lanes < 100
  const std::uint64_t tens = (x * 103) >> 10 & 0x000F000F000F000F;        // lane / 10
  x = tens | (x - tens * 10) << 8;                                        // bytes < 10
  return x;
}

// Fw.d (1 <= d <= 7, d + 9 <= w <= d + 17) of a value whose magnitude times
// 10^d rounds to scaled, below 10^8, when the sign and the integer digits fit
// in the eight digits of that word: the text of put_fixed in four stores.
// False, with nothing written, otherwise.
template <std::size_t d>
[[gnu::always_inline]] inline bool put_fixed_word_of(std::span<char> field, std::uint64_t scaled,
                                                     bool negative) {
  if constexpr (std::endian::native != std::endian::little) return false;
  const std::size_t w = field.size();
  if (w < d + 9 || w > d + 17 || scaled >= 100000000) return false;
  const bool sign = negative && scaled != 0;
  std::uint64_t word = eight_digits(static_cast<std::uint32_t>(scaled));
  // The zeros before the integer digits (the first bytes of the word) become
  // blanks, all but the "0" before the point; the last of them the sign.
  const std::size_t blanks =
      std::min<std::size_t>(static_cast<std::size_t>(std::countr_zero(word)) / 8, 7 - d);
  if (sign && blanks == 0) return false;
  const std::uint64_t blank_mask = (std::uint64_t{1} << (8 * blanks)) - 1;
  word = ((word + 0x3030303030303030) & ~blank_mask) | (0x2020202020202020 & blank_mask);
  if (sign) word |= std::uint64_t{'-' ^ ' '} << (8 * blanks - 8);
  // Columns: blanks, the integer part at [w-9, w-d-1), the point, d decimals.
  char* const end = field.data() + w;
  std::memcpy(field.data(), "        ", 8);  // the w - d - 9 columns before the word, and more
  std::memcpy(end - 8, &word, 8);  // the decimals in place, the columns before them for now
  const std::uint64_t integer_word = word << (8 * d) | 0x2020202020202020 >> (64 - 8 * d);
  std::memcpy(end - 9 - d, &integer_word, 8);
  end[-1 - static_cast<std::ptrdiff_t>(d)] = '.';
  return true;
}

// put_fixed_word_of for the decimals of a run-time layout; false for d = 0 and
// d above 7.
inline bool put_fixed_word(std::span<char> field, std::uint64_t scaled, std::size_t d,
                           bool negative) {
  switch (d) {
    case 1:
      return put_fixed_word_of<1>(field, scaled, negative);
    case 2:
      return put_fixed_word_of<2>(field, scaled, negative);
    case 3:
      return put_fixed_word_of<3>(field, scaled, negative);
    case 4:
      return put_fixed_word_of<4>(field, scaled, negative);
    case 5:
      return put_fixed_word_of<5>(field, scaled, negative);
    case 6:
      return put_fixed_word_of<6>(field, scaled, negative);
    case 7:
      return put_fixed_word_of<7>(field, scaled, negative);
    default:
      return false;
  }
}

}  // namespace vantor::textio::detail

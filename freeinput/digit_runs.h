// Eight characters at a time: the length of a run of decimal digits and the
// value of a short run, without a branch per digit.
//
// The characters are loaded as one 64-bit word, first character in the low
// byte, so the caller must have eight readable bytes at p (the line field has
// that slack after its sentinel). The bytes after the run are never used for
// the value.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace vantor::freeinput {

inline constexpr std::uint64_t kEveryByte = 0x0101010101010101;
inline constexpr std::uint64_t kHighBits = 0x8080808080808080;

// The eight characters at p, the first in the low byte.
inline std::uint64_t load_eight(const char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}

// The high bit of the lowest non-digit byte of word is set (and those of
// some later bytes), none below it: the digit run length is where it stands.
//
// A byte b is a digit when b - '0' does not go below zero and b + ('~' - '9')
// does not reach 0x80. Per byte: (b + 0x46) has its high bit set for b in
// 0x3A..0xB9, and (b - 0x30) for b below 0x30 or from 0xB0 on, so the union
// covers every non-digit and no digit. The word-wide add and subtract can
// carry or borrow into a higher byte only out of a non-digit byte, so the
// lowest marked byte, and whether there is one at all, are exact.
inline std::uint64_t non_digit_marks(std::uint64_t word) {
  return ((word + 0x46 * kEveryByte) | (word - 0x30 * kEveryByte)) & kHighBits;
}

// How many of the eight characters of word, from the first, are digits (0 to 8).
inline int digit_run_length(std::uint64_t word) {
  const std::uint64_t marks = non_digit_marks(word);
  return marks == 0 ? 8 : std::countr_zero(marks) / 8;
}

// True when all eight characters of word are digits.
inline bool all_digits(std::uint64_t word) {
  return non_digit_marks(word) == 0;
}

// The value of the first n (1 to 4) characters of word, all digits.
//
// The digits are moved to the top of the low four bytes so that zeros stand
// before them; then neighbouring bytes are joined into 2-digit values and the
// two of those into the 4-digit value.
inline unsigned short_run_value(std::uint64_t word, int n) {
  std::uint32_t digits = static_cast<std::uint32_t>(word) - 0x30303030U;
  digits <<= 8 * (4 - n);  // n >= 1: at most a 24-bit shift
  // Byte k becomes 10 * (byte k) + (byte k + 1), at most 99, so no byte
  // carries into the next: byte 0 holds the first two digits, byte 2 the last.
  const std::uint32_t pairs = digits * 10 + (digits >> 8);
  return (pairs & 0xFF) * 100 + ((pairs >> 16) & 0xFF);
}

}  // namespace vantor::freeinput

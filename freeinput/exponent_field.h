// The damage field of the raw files, "  1.2345E-03": an optional sign, a
// digit, a point, four digits, E, the exponent's sign and two digits, ended by
// a blank, a comma or the end of the line. It is recognised from two words of
// eight characters, with no branch per character.
//
// Its value is the one the plain number pass gives for the same characters,
// to the last bit: the digit plus the fraction of the four digits from the
// same table, times the same power of ten. Any other form is declined and
// left to that pass.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "freeinput/digit_runs.h"
#include "freeinput/plain_number.h"

namespace vantor::freeinput {

// 10^0 to 10^99 and 10^-0 to 10^-99 from the power table, as the
// plain number pass scales.
inline constexpr std::array<double, 200> kTwoDigitPowers = [] {
  std::array<double, 200> powers{};
  for (int k = 0; k < 100; ++k) {
    powers[static_cast<std::size_t>(k)] = pow10_table[static_cast<std::size_t>(k - kPow10Low)];
    powers[static_cast<std::size_t>(100 + k)] =
        pow10_table[static_cast<std::size_t>(-k - kPow10Low)];
  }
  return powers;
}();

// True when all eight characters of word are digits (see digit_run_length).
inline bool all_digits(std::uint64_t word) {
  return (((word + 0x46 * kEveryByte) | (word - 0x30 * kEveryByte)) & kHighBits) == 0;
}

// The value of a checked damage field: its digit before the point, its
// characters 2 to 9 ("ddddE-dd") as a word, and its sign.
inline double damage_value(unsigned lead, std::uint64_t tail, bool negative) {
  const double fraction = kFractionQuad[short_run_value(tail, 4)];
  // The exponent's digits d1 d2 in bytes 6 and 7; "E-" picks the negative half.
  const std::uint64_t digits = (tail >> 48) - 0x3030;
  const bool small = ((tail >> 40) & 0xFF) == '-';
  const std::size_t power = (digits & 0xFF) * 10 + (digits >> 8) + (small ? 100 : 0);
  const double x = (static_cast<double>(lead) + fraction) * kTwoDigitPowers[power];
  return negative ? -x : x;
}

// Recognises the field at p of a prepared line whose sentinel stands at end
// (with the line field's slack after it). Returns the position of the field
// end after the number, or nullptr when the field has another form.
inline const char* scan_exponent_field(const char* p, const char* end, double& value) {
  const bool negative = *p == '-';
  const char* const q = p + (negative || *p == '+' ? 1 : 0);
  const unsigned lead = static_cast<unsigned char>(q[0]) - unsigned{'0'};
  if (lead > 9 || q[1] != '.') return nullptr;
  // Characters 2 to 9, "ddddE-dd", in one word: E and its sign in bytes 4
  // and 5, the fraction digits below them, the exponent digits above.
  const std::uint64_t tail = load_eight(q + 2);
  const auto marks = static_cast<std::uint32_t>(tail >> 32) & 0xFFFFU;
  if (marks != 0x2B45U && marks != 0x2D45U) return nullptr;  // "E+" or "E-"
  constexpr std::uint64_t kMarkBytes = 0x0000FFFF00000000;
  constexpr std::uint64_t kZeros = 0x0000303000000000;  // '0' in place of E and the sign
  if (!all_digits((tail & ~kMarkBytes) | kZeros)) return nullptr;
  // A shorter field has met the sentinel before character 10.
  const char* const after = q + 10;
  if (after != end && *after != ' ' && *after != ',') return nullptr;

  value = damage_value(lead, tail, negative);
  return after;
}

}  // namespace vantor::freeinput

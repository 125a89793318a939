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

// The powers of the two-digit exponents, indexed straight by the characters:
// (d1 - '0') + 256 * (d2 - '0') for the digits, plus 4096 when the sign is
// '+' (bit 1 of '+' is set, of '-' clear). Entries no exponent reaches stay 0.
inline constexpr std::size_t kExponentKeys = 0x1000 + 0x0909 + 1;
inline constexpr std::array<double, kExponentKeys> kExponentPowers = [] {
  std::array<double, kExponentKeys> powers{};
  for (int d1 = 0; d1 < 10; ++d1) {
    for (int d2 = 0; d2 < 10; ++d2) {
      const int e = 10 * d1 + d2;
      const auto key = static_cast<std::size_t>(d1 + 256 * d2);
      powers[key] = pow10_table[static_cast<std::size_t>(-e - kPow10Low)];
      powers[key + 0x1000] = pow10_table[static_cast<std::size_t>(e - kPow10Low)];
    }
  }
  return powers;
}();

// The value of each digit character as a double, indexed by the character,
// so that the digit before the point is one load.
inline constexpr std::array<double, '9' + 1> kDigitCharValues = [] {
  std::array<double, '9' + 1> values{};
  for (int d = 0; d < 10; ++d) values[static_cast<std::size_t>('0' + d)] = d;
  return values;
}();

// The value of a checked damage field from its parts: the digit before the
// point (its character), the four after it read as an integer, the key of its
// exponent in kExponentPowers, and its sign. The one formula of both damage
// passes.
inline double damage_from_parts(unsigned char lead, std::size_t quad, std::size_t key,
                                bool negative) {
  const double x = (kDigitCharValues[lead] + kFractionQuad[quad]) * kExponentPowers[key];
  return negative ? -x : x;
}

// The value of a checked damage field: its digit before the point (the
// character), its characters 2 to 9 ("ddddE-dd") as a word, and its sign.
inline double damage_value(unsigned char lead, std::uint64_t tail, bool negative) {
  // The exponent's sign in byte 5, its digits d1 d2 in bytes 6 and 7.
  const auto key = static_cast<std::size_t>(((tail >> 48) - 0x3030) | ((tail >> 29) & 0x1000));
  return damage_from_parts(lead, short_run_value(tail, 4), key, negative);
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
  if (!ends_field(after, end)) return nullptr;

  value = damage_value(static_cast<unsigned char>(q[0]), tail, negative);
  return after;
}

}  // namespace vantor::freeinput

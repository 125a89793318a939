// The free-form integer of one answer line, read in bounded memory.
//
// Blanks and tabs before the token are passed over; a slash or a comma before
// it leaves the target as it was; the token runs to the next blank, tab, comma
// or slash, and the rest of the line is dropped. A token is an optional repeat
// count "r*" (digits, not all zeros: only the value after the star counts, and
// "r*" alone leaves the target) and a number
//
//   [sign] digits [. digits] [letter [sign] digits]     (letter D, E or Q, either case)
//
// with at least one digit before the letter. Without point and letter it is an
// integer and must lie in the 32-bit range; any other form is read as the
// nearest double and truncated toward zero, and must then lie in that range.
// Length decides nothing: leading zeros, long fractions, long repeat counts
// and long mantissas scaled back by their exponent read as their form says.
//
// The line may be fed in pieces of any size; the scan keeps at most a few
// hundred bytes whatever the length of the line.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vantor::textio {

enum class answer_outcome : std::uint8_t {
  value,         // the target took the value
  kept,          // a slash, a null value or a bare repeat count: the target is kept
  no_value,      // the line ended before a value, a comma or a slash
  syntax_error,  // a token of no number form
  out_of_range,  // a value outside the 32-bit range
};

namespace detail {

// The number after the repeat count, one character at a time. Of the
// significant digits the first kKeptDigits are kept and the rest only tell
// whether one of them is non-zero; leading zeros are counted, not kept. That
// decides the nearest double: a decimal that lies on the halfway point between
// two doubles has at most 767 significant digits, so a further non-zero digit
// only has to be known to be there (a sticky digit), not where.
class number_reader {
 public:
  void feed(char c);
  answer_outcome finish(int& target) const;

 private:
  enum class part : std::uint8_t { start, whole, fraction, exponent_start, exponent };
  static constexpr std::size_t kKeptDigits = 800;
  // Exponents beyond any double's, however many digits they are written with.
  static constexpr std::int64_t kExponentCap = 1'000'000'000;

  void whole_digit(char c);
  void fraction_digit(char c);
  void keep(char c);
  void exponent_letter(char c);
  double real_value() const;

  part part_ = part::start;
  bool bad_ = false;
  bool negative_ = false;
  bool point_ = false;
  bool exponent_negative_ = false;
  bool exponent_signed_ = false;     // a sign after the letter, no digit yet
  bool sticky_ = false;              // a non-zero digit beyond the kept ones
  std::size_t digits_seen_ = 0;      // digits of the mantissa, zeros included
  std::int64_t integer_ = 0;         // the integer form's magnitude, up to 2^31 + 1
  std::int64_t point_position_ = 0;  // of the point after the first significant digit
  std::int64_t exponent_ = 0;
  std::size_t kept_ = 0;
  std::array<char, kKeptDigits> digits_{};
};

// A token: the repeat count, then the number.
class token_reader {
 public:
  void feed(char c);
  answer_outcome finish(int& target) const;

 private:
  number_reader number_;
  bool refused_ = false;
  bool counted_ = false;  // a star was met
  bool count_digits_only_ = true;
  bool count_nonzero_ = false;
  std::size_t before_star_ = 0;
  std::size_t after_star_ = 0;
};

}  // namespace detail

class integer_answer_scan {
 public:
  void feed(std::string_view part);
  // At the end of the line; the target takes the value when there is one.
  answer_outcome finish(int& target) const;

 private:
  enum class state : std::uint8_t { before, token, after };
  state state_ = state::before;
  bool has_token_ = false;
  detail::token_reader token_;
};

}  // namespace vantor::textio

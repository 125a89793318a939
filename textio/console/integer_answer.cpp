#include "textio/console/integer_answer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <system_error>

namespace vantor::textio {
namespace {

bool is_separator_blank(char c) {
  return c == ' ' || c == '\t';
}
bool is_token_end(char c) {
  return is_separator_blank(c) || c == ',' || c == '/';
}
bool is_digit(char c) {
  return c >= '0' && c <= '9';
}
bool is_exponent_letter(char c) {
  return c == 'D' || c == 'E' || c == 'Q' || c == 'd' || c == 'e' || c == 'q';
}
bool is_sign(char c) {
  return c == '+' || c == '-';
}

// A double truncated toward zero, if it lies in the 32-bit range.
answer_outcome truncated(double value, int& target) {
  const double whole = std::trunc(value);
  if (!(whole >= -2147483648.0 && whole <= 2147483647.0)) return answer_outcome::out_of_range;
  target = static_cast<int>(whole);
  return answer_outcome::value;
}

}  // namespace

namespace detail {

void number_reader::feed(char c) {
  if (bad_) return;
  switch (part_) {
    case part::start:
      part_ = part::whole;
      if (is_sign(c)) {
        negative_ = c == '-';
        return;
      }
      [[fallthrough]];
    case part::whole:
      if (is_digit(c)) return whole_digit(c);
      if (c == '.') {
        part_ = part::fraction;
        point_ = true;
        return;
      }
      return exponent_letter(c);
    case part::fraction:
      if (is_digit(c)) return fraction_digit(c);
      return exponent_letter(c);
    case part::exponent_start:
      part_ = part::exponent;
      if (is_sign(c)) {
        exponent_negative_ = c == '-';
        exponent_signed_ = true;
        return;
      }
      [[fallthrough]];
    case part::exponent:
      if (!is_digit(c)) {
        bad_ = true;
        return;
      }
      exponent_signed_ = false;
      exponent_ = std::min<std::int64_t>(exponent_ * 10 + (c - '0'), kExponentCap);
      return;
  }
}

answer_outcome number_reader::finish(int& target) const {
  if (bad_ || digits_seen_ == 0 || exponent_signed_) return answer_outcome::syntax_error;
  if (!point_ && part_ == part::whole) {
    const std::int64_t value = negative_ ? -integer_ : integer_;
    if (value < INT32_MIN || value > INT32_MAX) return answer_outcome::out_of_range;
    target = static_cast<int>(value);
    return answer_outcome::value;
  }
  return truncated(real_value(), target);
}

void number_reader::whole_digit(char c) {
  ++digits_seen_;
  // Beyond 2^31 the integer form is out of range already: it stops growing.
  if (integer_ <= 2147483648LL) integer_ = integer_ * 10 + (c - '0');
  if (kept_ == 0 && c == '0') return;  // a leading zero
  ++point_position_;
  keep(c);
}

void number_reader::fraction_digit(char c) {
  ++digits_seen_;
  if (kept_ == 0 && c == '0') {
    --point_position_;  // a zero between the point and the first significant digit
    return;
  }
  keep(c);
}

void number_reader::keep(char c) {
  if (kept_ < kKeptDigits) {
    digits_[kept_++] = c;
  } else if (c != '0') {
    sticky_ = true;
  }
}

void number_reader::exponent_letter(char c) {
  if (is_exponent_letter(c) && digits_seen_ > 0) {
    part_ = part::exponent_start;
  } else {
    bad_ = true;
  }
}

// The value is 0.d1 d2 ... dk [1] x 10^(point position +/- exponent), the
// sticky "1" standing for the dropped digits; read as the nearest double.
double number_reader::real_value() const {
  if (kept_ == 0) return negative_ ? -0.0 : 0.0;
  const std::int64_t scale = std::clamp<std::int64_t>(
      point_position_ + (exponent_negative_ ? -exponent_ : exponent_), -kExponentCap, kExponentCap);
  std::array<char, kKeptDigits + 32> text{};
  char* out = text.data();
  if (negative_) *out++ = '-';
  *out++ = '0';
  *out++ = '.';
  out = std::copy_n(digits_.begin(), kept_, out);
  if (sticky_) *out++ = '1';
  *out++ = 'e';
  out = std::to_chars(out, text.data() + text.size(), scale).ptr;
  double value = 0.0;
  if (std::from_chars(text.data(), out, value).ec == std::errc::result_out_of_range) {
    // Beyond the largest double, or below the smallest: infinite or zero.
    value = scale > 0 ? HUGE_VAL : 0.0;
    if (negative_) value = -value;
  }
  return value;
}

void token_reader::feed(char c) {
  if (refused_) return;
  if (c == '*' && !counted_) {
    // What came before the first star was a repeat count, or the token is
    // refused; the number starts after it.
    refused_ = before_star_ == 0 || !count_digits_only_ || !count_nonzero_;
    counted_ = true;
    number_ = number_reader{};
    return;
  }
  if (counted_) {
    ++after_star_;
  } else {
    ++before_star_;
    count_digits_only_ = count_digits_only_ && is_digit(c);
    count_nonzero_ = count_nonzero_ || (c >= '1' && c <= '9');
  }
  number_.feed(c);
}

answer_outcome token_reader::finish(int& target) const {
  if (refused_) return answer_outcome::syntax_error;
  if (counted_ && after_star_ == 0) return answer_outcome::kept;
  return number_.finish(target);
}

}  // namespace detail

void integer_answer_scan::feed(std::string_view part) {
  for (const char c : part) {
    if (state_ == state::after) return;
    if (state_ == state::before) {
      if (is_separator_blank(c)) continue;
      state_ = state::token;
      if (c == '/' || c == ',') {
        state_ = state::after;  // a slash or a null value
        continue;
      }
      has_token_ = true;
    }
    if (is_token_end(c)) {
      state_ = state::after;
      continue;
    }
    token_.feed(c);
  }
}

answer_outcome integer_answer_scan::finish(int& target) const {
  if (state_ == state::before) return answer_outcome::no_value;
  if (!has_token_) return answer_outcome::kept;
  return token_.finish(target);
}

}  // namespace vantor::textio

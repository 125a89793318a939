// The entry points of the number fields: the integer, text and non-finite
// fields whole, the F and E fields through their fast paths (f13_3.h,
// fixed_word.h, e12_4.h) with the general paths behind them (format_general.h).
#include "textio/format/number_format.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "textio/format/e12_4.h"
#include "textio/format/f13_3.h"
#include "textio/format/field_digits.h"
#include "textio/format/fixed_word.h"
#include "textio/format/format_general.h"
#include "textio/format/short_digits.h"

namespace vantor::textio {

using detail::open_right;

void format_integer(std::span<char> field, int value, int min_digits) {
  const bool negative = value < 0;
  std::uint32_t magnitude =
      negative ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  std::array<char, 10> reversed{};
  std::size_t digits = 0;
  while (magnitude != 0) {
    reversed[digits++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  }
  const std::size_t min = min_digits < 0 ? 0 : static_cast<std::size_t>(min_digits);
  const std::size_t shown = std::max(digits, min);
  const std::size_t length = shown + (negative ? 1 : 0);
  if (length > field.size()) {
    fill_stars(field);
    return;
  }
  char* out = open_right(field, length);
  if (negative) *out++ = '-';
  for (std::size_t k = digits; k < shown; ++k) *out++ = '0';
  while (digits != 0) *out++ = reversed[--digits];
}

void format_text(std::span<char> field, std::string_view text) {
  if (field.empty()) return;
  if (text.size() >= field.size()) {
    std::memcpy(field.data(), text.data(), field.size());
    return;
  }
  char* out = open_right(field, text.size());
  std::memcpy(out, text.data(), text.size());
}

void format_fixed(std::span<char> field, double value, int decimals, int scale) {
  // Short values without a call: the coordinates' F13.3 by its kernel, the
  // rest as the general path would put them after the same rounding.
  std::uint64_t scaled = 0;
  if (decimals >= 0 && scale >= 0 && round_fixed_fast(std::fabs(value), decimals + scale, scaled)) {
    const bool negative = std::signbit(value);
    if (decimals == 3 && scale == 0 && field.size() == 13 &&
        detail::put_f13_3(field.data(), scaled, negative)) {
      return;
    }
    detail::put_fixed(field, scaled, static_cast<std::size_t>(decimals), negative);
    return;
  }
  detail::format_fixed_general(field, value, decimals, scale);
}

void format_exponent(std::span<char> field, double value, int decimals, int scale) {
  if (scale == 1 && decimals == 4 && field.size() == 12) {
    if (!detail::put_e12_4(field.data(), value)) detail::put_e12_4_other(field.data(), value);
    return;
  }
  detail::format_exponent_general(field, value, decimals, scale);
}

namespace {

// 1PE12.4 fields from values[k] on, the first of them a value that the runs
// leave: such values are written between runs.
[[gnu::noinline]] void finish_e12_4_fields(char* out, std::span<const double> values,
                                           std::size_t k) {
  while (true) {
    detail::put_e12_4_other(out + 12 * k, values[k]);
    ++k;
    if (k == values.size()) return;
    k += detail::put_e12_4_run(out + 12 * k, values.data() + k, values.size() - k);
    if (k == values.size()) return;
  }
}

// Fields of another layout, one at a time.
[[gnu::noinline]] void format_exponent_fields(std::span<char> fields,
                                              std::span<const double> values, int decimals,
                                              int scale) {
  char* out = fields.data();
  const std::size_t width = fields.size() / values.size();
  for (const double value : values) {
    format_exponent(std::span<char>(out, width), value, decimals, scale);
    out += width;
  }
}

}  // namespace

void format_exponents(std::span<char> fields, std::span<const double> values, int decimals,
                      int scale) {
  if (values.empty()) return;
  if (fields.size() != 12 * values.size() || decimals != 4 || scale != 1) {
    format_exponent_fields(fields, values, decimals, scale);
    return;
  }
  // A row is one run, as a rule: the rest goes out of line, so that this
  // path saves no registers.
  const std::size_t k = detail::put_e12_4_run(fields.data(), values.data(), values.size());
  if (k != values.size()) finish_e12_4_fields(fields.data(), values, k);
}

}  // namespace vantor::textio

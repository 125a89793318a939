#include "textio/number_format.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <system_error>

#include "textio/short_digits.h"

namespace vantor::textio {

namespace {

// Fixed-point text of any finite double with up to 108 digits after the point:
// 309 integer digits, the point and the decimals.
constexpr std::size_t kFixedBuffer = 512;
// Exponent text with up to 101 significant digits.
constexpr std::size_t kExponentBuffer = 128;

void fill_stars(std::span<char> field) {
  std::fill(field.begin(), field.end(), '*');
}

// Blanks the columns left of a right-aligned text of `length` columns and
// returns where the text starts. The caller has checked that the text fits.
// The usual pad of a number field is a few columns: one fixed-size store of
// blanks that the text then overwrites, instead of a call per field.
char* open_right(std::span<char> field, std::size_t length) {
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
constexpr std::array<char, 200> kDigitPairs = [] {
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

// Decimals of the F fields that the integer rounding serves.
constexpr std::size_t kFastDecimals = 9;

// Lays out an Fw.d text of integer_digits digits before the point: blanks,
// the sign, a "0" before the point when the integer part is empty and there
// is room. Returns where the integer digits go, or nullptr after filling the
// field with asterisks when the text does not fit.
char* open_fixed(std::span<char> field, bool sign, std::size_t integer_digits, std::size_t d) {
  std::size_t length = (sign ? 1 : 0) + integer_digits + 1 + d;
  bool lead_zero = false;
  if (integer_digits == 0 && (d == 0 || length + 1 <= field.size())) {
    lead_zero = true;
    ++length;
  }
  if (length > field.size()) {
    fill_stars(field);
    return nullptr;
  }
  char* out = open_right(field, length);
  if (sign) *out++ = '-';
  if (lead_zero) *out++ = '0';
  return out;
}

// Fw.d text of a value whose magnitude times 10^d rounds to `scaled`: the same
// rules as the general path of format_fixed below.
void put_fixed(std::span<char> field, std::uint64_t scaled, std::size_t d, bool negative) {
  const std::uint64_t unit = kPowersOfTen[d];
  const std::uint64_t integer = scaled / unit;
  std::size_t integer_digits = 0;
  while (integer_digits < kPowersOfTen.size() && integer >= kPowersOfTen[integer_digits]) {
    ++integer_digits;
  }
  const bool sign = negative && scaled != 0;
  char* out = open_fixed(field, sign, integer_digits, d);
  if (out == nullptr) return;
  put_digits(out + integer_digits, integer, integer_digits);
  out += integer_digits;
  *out++ = '.';
  put_digits(out + d, scaled - integer * unit, d);
}

// Significant digits that round_significant serves.
constexpr int kMaxShortDigits = 15;

// 1PEw.d of a nonzero finite value from the short rounding (`exact`: with its
// exact fallback): one digit, the point, d digits, then "E+dd" or "+ddd".
// False, with nothing written, where the general path must answer (zero,
// non-finite, out of reach). Inlined so that a constant d unrolls the digits.
template <bool exact>
[[gnu::always_inline]] inline bool put_scaled_exponent(std::span<char> field, double value,
                                                       std::size_t d) {
  std::uint64_t digits = 0;
  int exponent10 = 0;
  const double x = std::fabs(value);
  const int significant = static_cast<int>(d) + 1;
  if (exact ? !round_significant(x, significant, digits, exponent10)
            : !round_significant_fast(x, significant, digits, exponent10)) {
    return false;
  }
  const bool negative = std::signbit(value);
  const std::size_t length = (negative ? 1 : 0) + d + 2 + 4;
  if (length > field.size()) {
    fill_stars(field);
    return true;
  }
  char* out = open_right(field, length);
  if (negative) *out++ = '-';
  // The digits after the point, then the one before it.
  if (d <= 8) {
    put_digits(out + 2 + d, static_cast<std::uint32_t>(digits), d);
    out[0] = static_cast<char>('0' + static_cast<std::uint32_t>(digits) /
                                         static_cast<std::uint32_t>(kPowersOfTen[d]));
  } else {
    put_digits(out + 2 + d, digits, d);
    out[0] = static_cast<char>('0' + digits / kPowersOfTen[d]);
  }
  out[1] = '.';
  out += 2 + d;
  const int magnitude = exponent10 < 0 ? -exponent10 : exponent10;
  if (magnitude <= 99) {
    out[0] = 'E';
    out[1] = exponent10 < 0 ? '-' : '+';
    std::memcpy(out + 2, &kDigitPairs[static_cast<std::size_t>(magnitude) * 2], 2);
  } else {
    out[0] = exponent10 < 0 ? '-' : '+';
    out[1] = static_cast<char>('0' + magnitude / 100);
    std::memcpy(out + 2, &kDigitPairs[static_cast<std::size_t>(magnitude % 100) * 2], 2);
  }
  return true;
}

}  // namespace

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

void format_non_finite(std::span<char> field, double value) {
  const std::string_view text =
      std::isnan(value) ? std::string_view("NaN")
                        : (std::signbit(value) ? std::string_view("-Infinity") : "Infinity");
  if (text.size() + 1 > field.size()) {
    fill_stars(field);
    return;
  }
  std::fill(field.begin(), field.end(), ' ');
  std::memcpy(field.data() + 1, text.data(), text.size());
}

void format_fixed(std::span<char> field, double value, int decimals, int scale) {
  if (!std::isfinite(value)) {
    format_non_finite(field, value);
    return;
  }
  if (decimals < 0 || scale < 0) {
    fill_stars(field);
    return;
  }
  const std::size_t d = static_cast<std::size_t>(decimals);
  // The value times 10^scale rounded to d decimals has the digits of the value
  // rounded to d + scale decimals; only the point moves.
  std::uint64_t scaled = 0;
  if (d <= kFastDecimals && round_fixed(std::fabs(value), decimals + scale, scaled)) {
    put_fixed(field, scaled, d, std::signbit(value));
    return;
  }
  char buf[kFixedBuffer];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, std::fabs(value),
                                       std::chars_format::fixed, decimals + scale);
  if (ec != std::errc{}) {
    fill_stars(field);
    return;
  }
  std::size_t count = static_cast<std::size_t>(end - buf);
  if (decimals + scale > 0) {
    // Drop the point: buf holds the digits only, the last d of them after the point.
    char* point = static_cast<char*>(std::memchr(buf, '.', count));
    if (point != nullptr) {
      std::memmove(point, point + 1, static_cast<std::size_t>(end - point - 1));
      --count;
    }
  }
  const std::size_t integer_end = count - d;
  std::size_t integer_begin = 0;
  while (integer_begin < integer_end && buf[integer_begin] == '0') ++integer_begin;
  bool zero = integer_begin == integer_end;
  for (std::size_t k = integer_end; zero && k < count; ++k) zero = buf[k] == '0';

  const bool sign = std::signbit(value) && !zero;
  const std::size_t integer_digits = integer_end - integer_begin;
  char* out = open_fixed(field, sign, integer_digits, d);
  if (out == nullptr) return;
  std::memcpy(out, buf + integer_begin, integer_digits);
  out += integer_digits;
  *out++ = '.';
  std::memcpy(out, buf + integer_end, d);
}

namespace {

// Every Ew.d that put_scaled_exponent leaves: zero, non-finite, scale factors
// other than 1, values beyond the reach of the integer rounding.
[[gnu::noinline]] void format_exponent_general(std::span<char> field, double value, int decimals,
                                               int scale) {
  if (scale == 1 && decimals >= 0 && decimals < kMaxShortDigits &&
      put_scaled_exponent<true>(field, value, static_cast<std::size_t>(decimals))) {
    return;
  }
  if (!std::isfinite(value)) {
    format_non_finite(field, value);
    return;
  }
  const int significant = scale > 0 ? decimals + 1 : decimals;
  if (scale < 0 || scale > decimals + 1 || significant < 1 || decimals > 100) {
    fill_stars(field);
    return;
  }
  const std::size_t d = static_cast<std::size_t>(decimals);
  const std::size_t w = field.size();

  if (value == 0.0) {
    // "0.", d zeros, "E+00", without sign, whatever the scale factor.
    std::size_t length = d + 5;
    const bool lead_zero = scale > 0 || length + 1 <= w;
    if (lead_zero) ++length;
    if (length > w) {
      fill_stars(field);
      return;
    }
    char* out = open_right(field, length);
    if (lead_zero) *out++ = '0';
    *out++ = '.';
    std::memset(out, '0', d);
    std::memcpy(out + d, "E+00", 4);
    return;
  }

  // Scientific text "D.DDDDe+XX" (or "De+XX"), correctly rounded.
  char buf[kExponentBuffer];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, std::fabs(value),
                                       std::chars_format::scientific, significant - 1);
  if (ec != std::errc{}) {
    fill_stars(field);
    return;
  }
  const char* e =
      static_cast<const char*>(std::memchr(buf, 'e', static_cast<std::size_t>(end - buf)));
  if (e == nullptr) {
    fill_stars(field);
    return;
  }
  int exponent = 0;
  for (const char* p = e + 2; p < end; ++p) exponent = exponent * 10 + (*p - '0');
  if (e[1] == '-') exponent = -exponent;
  exponent = scale > 0 ? exponent - scale + 1 : exponent + 1;
  const int magnitude = exponent < 0 ? -exponent : exponent;
  if (magnitude > 999) {
    fill_stars(field);
    return;
  }

  const bool negative = std::signbit(value);
  const std::size_t sig = static_cast<std::size_t>(significant);
  const std::size_t before = static_cast<std::size_t>(scale);  // digits before the point
  std::size_t length = (negative ? 1 : 0) + sig + 1 + 4;
  bool lead_zero = false;
  if (before == 0 && length + 1 <= w) {
    lead_zero = true;
    ++length;
  }
  if (length > w) {
    fill_stars(field);
    return;
  }
  char* out = open_right(field, length);
  if (negative) *out++ = '-';
  if (lead_zero) *out++ = '0';
  // Digits: buf[0], then buf[2 .. 2 + sig - 1) when there is more than one.
  const auto digit = [&buf](std::size_t k) { return k == 0 ? buf[0] : buf[k + 1]; };
  for (std::size_t k = 0; k < before; ++k) *out++ = digit(k);
  *out++ = '.';
  for (std::size_t k = before; k < sig; ++k) *out++ = digit(k);
  if (magnitude <= 99) {
    *out++ = 'E';
    *out++ = exponent < 0 ? '-' : '+';
  } else {
    *out++ = exponent < 0 ? '-' : '+';
    *out++ = static_cast<char>('0' + magnitude / 100);
  }
  *out++ = static_cast<char>('0' + magnitude / 10 % 10);
  *out = static_cast<char>('0' + magnitude % 10);
}

}  // namespace

void format_exponent(std::span<char> field, double value, int decimals, int scale) {
  // 1PE12.4, the field of every damage written: an inlined copy without calls.
  if (scale == 1 && decimals == 4 && put_scaled_exponent<false>(field, value, 4)) return;
  format_exponent_general(field, value, decimals, scale);
}

}  // namespace vantor::textio

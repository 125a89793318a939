#include "textio/format/format_general.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

#include "textio/format/field_digits.h"
#include "textio/format/field_fill.h"
#include "textio/format/fixed_word.h"
#include "textio/format/short_digits.h"

namespace vantor::textio::detail {
namespace {

// Fixed-point text of any finite double with up to 108 digits after the point:
// 309 integer digits, the point and the decimals.
constexpr std::size_t kFixedBuffer = 512;
// Exponent text with up to 101 significant digits.
constexpr std::size_t kExponentBuffer = 128;

// Significant digits that round_significant serves.
constexpr int kMaxShortDigits = 15;

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
template <class Unsigned>
void put_fixed_digits(std::span<char> field, Unsigned scaled, std::size_t d, bool negative) {
  const auto unit = static_cast<Unsigned>(kPowersOfTen[d]);
  const Unsigned integer = scaled / unit;
  const std::size_t integer_digits = decimal_digits(integer);
  const bool sign = negative && scaled != 0;
  char* out = open_fixed(field, sign, integer_digits, d);
  if (out == nullptr) return;
  put_digits(out + integer_digits, integer, integer_digits);
  out += integer_digits;
  *out++ = '.';
  put_digits(out + d, static_cast<Unsigned>(scaled - integer * unit), d);
}

// 1PEw.d of a nonzero finite value from the short rounding: one digit, the
// point, d digits, then "E+dd". False, with nothing written, where
// the general path must answer (zero, non-finite, out of reach).
bool put_scaled_exponent(std::span<char> field, double value, std::size_t d) {
  std::uint64_t digits = 0;
  int exponent10 = 0;
  const double x = std::fabs(value);
  const int significant = static_cast<int>(d) + 1;
  if (!round_significant(x, significant, digits, exponent10)) return false;
  // round_significant decides decimal exponents from -32 to 43 only (beyond,
  // its integers would pass 2^128): the exponent has two digits. Should its
  // reach ever grow, three-digit exponents go the general way.
  if (exponent10 < -99 || exponent10 > 99) return false;
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
  out[0] = 'E';
  out[1] = exponent10 < 0 ? '-' : '+';
  std::memcpy(out + 2, &kDigitPairs[static_cast<std::size_t>(magnitude) * 2], 2);
  return true;
}

}  // namespace

void put_fixed(std::span<char> field, std::uint64_t scaled, std::size_t d, bool negative) {
  if (put_fixed_word(field, scaled, d, negative)) return;
  if (scaled <= UINT32_MAX) {
    put_fixed_digits(field, static_cast<std::uint32_t>(scaled), d, negative);
  } else {
    put_fixed_digits(field, scaled, d, negative);
  }
}

void format_fixed_general(std::span<char> field, double value, int decimals, int scale) {
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

void format_exponent_general(std::span<char> field, double value, int decimals, int scale) {
  if (scale == 1 && decimals >= 0 && decimals < kMaxShortDigits &&
      put_scaled_exponent(field, value, static_cast<std::size_t>(decimals))) {
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

}  // namespace vantor::textio::detail

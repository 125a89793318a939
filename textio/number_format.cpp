#include "textio/number_format.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <climits>
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

// Decimal digits of v, none for 0.
std::size_t decimal_digits(std::uint64_t v) {
  if (v == 0) return 0;
  const auto t =
      static_cast<std::size_t>((std::bit_width(v) * 1233) >> 12);  // 1233 / 2^12: log10 2
  return t + (v >= kPowersOfTen[t] ? 1 : 0);
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

bool put_fixed_word(std::span<char> field, std::uint64_t scaled, std::size_t d, bool negative) {
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

void put_fixed(std::span<char> field, std::uint64_t scaled, std::size_t d, bool negative) {
  if (put_fixed_word(field, scaled, d, negative)) return;
  if (scaled <= UINT32_MAX) {
    put_fixed_digits(field, static_cast<std::uint32_t>(scaled), d, negative);
  } else {
    put_fixed_digits(field, scaled, d, negative);
  }
}

// Significant digits that round_significant serves.
constexpr int kMaxShortDigits = 15;

// 1PEw.d of a nonzero finite value from the short rounding: one digit, the
// point, d digits, then "E+dd" or "+ddd". False, with nothing written, where
// the general path must answer (zero, non-finite, out of reach).
bool put_scaled_exponent(std::span<char> field, double value, std::size_t d) {
  std::uint64_t digits = 0;
  int exponent10 = 0;
  const double x = std::fabs(value);
  const int significant = static_cast<int>(d) + 1;
  if (!round_significant(x, significant, digits, exponent10)) return false;
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

namespace {

// Every Fw.d the word path of format_fixed leaves.
[[gnu::noinline]] void format_fixed_general(std::span<char> field, double value, int decimals,
                                            int scale) {
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

}  // namespace

void format_fixed(std::span<char> field, double value, int decimals, int scale) {
  // Short values (F13.3 of the coordinates) without a call.
  std::uint64_t scaled = 0;
  if (decimals == 3 && scale == 0) {
    if (round_fixed_fast(std::fabs(value), 3, scaled) &&
        put_fixed_word_of<3>(field, scaled, std::signbit(value))) {
      return;
    }
  } else if (decimals >= 0 && scale >= 0 &&
             round_fixed_fast(std::fabs(value), decimals + scale, scaled) &&
             put_fixed_word(field, scaled, static_cast<std::size_t>(decimals),
                            std::signbit(value))) {
    return;
  }
  format_fixed_general(field, value, decimals, scale);
}

namespace {

// Every Ew.d that put_scaled_exponent leaves: zero, non-finite, scale factors
// other than 1, values beyond the reach of the integer rounding.
[[gnu::noinline]] void format_exponent_general(std::span<char> field, double value, int decimals,
                                               int scale) {
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

// 1PE12.4, the field of every damage written, for positive values from 2^-59
// to 2^14. Within one binade [2^k, 2^(k+1)) of doubles the five-digit rounding
// has one of two decimal exponents E, E + 1: E + 1 from the least x that rounds
// up to 1.0000 x 10^(E+1) (99999.5 x 10^(E-4) or above). Scaled by the exact
// power 10^(4-E), x becomes y from 9999.95 to 99999.5, and y rounded to an
// integer is the five digits.

constexpr int kFirstPower = -59;  // 2^-59 > 10^-18: factors up to 10^22, exact in binary
constexpr int kLastPower = 13;    // 2^14 < 99999.5: factors from 10^0
constexpr std::size_t kBinadeCount = kLastPower - kFirstPower + 1;
constexpr std::uint64_t kFirstBinade = 1023 + kFirstPower;  // biased binary exponent

using u128 = unsigned __int128;

constexpr u128 power_of(u128 base, int n) {
  u128 p = 1;
  for (int i = 0; i < n; ++i) p *= base;
  return p;
}

// 10^q for 0 <= q <= 22: every product on the way is exact.
constexpr double exact_power_of_ten(int q) {
  if (q < 0 || q > 22) throw "power of ten out of the exact range";
  double p = 1.0;
  for (int i = 0; i < q; ++i) p *= 10.0;
  return p;
}

// "E-09": the exponent columns, as a little-endian word.
constexpr std::uint32_t exponent_text(int e) {
  const int m = e < 0 ? -e : e;
  return static_cast<std::uint32_t>('E') | static_cast<std::uint32_t>(e < 0 ? '-' : '+') << 8 |
         static_cast<std::uint32_t>('0' + m / 10) << 16 |
         static_cast<std::uint32_t>('0' + m % 10) << 24;
}

// 2^k < 999995 x 10^(e-5), the carry point of exponent e, in integers.
constexpr bool below_carry_point(int k, int e) {
  u128 left = k >= 0 ? power_of(2, k) : 1;
  u128 right = 999995;
  if (k < 0) right *= power_of(2, -k);
  if (e >= 5) {
    right *= power_of(10, e - 5);
  } else {
    left *= power_of(10, 5 - e);
  }
  return left < right;
}

struct e12_tables {
  // Per binade: bits of the least double that rounds up to the exponent E + 1
  // (all ones when the binade holds none), then per binade and exponent (E,
  // E + 1) the factor 10^(4-E) and the exponent columns.
  std::array<std::uint64_t, kBinadeCount> carry{};
  std::array<double, 2 * kBinadeCount> factor{};
  std::array<std::uint32_t, 2 * kBinadeCount> exponent{};
  // Columns 1 to 8 of the field as one little-endian word: two blanks, the
  // first digit, the point, the next two digits of a three-digit lead t
  // (index t, 100 to 999); the last two digits of the five go in 7 and 8.
  std::array<std::uint64_t, 1000> lead{};
  std::array<std::uint64_t, 100> last{};
};

constexpr e12_tables kE12 = [] {
  e12_tables t{};
  for (int k = kFirstPower; k <= kLastPower; ++k) {
    // E: the least exponent whose carry point lies above 2^k.
    int e = -30;
    while (!below_carry_point(k, e)) ++e;
    const auto b = static_cast<std::size_t>(k - kFirstPower);
    // The least double >= 999995 x 10^(e-5): mantissa ceil(999995 x 10^(e-5) x
    // 2^(52-k)), here (e < 5) ceil(999995 x 2^(47-k+e) / 5^(5-e)) below 2^128.
    if (e >= 5 || 47 - k + e < 0) throw "binade out of the table's range";
    const u128 divisor = power_of(5, 5 - e);
    const u128 m = (999995 * power_of(2, 47 - k + e) + divisor - 1) / divisor;
    if (m <= power_of(2, 52)) throw "carry point below its binade";
    t.carry[b] = m < power_of(2, 53)
                     ? static_cast<std::uint64_t>(k + 1023) << 52 |
                           (static_cast<std::uint64_t>(m) - (std::uint64_t{1} << 52))
                     : ~std::uint64_t{0};
    for (std::size_t up = 0; up < 2; ++up) {
      t.factor[2 * b + up] = exact_power_of_ten(4 - e - static_cast<int>(up));
      t.exponent[2 * b + up] = exponent_text(e + static_cast<int>(up));
    }
  }
  for (std::uint64_t lead = 100; lead < 1000; ++lead) {
    t.lead[lead] = 0x2020 | ('0' + lead / 100) << 16 | std::uint64_t{'.'} << 24 |
                   ('0' + lead / 10 % 10) << 32 | ('0' + lead % 10) << 40;
  }
  for (std::uint64_t p = 0; p < 100; ++p) {
    t.last[p] = ('0' + p / 10) << 48 | ('0' + p % 10) << 56;
  }
  return t;
}();

// y is x 10^(4-E) rounded once: within half a unit of its last place, at most
// 2^-37 below 2^17. Farther than that from a half-way point, y and the exact
// product round to the same integer.
constexpr double kDecided = 0.5 - 0x1p-36;

// 1PE12.4 of a positive value into out[0..11]; false, with nothing written,
// where another path must answer (negative, zero, out of range, non-finite,
// near a half-way point).
[[gnu::always_inline]] inline bool put_e12_4(char* out, double value) {
  if constexpr (std::endian::native != std::endian::little) return false;
  const auto bits = std::bit_cast<std::uint64_t>(value);
  const std::uint64_t b = (bits >> 52) - kFirstBinade;  // a sign bit puts it out of range
  if (b >= kBinadeCount) return false;
  const std::size_t at = 2 * b + 1 - (bits < kE12.carry[b] ? 1 : 0);
  const double y = value * kE12.factor[at];
  const std::uint32_t n = round_to_integer(y);
  if (std::fabs(y - static_cast<double>(n)) >= kDecided) return false;  // y is finite here
  const std::uint64_t word = kE12.lead[n / 100] | kE12.last[n % 100];
  std::memcpy(out, &word, sizeof word);
  std::memcpy(out + 8, &kE12.exponent[at], sizeof kE12.exponent[at]);
  return true;
}

// The fields put_e12_4 leaves: a negative value is its magnitude's text with
// the sign in column 2; the rest goes the general way.
[[gnu::noinline]] void put_e12_4_other(char* out, double value) {
  if (std::signbit(value) && put_e12_4(out, -value)) {
    out[1] = '-';
    return;
  }
  format_exponent_general(std::span<char>(out, 12), value, 4, 1);
}

// 1PE12.4 fields of values[0..count) up to the first value put_e12_4 leaves;
// returns how many it wrote. A leaf, so that its tables and constants stay in
// registers.
[[gnu::noinline]] std::size_t put_e12_4_run(char* out, const double* values, std::size_t count) {
  std::size_t k = 0;
  for (; k + 2 <= count; k += 2, out += 24) {  // two at a time: half the loop's own steps
    if (!put_e12_4(out, values[k])) return k;
    if (!put_e12_4(out + 12, values[k + 1])) return k + 1;
  }
  return k < count && !put_e12_4(out, values[k]) ? k : count;
}

}  // namespace

void format_exponent(std::span<char> field, double value, int decimals, int scale) {
  if (scale == 1 && decimals == 4 && field.size() == 12) {
    if (!put_e12_4(field.data(), value)) put_e12_4_other(field.data(), value);
    return;
  }
  format_exponent_general(field, value, decimals, scale);
}

void format_exponents(std::span<char> fields, std::span<const double> values, int decimals,
                      int scale) {
  if (values.empty()) return;
  char* out = fields.data();
  if (fields.size() == 12 * values.size() && decimals == 4 && scale == 1) {
    // A value the run leaves is written between two runs.
    std::size_t k = 0;
    while (true) {
      k += put_e12_4_run(out + 12 * k, values.data() + k, values.size() - k);
      if (k == values.size()) return;
      put_e12_4_other(out + 12 * k, values[k]);
      ++k;
    }
  }
  const std::size_t width = fields.size() / values.size();
  for (const double value : values) {
    format_exponent(std::span<char>(out, width), value, decimals, scale);
    out += width;
  }
}

}  // namespace vantor::textio

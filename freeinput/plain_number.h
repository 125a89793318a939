// The common numeric field in one pass, and the digit arithmetic it shares
// with the general number recogniser ISNUMB.
//
// A plain number is an optional sign, digits, an optional point and digits, an
// optional exponent part (E, an optional sign, one to four digits), standing
// alone in its field. It gives exactly the item the general recognisers give
// (ISINTG without point and exponent, else ISREAL), to the last bit: the
// fraction digits are added one at a time with their place values, as ISNUMB
// does. Everything else is declined and left to the general recognisers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "freeinput/digit_runs.h"
#include "textio/format/powers_of_ten.h"

namespace vantor::freeinput {

using textio::kPow10High;
using textio::kPow10Low;
using textio::pow10_table;

// The place values of the fraction digits: s = 1.0, then s = s / 10.0 for each
// digit in turn. From kFractionPlaces digits on s has become 0.0.
inline constexpr int kFractionPlaces = 400;
inline constexpr std::array<double, kFractionPlaces> kFractionScale = [] {
  std::array<double, kFractionPlaces> scale{};
  double s = 1.0;
  for (double& place : scale) {
    s = s / 10.0;
    place = s;
  }
  return scale;
}();
static_assert(kFractionScale.back() == 0.0);

// The products d * s of the first places, rounded as the multiplication rounds.
inline constexpr std::size_t kTermPlaces = 20;
inline constexpr std::array<std::array<double, 10>, kTermPlaces> kFractionTerm = [] {
  std::array<std::array<double, 10>, kTermPlaces> term{};
  for (std::size_t k = 0; k < kTermPlaces; ++k) {
    for (int d = 0; d < 10; ++d) term[k][static_cast<std::size_t>(d)] = d * kFractionScale[k];
  }
  return term;
}();

// The fraction after its first two digits d0 d1, at index 10 * d0 + d1:
// d1 * s1 + (d0 * s0 + 0.0), where d0 * s0 + 0.0 is d0 * s0.
inline constexpr std::array<double, 100> kFractionPair = [] {
  std::array<double, 100> pair{};
  for (std::size_t i = 0; i < pair.size(); ++i)
    pair[i] = kFractionTerm[1][i % 10] + kFractionTerm[0][i / 10];
  return pair;
}();

// The fraction after its first three and four digits, indexed by those digits
// read as an integer; each adds its last digit to the shorter one, d * s + f,
// exactly as the digit-by-digit sum does.
template <std::size_t Digits, std::size_t Shorter>
constexpr std::array<double, Digits> longer_fraction(const std::array<double, Shorter>& shorter,
                                                     std::size_t place) {
  std::array<double, Digits> block{};
  for (std::size_t i = 0; i < Digits; ++i)
    block[i] = kFractionTerm[place][i % 10] + shorter[i / 10];
  return block;
}
inline constexpr std::array<double, 1000> kFractionTriple = longer_fraction<1000>(kFractionPair, 2);
inline constexpr std::array<double, 10000> kFractionQuad =
    longer_fraction<10000>(kFractionTriple, 3);

// The fraction after its first k digits (1 to 4) whose integer reading is v:
// kFractionBlock[k][v].
inline constexpr std::array<const double*, 5> kFractionBlock = {
    nullptr, kFractionTerm[0].data(), kFractionPair.data(), kFractionTriple.data(),
    kFractionQuad.data()};

// One fraction digit d at place k (from 0) added to f: f = d * s + f.
inline double add_fraction_digit(double f, unsigned d, std::size_t k) {
  if (k < kTermPlaces) return kFractionTerm[k][d] + f;
  const double s = k < kFractionScale.size() ? kFractionScale[k] : 0.0;
  return static_cast<double>(d) * s + f;
}

// x times the double nearest to 10^exponent.
inline double scale_by_power_of_ten(double x, int exponent) {
  // A zero stays zero, also for powers that overflow.
  if (x == 0.0) return x;
  if (exponent < kPow10Low) return x * 0.0;
  if (exponent > kPow10High) return x * std::numeric_limits<double>::infinity();
  return x * pow10_table[static_cast<std::size_t>(exponent - kPow10Low)];
}

// Whether p, within a prepared line whose sentinel stands at end, ends a
// field: a blank, a comma or the end of the line.
inline bool ends_field(const char* p, const char* end) {
  return p == end || *p == ' ' || *p == ',';
}

struct plain_number {
  bool is_integer = false;
  std::int32_t integer = 0;  // an integer item
  double real = 0.0;         // a real item
};

// Recognises a plain number at p, the start of a field of a prepared line
// whose last significant character is end[-1] and whose sentinel (no digit,
// point, E, sign, blank or comma) stands at end, with eight readable bytes
// from every position up to end. Returns the position of the
// field end after the number (a blank, a comma or end), or nullptr when the
// field is no plain number or its value is beyond this pass: an integer part
// of more than 15 digits, an integer item beyond 32 bits.
inline const char* scan_plain_number(const char* p, const char* end, plain_number& out) {
  const auto digit_at = [](const char* q) {
    return static_cast<unsigned>(static_cast<unsigned char>(*q)) - unsigned{'0'};
  };
  const bool negative = *p == '-';
  if (negative || *p == '+') ++p;

  // Integer part: at most 15 digits, so that it is exact in every form. Up to
  // seven are read at once, longer parts digit by digit.
  std::uint64_t word = load_eight(p);
  int run = digit_run_length(word);
  std::int64_t whole = 0;
  if (run <= 4) {
    if (run > 0) whole = short_run_value(word, run);
    p += run;
  } else if (run < 8) {
    // Five to seven digits, ended within the word: the first four and the rest.
    constexpr std::array<std::int64_t, 4> kScale = {1, 10, 100, 1000};
    whole = short_run_value(word, 4) * kScale[static_cast<std::size_t>(run - 4)] +
            short_run_value(word >> 32, run - 4);
    p += run;
  } else {
    const char* const whole_start = p;
    for (unsigned d = digit_at(p); d < 10; d = digit_at(p)) {
      if (p - whole_start == 15) return nullptr;
      whole = whole * 10 + d;
      ++p;
    }
  }
  const bool has_whole = run > 0;
  bool is_integer = true;
  double fraction = 0.0;  // x + 0.0 is x for every x >= 0: no digits add nothing
  if (*p == '.') {
    is_integer = false;
    ++p;
    // The first four digits at most from the tables, the rest one at a time.
    word = load_eight(p);
    run = digit_run_length(word);
    if (run > 0) {
      const int head = run < 4 ? run : 4;
      fraction = kFractionBlock[static_cast<std::size_t>(head)][short_run_value(word, head)];
      p += head;
      auto place = static_cast<std::size_t>(head);
      for (unsigned d = digit_at(p); d < 10; d = digit_at(p)) {
        fraction = add_fraction_digit(fraction, d, place++);
        ++p;
      }
    } else if (!has_whole) {
      return nullptr;
    }
  } else if (!has_whole) {
    return nullptr;
  }
  bool has_exponent = false;
  int exponent = 0;
  if (*p == 'E') {
    ++p;
    const bool exponent_negative = *p == '-';
    if (exponent_negative || *p == '+') ++p;
    // One to four digits; a fifth could only be followed by the field end.
    word = load_eight(p);
    run = digit_run_length(word);
    if (run == 0 || run > 4) return nullptr;
    exponent = static_cast<int>(short_run_value(word, run));
    p += run;
    if (exponent_negative) exponent = -exponent;
    is_integer = false;
    has_exponent = true;
  }
  // The field must end here: a blank, a comma or the end of the line.
  if (!ends_field(p, end)) return nullptr;
  if (is_integer) {
    if (whole > std::int64_t{std::numeric_limits<std::int32_t>::max()} + (negative ? 1 : 0))
      return nullptr;
    out.is_integer = true;
    out.integer = static_cast<std::int32_t>(negative ? -whole : whole);
  } else {
    double x = static_cast<double>(whole) + fraction;
    if (has_exponent) {
      // Within the table x * 10^e is the product, also for x = 0.
      if (exponent >= kPow10Low && exponent <= kPow10High) {
        x = x * pow10_table[static_cast<std::size_t>(exponent - kPow10Low)];
      } else {
        x = scale_by_power_of_ten(x, exponent);
      }
    }
    out.is_integer = false;
    out.real = negative ? -x : x;
  }
  return p;
}

// Consumes the field end at p as ENDFLD does: blanks with at most one comma
// among them, or a comma and blanks; at the end of the line nothing. The
// sentinel stops the blanks.
inline const char* skip_field_end(const char* p) {
  while (*p == ' ') ++p;
  if (*p == ',') {
    ++p;
    while (*p == ' ') ++p;
  }
  return p;
}

}  // namespace vantor::freeinput

// The integer digit rounding must agree with an exact conversion wherever it
// answers, exact ties included, and answer across its whole reach.
#include "textio/format/short_digits.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>

namespace vantor::textio {
namespace {

// Exact digits from the standard library: "D.DDDDe-XX" -> digits, exponent.
void exact_significant(double x, int significant, std::uint64_t& digits, int& exponent) {
  char buf[64];
  const auto r =
      std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, significant - 1);
  std::string text(buf, r.ptr);
  const auto e = text.find('e');
  exponent = std::stoi(text.substr(e + 1));
  std::string mantissa = text.substr(0, e);
  if (mantissa.size() > 1) mantissa.erase(1, 1);
  digits = std::stoull(mantissa);
}

std::uint64_t exact_fixed(double x, int decimals) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, decimals);
  std::string text(buf, r.ptr);
  text.erase(text.find('.'), 1);
  return std::stoull(text);
}

void expect_agrees(double x, int significant) {
  std::uint64_t digits = 0;
  int exponent = 0;
  if (!round_significant(x, significant, digits, exponent)) return;
  std::uint64_t want_digits = 0;
  int want_exponent = 0;
  exact_significant(x, significant, want_digits, want_exponent);
  ASSERT_EQ(digits, want_digits) << std::hexfloat << x;
  ASSERT_EQ(exponent, want_exponent) << std::hexfloat << x;
}

TEST(ShortDigits, SignificantAgreesWithExactConversion) {
  std::mt19937_64 rng(12345);
  std::uniform_real_distribution<double> decade(-45.0, 45.0);
  int answered = 0;
  int in_reach = 0;
  for (int i = 0; i < 200000; ++i) {
    const double lg = decade(rng);
    const double x = std::pow(10.0, lg);
    for (int s : {1, 5, 9, 15}) expect_agrees(x, s);
    std::uint64_t d = 0;
    int e = 0;
    if (lg > -27.0 && lg < 30.0) {
      ++in_reach;
      answered += round_significant(x, 5, d, e) ? 1 : 0;
    }
  }
  // Within its reach the integer path decides every value.
  EXPECT_EQ(answered, in_reach);
}

TEST(ShortDigits, NeighboursOfHalfwayPoints) {
  // Values k.5 x 10^-4 scaled into many decades, and their binary neighbours.
  for (int k = 10000; k < 100000; k += 7) {
    for (int decade = -12; decade <= 12; ++decade) {
      const double centre = (k + 0.5) * std::pow(10.0, decade - 4);
      for (double x : {centre, std::nextafter(centre, 0.0), std::nextafter(centre, 1e300)}) {
        expect_agrees(x, 5);
      }
    }
  }
}

TEST(ShortDigits, ExactTiesGoToTheEvenDigit) {
  struct significant_case {
    double x;
    std::uint64_t digits;
    int exponent;
  };
  // Halfway points exact in binary, and carries through every digit.
  for (const auto& c : {significant_case{1.03125, 10312, 0}, significant_case{1.09375, 10938, 0},
                        significant_case{9.99995, 10000, 1}, significant_case{99999.5, 10000, 5},
                        significant_case{0x1p-60, 86736, -19}}) {
    std::uint64_t digits = 0;
    int exponent = 0;
    ASSERT_TRUE(round_significant(c.x, 5, digits, exponent)) << c.x;
    EXPECT_EQ(digits, c.digits) << c.x;
    EXPECT_EQ(exponent, c.exponent) << c.x;
  }
  struct fixed_case {
    double x;
    int decimals;
    std::uint64_t scaled;
  };
  for (const auto& c :
       {fixed_case{0.0625, 3, 62}, fixed_case{0.1875, 3, 188}, fixed_case{2.5, 0, 2},
        fixed_case{3.5, 0, 4}, fixed_case{0x1p-1074, 3, 0}}) {
    std::uint64_t scaled = 1;
    ASSERT_TRUE(round_fixed(c.x, c.decimals, scaled)) << c.x;
    EXPECT_EQ(scaled, c.scaled) << c.x;
  }
}

TEST(ShortDigits, FixedAgreesWithExactConversion) {
  std::mt19937_64 rng(777);
  std::uniform_real_distribution<double> decade(-6.0, 8.9);
  for (int i = 0; i < 200000; ++i) {
    const double x = std::pow(10.0, decade(rng));
    for (int d : {1, 3}) {
      std::uint64_t scaled = 0;
      ASSERT_TRUE(round_fixed(x, d, scaled)) << std::hexfloat << x;
      ASSERT_EQ(scaled, exact_fixed(x, d)) << std::hexfloat << x;
    }
  }
  // Half-way points of the last decimal and their neighbours, up to and past
  // the products of 2^31 where the double arithmetic hands over.
  std::uniform_int_distribution<std::uint64_t> units(0, std::uint64_t{3} << 30);
  for (int i = 0; i < 100000; ++i) {
    const double centre = (static_cast<double>(units(rng)) + 0.5) / 1000.0;
    for (double x : {centre, std::nextafter(centre, 0.0), std::nextafter(centre, 1e300)}) {
      std::uint64_t scaled = 0;
      ASSERT_TRUE(round_fixed(x, 3, scaled)) << std::hexfloat << x;
      ASSERT_EQ(scaled, exact_fixed(x, 3)) << std::hexfloat << x;
    }
  }
  // Coordinates as written by an analysis: multiples of 1/8 are exact ties.
  for (int i = 0; i < 100000; ++i) {
    const double x = i * 0.0125;
    std::uint64_t scaled = 0;
    ASSERT_TRUE(round_fixed(x, 3, scaled)) << x;
    ASSERT_EQ(scaled, exact_fixed(x, 3)) << x;
  }
}

}  // namespace
}  // namespace vantor::textio

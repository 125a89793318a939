// The record writer's layouts and number fields: the layouts of the system,
// malformed layouts, integers, fixed point and exponent fields against exact
// decimal conversion.
#include "textio/records/writer.h"

#include <gtest/gtest.h>

#include <array>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tests/textio/records/system_layouts.h"
#include "textio/format/field.h"
#include "textio/format/number_format.h"
#include "textio/units/units.h"

namespace vantor::textio {
namespace {

using detail::layout_error;
using detail::parse_layout;

// ---------------------------------------------------------------------------
// Layouts of the system (system_layouts.h): every one of them must compile.

constexpr layout kRow = layout_of("(F13.3,1P,99E12.4)");
static_assert(kRow.count == 3);
static_assert(kRow.items[1].kind == op::scale && kRow.items[1].w == 1);
static_assert(kRow.items[2].kind == op::exp_e && kRow.items[2].repeat == 99 &&
              kRow.items[2].w == 12 && kRow.items[2].d == 4);
static_assert(kSystemLayouts[19].items[3].has_min && kSystemLayouts[19].items[3].d == 2);
static_assert(kSystemLayouts[22].items[3].text == " TIMES )");

struct bad_layout {
  std::string_view text;
  layout_error error;
};

constexpr std::array kBadLayouts = {
    bad_layout{"A,I5)", layout_error::no_open_paren},
    bad_layout{"(A,I5", layout_error::unbalanced_paren},
    bad_layout{"(A,(I5))", layout_error::nested_group},
    bad_layout{"(A))", layout_error::trailing_text},
    bad_layout{"('abc)", layout_error::unterminated_literal},
    bad_layout{"('it''s)", layout_error::unterminated_literal},
    bad_layout{"(Q5)", layout_error::unknown_descriptor},
    bad_layout{"(A,)", layout_error::unknown_descriptor},
    bad_layout{"(TL3)", layout_error::unknown_descriptor},
    bad_layout{"(I)", layout_error::missing_width},
    bad_layout{"(F12)", layout_error::missing_width},
    bad_layout{"(E12.)", layout_error::missing_width},
    bad_layout{"(TR)", layout_error::missing_width},
    bad_layout{"(X)", layout_error::missing_width},
    bad_layout{"(I0)", layout_error::bad_width},
    bad_layout{"(I3.4)", layout_error::bad_width},
    bad_layout{"(F3.3)", layout_error::bad_width},
    bad_layout{"(E12.0)", layout_error::bad_width},
    bad_layout{"(1000A)", layout_error::bad_width},
    bad_layout{"(2/)", layout_error::repeat_not_allowed},
    bad_layout{"(3'x')", layout_error::repeat_not_allowed},
    bad_layout{"(2TR4)", layout_error::repeat_not_allowed},
    bad_layout{"(-1P,E12.4)", layout_error::bad_scale},
    bad_layout{"(A I5)", layout_error::missing_comma},
    bad_layout{"(A'x')", layout_error::missing_comma},
    bad_layout{
        "(A,A,A,A,A,A,A,A,A,A,A,A,A,A,A,A,A,A,A,A,A,A,A,A,A,A,A,A,A,A,A,A,A,A,A,A,A,A,A,A,A)",
        layout_error::too_many_descriptors},
};

constexpr bool all_refused() {
  for (const bad_layout& b : kBadLayouts) {
    if (parse_layout(b.text).error != b.error) return false;
  }
  return true;
}
static_assert(all_refused());

TEST(WriterLayout, MalformedLayoutsAreRefusedWithTheirReason) {
  for (const bad_layout& b : kBadLayouts) {
    EXPECT_EQ(parse_layout(b.text).error, b.error) << b.text;
  }
}

// ---------------------------------------------------------------------------
// Field rendering.

struct int_case {
  int value;
  int w;
  int m;
  std::string_view expected;
};

TEST(WriterFormat, Integers) {
  constexpr int_case cases[] = {
      {7, 5, 3, "  007"},
      {1234, 5, 3, " 1234"},
      {12345, 4, 1, "****"},
      {-5, 2, 1, "-5"},
      {-10, 2, 1, "**"},
      {0, 4, 1, "   0"},
      {0, 1, 1, "0"},
      {0, 5, 0, "     "},
      {INT_MIN, 8, 1, "********"},
      {INT_MIN, 12, 1, " -2147483648"},
      {INT_MAX, 10, 1, "2147483647"},
      {5, 2, 2, "05"},
      {-1, 3, 3, "***"},
      {123, 2, 2, "**"},
      {-7, 5, 3, " -007"},
      {99, 9, 9, "000000099"},
  };
  for (const int_case& c : cases) {
    std::string out(static_cast<std::size_t>(c.w), '#');
    format_integer(out, c.value, c.m);
    EXPECT_EQ(out, c.expected) << c.value << " I" << c.w << "." << c.m;
  }
}

struct real_case {
  double value;
  int w;
  int d;
  int scale;
  std::string_view expected;
};

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(WriterFormat, FixedPoint) {
  constexpr real_case cases[] = {
      {1234.5678, 12, 3, 0, "    1234.568"},
      {0.5, 12, 3, 0, "       0.500"},
      {-0.5, 12, 3, 0, "      -0.500"},
      {12.5, 13, 3, 0, "       12.500"},
      {1.5e20, 35, 1, 0, "            150000000000000000000.0"},
      {123456789.0, 12, 3, 0, "************"},
      {99999999.999, 12, 3, 0, "99999999.999"},
      {99999999.9996, 12, 3, 0, "************"},
      {-9999999.999, 12, 3, 0, "-9999999.999"},
      {-9999999.9996, 12, 3, 0, "************"},
      {-0.0004, 12, 3, 0, "       0.000"},
      {-0.0006, 12, 3, 0, "      -0.001"},
      {-0.0, 12, 3, 0, "       0.000"},
      {0.0625, 13, 3, 0, "        0.062"},
      {0.1875, 13, 3, 0, "        0.188"},
      {-0.5, 5, 3, 0, "-.500"},
      {0.5, 4, 3, 0, ".500"},
      {0.5, 5, 3, 0, "0.500"},
      {-0.5, 4, 3, 0, "****"},
      {2.5, 3, 0, 0, " 2."},
      {0.25, 2, 0, 0, "0."},
      {1e300, 13, 3, 0, "*************"},
      {4.5, 13, 3, 1, "       45.000"},
      {0.0123, 13, 3, 1, "        0.123"},
      {kInf, 35, 1, 0, " Infinity                          "},
      {-kInf, 13, 3, 0, " -Infinity   "},
      {kNaN, 12, 3, 0, " NaN        "},
      {kInf, 8, 3, 0, "********"},
      {-kInf, 9, 1, 0, "*********"},
  };
  for (const real_case& c : cases) {
    std::string out(static_cast<std::size_t>(c.w), '#');
    format_fixed(out, c.value, c.d, c.scale);
    EXPECT_EQ(out, c.expected) << c.value << " F" << c.w << "." << c.d << " scale " << c.scale;
  }
}

TEST(WriterFormat, Exponent) {
  constexpr real_case cases[] = {
      {0.00123456, 12, 4, 1, "  1.2346E-03"},
      {123456.0, 12, 4, 1, "  1.2346E+05"},
      {-0.5, 12, 4, 1, " -5.0000E-01"},
      {0.0, 12, 4, 1, "  0.0000E+00"},
      {-0.0, 12, 4, 1, "  0.0000E+00"},
      {1.0e-100, 12, 4, 1, "  1.0000-100"},
      {-1.2345e-123, 12, 4, 1, " -1.2345-123"},
      {1.03125, 12, 4, 1, "  1.0312E+00"},
      {1.09375, 12, 4, 1, "  1.0938E+00"},
      {9.99995, 12, 4, 1, "  1.0000E+01"},
      {9.99996, 12, 4, 1, "  1.0000E+01"},
      {1.0, 12, 4, 1, "  1.0000E+00"},
      {std::numeric_limits<double>::max(), 12, 4, 1, "  1.7977+308"},
      {std::numeric_limits<double>::denorm_min(), 12, 4, 1, "  4.9407-324"},
      {-std::numeric_limits<double>::max(), 12, 4, 1, " -1.7977+308"},
      {-1.0, 9, 4, 1, "*********"},
      {0.5, 12, 4, 0, "  0.5000E+00"},
      {123456.0, 12, 4, 0, "  0.1235E+06"},
      {-0.00123456, 12, 4, 0, " -0.1235E-02"},
      {0.05, 12, 4, 0, "  0.5000E-01"},
      {0.0, 12, 4, 0, "  0.0000E+00"},
      {-0.5, 10, 4, 0, "-.5000E+00"},
      {0.5, 9, 4, 0, ".5000E+00"},
      {1.0e-99, 12, 4, 0, "  0.1000E-98"},
      {1.0e-100, 12, 4, 0, "  0.1000E-99"},
      {1.0e-101, 12, 4, 0, "  0.1000-100"},
      {123.456, 12, 4, 2, "  12.346E+01"},
      {kInf, 12, 4, 1, " Infinity   "},
      {-kInf, 12, 4, 1, " -Infinity  "},
      {kNaN, 12, 4, 1, " NaN        "},
  };
  for (const real_case& c : cases) {
    std::string out(static_cast<std::size_t>(c.w), '#');
    format_exponent(out, c.value, c.d, c.scale);
    EXPECT_EQ(out, c.expected) << c.value << " E" << c.w << "." << c.d << " scale " << c.scale;
  }
}

// Ties to even, checked against the exact decimal expansion of k / 2^n
// (= k * 5^n / 10^n) computed in integers.
std::uint64_t pow10(int e) {
  std::uint64_t p = 1;
  while (e-- > 0) p *= 10;
  return p;
}

// Rounds the integer n to `drop` fewer digits, to nearest, ties to even.
std::uint64_t round_even(std::uint64_t n, int drop) {
  if (drop <= 0) return n * pow10(-drop);
  const std::uint64_t unit = pow10(drop);
  std::uint64_t q = n / unit;
  const std::uint64_t r = n % unit;
  if (2 * r > unit || (2 * r == unit && q % 2 == 1)) ++q;
  return q;
}

std::string expected_fixed(std::uint64_t scaled, int n) {  // value = scaled / 10^n, F13.3
  const std::uint64_t q = round_even(scaled, n - 3);
  std::string digits = std::to_string(q / 1000) + "." + std::to_string(1000 + q % 1000).substr(1);
  return std::string(13 - digits.size(), ' ') + digits;
}

std::string expected_exponent(std::uint64_t scaled, int n) {  // 1PE12.4
  const int length = static_cast<int>(std::to_string(scaled).size());
  std::uint64_t q = round_even(scaled, length - 5);
  int exponent = length - 1 - n;
  if (q == 100000) {
    q = 10000;
    ++exponent;
  }
  const std::string d = std::to_string(q);
  const std::string e = std::to_string(100 + std::abs(exponent)).substr(1);
  return "  " + d.substr(0, 1) + "." + d.substr(1) + "E" + (exponent < 0 ? "-" : "+") + e;
}

TEST(WriterFormat, TiesToEvenMatchExactDecimalExpansion) {
  int checked = 0;
  for (int n = 1; n <= 12; ++n) {
    std::uint64_t five = 1;
    for (int k = 0; k < n; ++k) five *= 5;
    for (std::uint64_t k = 1; k < 6000; k += (n < 6 ? 1 : 7)) {
      const double value = std::ldexp(static_cast<double>(k), -n);
      const std::uint64_t scaled = k * five;  // value * 10^n
      std::string f(13, '#');
      format_fixed(f, value, 3, 0);
      ASSERT_EQ(f, expected_fixed(scaled, n)) << k << "/2^" << n;
      std::string e(12, '#');
      format_exponent(e, value, 4, 1);
      ASSERT_EQ(e, expected_exponent(scaled, n)) << k << "/2^" << n;
      ++checked;
    }
  }
  EXPECT_GT(checked, 10000);
}

// 1PE12.4 built from the standard library's exact scientific conversion.
std::string exact_e12_4(double x) {
  char buf[64];
  const auto r =
      std::to_chars(buf, buf + sizeof buf, std::fabs(x), std::chars_format::scientific, 4);
  const std::string text(buf, r.ptr);  // "d.dddde-XX"
  const int exponent = std::stoi(text.substr(7));
  const int m = std::abs(exponent);
  std::string body;
  if (std::signbit(x)) body += '-';
  body += text.substr(0, 6);
  if (m <= 99) body += 'E';
  body += exponent < 0 ? '-' : '+';
  body += m <= 99 ? std::to_string(100 + m).substr(1) : std::to_string(m);
  return std::string(12 - body.size(), ' ').append(body);
}

// Fw.d built from the standard library's exact fixed conversion.
std::string exact_fixed_text(double x, std::size_t w, int d) {
  char buf[400];
  const auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(x), std::chars_format::fixed, d);
  const std::string text(buf, r.ptr);
  const std::size_t point = d > 0 ? text.find('.') : text.size();
  const std::string integer = text.substr(0, point) == "0" ? "" : text.substr(0, point);
  const std::string decimals = d > 0 ? text.substr(point + 1) : "";
  const bool sign = std::signbit(x) && text.find_first_not_of("0.") != std::string::npos;
  std::size_t length = (sign ? 1 : 0) + integer.size() + 1 + decimals.size();
  const bool lead_zero = integer.empty() && (d == 0 || length + 1 <= w);
  if (lead_zero) ++length;
  if (length > w) return std::string(w, '*');
  std::string body = sign ? "-" : "";
  if (lead_zero) body += '0';
  body.append(integer).append(".").append(decimals);
  return std::string(w - length, ' ').append(body);
}

TEST(WriterFormat, FixedAgreesWithExactConversion) {
  struct width_case {
    std::size_t w;
    int d;
  };
  std::mt19937_64 rng(99);
  std::uniform_real_distribution<double> decade(-9.0, 10.0);
  std::vector<double> values;
  for (int i = 0; i < 40000; ++i) values.push_back((i % 3 ? 1 : -1) * std::pow(10.0, decade(rng)));
  for (const double c : {99999.9995, 9999.9995, 999.9995, 0.0005, 0.0015, 12345.6785, 1e8}) {
    for (const double x : {c, std::nextafter(c, 0.0), std::nextafter(c, 1e300)}) {
      values.push_back(x);
      values.push_back(-x);
    }
  }
  for (const width_case c : {width_case{13, 3}, width_case{12, 3}, width_case{10, 1},
                             width_case{16, 7}, width_case{9, 0}, width_case{30, 9}}) {
    for (const double x : values) {
      std::string out(c.w, '#');
      format_fixed(out, x, c.d, 0);
      ASSERT_EQ(out, exact_fixed_text(x, c.w, c.d))
          << std::hexfloat << x << " F" << c.w << "." << c.d;
    }
  }
}

// F13.3, the coordinate field, has a kernel of its own: every integer part
// at a boundary of its tables with every three decimals, the half-way points
// between those, their neighbours and negatives, against the exact conversion.
TEST(WriterFormat, CoordinateFieldAgreesWithExactConversion) {
  std::vector<double> values = {-0.0, -0.0004, -0.0005, -0.0006, 99999.9995, 1e5, 1e8};
  for (const std::uint32_t integer :
       {0u, 1u, 9u, 10u, 99u, 100u, 101u, 999u, 1000u, 9999u, 10000u, 29990u, 99999u}) {
    for (std::uint32_t f = 0; f < 1000; ++f) {
      for (const double c : {integer + f / 1000.0, integer + (f + 0.5) / 1000.0}) {
        for (const double x : {c, std::nextafter(c, 0.0), std::nextafter(c, 1e9)}) {
          values.push_back(x);
          values.push_back(-x);
        }
      }
    }
  }
  for (const double x : values) {
    std::string out(13, '#');
    format_fixed(out, x, 3, 0);
    ASSERT_EQ(out, exact_fixed_text(x, 13, 3)) << std::hexfloat << x;
  }
}

// Values at every boundary of the E12.4 integer path: powers of ten, the
// points that round up to them, half-way points of the fifth digit, the ends
// of its range of binades; each with its binary neighbours and its negative.
std::vector<double> exponent_boundary_values() {
  std::vector<double> centres;
  for (int e = -21; e <= 7; ++e) {
    const double p = std::pow(10.0, e);
    centres.push_back(p);
    centres.push_back(9.99995 * p);
    for (int k = 10000; k < 100000; k += 997) centres.push_back((k + 0.5) * p * 1e-4);
  }
  for (int k = -61; k <= 16; ++k) centres.push_back(std::ldexp(1.0, k));
  std::vector<double> values;
  for (const double c : centres) {
    for (const double x : {c, std::nextafter(c, 0.0), std::nextafter(c, 1e300)}) {
      values.push_back(x);
      values.push_back(-x);
    }
  }
  return values;
}

TEST(WriterFormat, ExponentAgreesWithExactConversion) {
  std::vector<double> values = exponent_boundary_values();
  std::mt19937_64 rng(2024);
  std::uniform_real_distribution<double> decade(-22.0, 8.0);
  for (int i = 0; i < 300000; ++i) values.push_back((i % 2 ? -1 : 1) * std::pow(10.0, decade(rng)));
  for (const double x : values) {
    std::string e(12, '#');
    format_exponent(e, x, 4, 1);
    ASSERT_EQ(e, exact_e12_4(x)) << std::hexfloat << x;
  }
}

TEST(WriterFormat, ExponentRunsMatchSingleFields) {
  std::vector<double> values = exponent_boundary_values();
  for (const double x :
       {0.0, -0.0, kInf, -kInf, kNaN, 5e-324, 1e-300, 1.7976931348623157e308, -2.5e200, 123456.0}) {
    values.insert(values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2), x);
    values.push_back(x);
  }
  struct run_case {
    std::size_t w;
    int d;
    int scale;
  };
  for (const run_case c : {run_case{12, 4, 1}, run_case{12, 4, 0}, run_case{15, 6, 1},
                           run_case{11, 4, 1}, run_case{12, 4, 2}}) {
    std::string run(values.size() * c.w, '#');
    format_exponents(run, values, c.d, c.scale);
    for (std::size_t k = 0; k < values.size(); ++k) {
      std::string one(c.w, '#');
      format_exponent(one, values[k], c.d, c.scale);
      ASSERT_EQ(run.substr(k * c.w, c.w), one) << std::hexfloat << values[k] << " w " << c.w;
    }
  }
}

}  // namespace
}  // namespace vantor::textio

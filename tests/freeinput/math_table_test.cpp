// freeinput/math on fixed arguments: the same bits on every platform (the
// Windows build runs this test under Wine), and the special cases of sin, cos
// and pow.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "freeinput/math.h"

namespace vantor::freeinput {
namespace {

struct table_row {
  char function;  // 's', 'c' or 'p'
  std::uint64_t x;
  std::uint64_t y;
  std::uint64_t result;
};

// Correctly rounded results from MPFR, written by math_mpfr_check --table.
constexpr table_row kTable[] = {
#include "tests/freeinput/math_table.inc"
};

double evaluate(char function, double x, double y) {
  switch (function) {
    case 's':
      return portable_sin(x);
    case 'c':
      return portable_cos(x);
    default:
      return portable_pow(x, y);
  }
}

TEST(PortableMath, TableGivesTheCorrectlyRoundedBits) {
  for (const table_row& row : kTable) {
    const double x = std::bit_cast<double>(row.x);
    const double y = std::bit_cast<double>(row.y);
    SCOPED_TRACE(testing::Message() << row.function << " " << std::hexfloat << x << " " << y);
    const double got = evaluate(row.function, x, y);
    if (std::isnan(std::bit_cast<double>(row.result))) {
      EXPECT_TRUE(std::isnan(got));
    } else {
      EXPECT_EQ(std::bit_cast<std::uint64_t>(got), row.result) << std::hexfloat << got;
    }
  }
}

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kMin = 0x1p-1074;

struct special_case {
  char function;
  double x;
  double y;
  double result;  // compared bit for bit, sign of zero included; any NaN matches a NaN
};

TEST(PortableMath, SpecialCases) {
  constexpr special_case cases[] = {
      {'s', 0.0, 0, 0.0},
      {'s', -0.0, 0, -0.0},
      {'s', kInf, 0, kNaN},
      {'s', -kInf, 0, kNaN},
      {'s', kNaN, 0, kNaN},
      {'s', kMin, 0, kMin},
      {'s', -0x1p-30, 0, -0x1p-30},
      {'c', -0.0, 0, 1.0},
      {'c', kInf, 0, kNaN},
      {'c', kNaN, 0, kNaN},
      {'c', kMin, 0, 1.0},
      {'p', kNaN, 0.0, 1.0},
      {'p', kNaN, -0.0, 1.0},
      {'p', 1.0, kNaN, 1.0},
      {'p', 1.0, -kInf, 1.0},
      {'p', kNaN, 1.0, kNaN},
      {'p', 2.0, kNaN, kNaN},
      {'p', 0.0, -3.0, kInf},
      {'p', -0.0, -3.0, -kInf},
      {'p', -0.0, -2.0, kInf},
      {'p', -0.0, -0.5, kInf},
      {'p', -0.0, -kInf, kInf},
      {'p', -0.0, 3.0, -0.0},
      {'p', -0.0, 2.0, 0.0},
      {'p', -0.0, 0.5, 0.0},
      {'p', -1.0, kInf, 1.0},
      {'p', -1.0, -kInf, 1.0},
      {'p', 0.5, -kInf, kInf},
      {'p', -2.0, -kInf, 0.0},
      {'p', -0.5, kInf, 0.0},
      {'p', 2.0, kInf, kInf},
      {'p', -kInf, -3.0, -0.0},
      {'p', -kInf, -2.0, 0.0},
      {'p', -kInf, 3.0, -kInf},
      {'p', -kInf, 2.5, kInf},
      {'p', kInf, -1.0, 0.0},
      {'p', kInf, 0.5, kInf},
      {'p', -2.0, 0.5, kNaN},
      {'p', -8.0, 1.0 / 3.0, kNaN},
      {'p', -2.0, 3.0, -8.0},
      {'p', -2.0, -1.0, -0.5},
      {'p', -1.0, 0x1p53 + 2.0, 1.0},  // integers this large are even
      {'p', -1.0, 1e20, 1.0},
      {'p', -1.0, -0x1p64, 1.0},
      {'p', -1.0, 0x1.fffffffffffffp+1023, 1.0},
      {'p', -1.0, -0x1p53 + 1.0, -1.0},
      {'p', -2.0, 1025.0, -kInf},  // overflow keeps the sign
      {'p', -2.0, -1075.0, -0.0},  // so does underflow: 2^-1075 is a tie, to even
      {'p', -2.0, -1074.0, kMin},
      {'p', 2.0, -1074.0, kMin},
      {'p', 0.5, 1022.5, 0x1.6a09e667f3bccp-1023},  // subnormal, rounded once
      {'p', 0x1.fffffffffffffp-1, -0x1p64, kInf},
      {'p', 0x1.0000000000001p0, -0x1p64, 0.0},
      {'p', 10.0, 308.0, 1e308},
      {'p', 10.0, -323.0, 1e-323},
      // Exact halfway cases round to even: (2^27 - 1)^2 = 2^54 - 2^28 + 1.
      {'p', 134217727.0, 2.0, 0x1.ffffff8p53},
      {'p', 134217729.0, 2.0, 0x1.0000004p54},
      {'p', 262143.0, 3.0, 0x1.fffe80006p53},
      // ... and so do those of other exponents: (208079^2)^1.5 = 208079^3,
      // (1555^2)^2.5 = 1555^5, (-409 2^-215)^5 = -409^5 2^-1075 (subnormal).
      {'p', 208079.0 * 208079.0, 1.5, 0x1.000e55cc72db8p+53},
      {'p', 1555.0 * 1555.0, 2.5, 0x1.0267deca2e322p+53},
      {'p', -409.0 * 0x1p-215, 5.0, -0x0.005346029cd3cp-1022},
      // Near ties, decided in fixed point: 1/(2^53 - 1) = 2^-53 (1 + 2^-53 + ...).
      {'p', 0x1.fffffffffffffp+52, -1.0, 0x1.0000000000001p-53},
      {'p', -0x1.fffffffffffffp+52, -3.0, -0x1.0000000000002p-159},
      {'p', 0x1.fffffffffffffp-1, 1.5, 0x1.fffffffffffffp-1},
  };
  for (const special_case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.function << " " << std::hexfloat << c.x << " " << c.y);
    const double got = evaluate(c.function, c.x, c.y);
    if (std::isnan(c.result)) {
      EXPECT_TRUE(std::isnan(got)) << got;
    } else {
      EXPECT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(c.result))
          << std::hexfloat << got;
    }
  }
}

}  // namespace
}  // namespace vantor::freeinput

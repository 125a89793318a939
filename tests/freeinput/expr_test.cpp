#include "freeinput/expr.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>

#include "freeinput/plain_number.h"
#include "freeinput/reader.h"
#include "freeinput/state.h"
#include "textio/format/powers_of_ten.h"

namespace vantor::freeinput {
namespace {

constexpr double kInvalid = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kUnset = -123.25;  // RVALUE before each call

// Makes line the current line, cursor on column 1.
void load(std::string_view line, int iupcas = 1) {
  input_state = free_input_state{};
  input_state.memory_text = line;
  int ierr = 0;
  INIFII_2(kMaxLineWidth, 8, kMemorySource, -1, ierr);
  ASSERT_EQ(ierr, 0);
  SETOPT(iupcas, 11);
  RDLINE();
  ASSERT_EQ(input_state.IERSTA, 0);
  input_state.ICOL = 1;
  input_state.RVALUE = kUnset;
}

class ExprTest : public ::testing::Test {
 protected:
  void TearDown() override { input_state = free_input_state{}; }
};

struct field_case {
  std::string_view field;
  double value;     // kInvalid: ISREAL fails and changes nothing
  int col_after{};  // 0: past the end of the line
};

void check_fields(std::span<const field_case> cases, int iupcas = 1) {
  for (const field_case& c : cases) {
    SCOPED_TRACE(c.field);
    load(c.field, iupcas);
    const bool ok = ISREAL();
    if (std::isnan(c.value)) {
      EXPECT_FALSE(ok);
      EXPECT_EQ(input_state.ICOL, 1);
      EXPECT_EQ(input_state.RVALUE, kUnset);
    } else {
      ASSERT_TRUE(ok);
      EXPECT_EQ(input_state.RVALUE, c.value);
      EXPECT_EQ(input_state.ICOL, c.col_after != 0 ? c.col_after : input_state.LASTCL + 1);
    }
  }
}

TEST_F(ExprTest, Expressions) {
  const std::array<field_case, 53> cases{{
      {"2+3*4", 20.0},  // no precedence
      {"-2+3", -5.0},   // the sign applies to the whole field
      {"-2*3", -6.0},
      {"1/3", 1.0 / 3.0},
      {"1/0", 0.0},  // a zero divisor gives 0.0
      {"5/0.0*3", 0.0},
      {"2**3", 8.0},
      {"2***3", kInvalid},
      {"5.", 5.0},
      {".", kInvalid},
      {".5", 0.5},
      {".E3", kInvalid},
      {"5.E3", 5000.0},
      {"1E-3", 0.001},
      {"1E12345", kInvalid},  // at most four exponent digits
      {"1E", kInvalid},
      {"1E+", kInvalid},
      {"E5", kInvalid},
      {"PI", 3.141592653589793},
      {"2*PI", 6.283185307179586},
      {"2PI", kInvalid},
      {"SIN(PI/2)", 1.0},
      {"COS(0)", 1.0},
      {"SIN(0)+1", 1.0},
      {"SIN(-1+2)", std::sin(-3.0)},
      {"SIN()", kInvalid},
      {"SIN(COS(0))", kInvalid},
      {"SIN(1", kInvalid},
      {"   -5.5", -5.5},  // blanks before the sign are passed over
      {"- 5", kInvalid},  // nothing between sign and operand
      {"   2PI", kInvalid},
      {"+.25", 0.25},
      {"2+", kInvalid},  // an operator at the end of the field
      {"10-4-3", 3.0},
      {"-10-4", -6.0},
      {"2**0.5", std::pow(2.0, 0.5)},
      {"2**-1", kInvalid},  // no sign after an operator
      {"0-1**1E20", 1.0},   // (0-1)**1E20: an even power of -1
      {"1/3*3", (1.0 / 3.0) * 3.0},
      {"COS(PI)*2", -2.0},
      {"SIN(-PI/2)", std::sin(-(3.141592653589793 / 2.0))},
      {"3*SIN(PI/6)", 3.0 * std::sin(3.141592653589793 / 6.0)},
      {"COS(1/0)", 1.0},
      {"SIN(2**3)", std::sin(8.0)},
      {"SIN(1)X", kInvalid},
      {"SINE(1)", kInvalid},
      {"P", kInvalid},
      // The cursor stops after the field end, on the next field.
      {"2 +3", 2.0, 3},
      {"2,3", 2.0, 3},
      {"2.5 , 7", 2.5, 7},
      {"2.5,,7", 2.5, 5},
      {"1E2   X", 100.0, 7},
      {"sin(0)", 0.0},
  }};
  check_fields(cases);
  // Without folding, lower-case keywords are not recognised.
  const std::array<field_case, 3> plain{
      {{"pi*2", kInvalid}, {"sin(0)", kInvalid}, {"1e2", kInvalid}}};
  check_fields(plain, 0);
}

// SIN( is the program's correctly rounded sine (freeinput/math.h), not the C
// library's: at these arguments glibc's sin is one unit in the last place off
// (the results checked against a 113-bit sine).
TEST_F(ExprTest, SineIsTheProgramsOwn) {
  const std::array<field_case, 5> cases{{
      {"SIN(653)", -0x1.be93c06942ae9p-2},
      {"SIN(-653)", 0x1.be93c06942ae9p-2},
      {"SIN(692)", 0x1.80869e3fad899p-1},
      {"SIN(950)", 0x1.e413f624abca3p-1},
      {"2*SIN(1253)", 2.0 * 0x1.e6dad24ee50cdp-2},
  }};
  check_fields(cases);
}

const std::string kThrees = "." + std::string(420, '3');
const std::string kSubnormal = "0." + std::string(320, '0') + "7" + std::string(100, '1');
const std::string kNines = "." + std::string(30, '9');
const std::string kDigits30 = "123456789012345678901234567890";
const std::string kMinusDigits30 = "-" + kDigits30;
const std::string kHuge(400, '9');

// Values as the digit-by-digit steps give them: the integer part as v * 10 + d
// in double precision, the fraction as s = s / 10, f = d * s + f, then times
// the double nearest to the power of ten.
TEST_F(ExprTest, NumbersFollowTheDigitByDigitSteps) {
  const std::array<field_case, 28> cases{{
      {".3", 0x1.3333333333334p-2},  // 3 * 0.1, not the double nearest to 0.3
      {"0.3", 0x1.3333333333334p-2},
      {"3.0000E-05", 0x1.f75104d551d6ap-16},
      {"9.87654321E-12", 0x1.5b7ffe1db0919p-37},
      {"1.2345E-03", 0x1.439de481f5382p-10},
      {"123.456", 0x1.edd2f1a9fbe77p+6},
      {"2.5E+2", 250.0},
      {"1E22", 1e22},
      {"1E23", 1e23},  // the nearest double, not 1e22 * 10
      {"1E-5", 1e-5},
      {"1E308", 1e308},
      {"1.7976931348623157E308", 0x1.fffffffffffffp+1023},
      {"1E-323", 0x0.0000000000002p-1022},
      {"5E-324", 0.0},  // the nearest power 10^-324 is zero
      {"1E309", kInf},
      {"1E9999", kInf},
      {"0E400", 0.0},  // zero stays zero, not zero times infinity
      {"0.0E+9999", 0.0},
      {"0.1234567890123456789012345678901", 0x1.f9add3746f65fp-4},
      {kThrees, 0x1.5555555555556p-2},
      {kSubnormal, 0x0.000000000059cp-1022},  // place values in the subnormal range
      {kNines, 1.0},
      {"99999999999", 99999999999.0},  // beyond 32 bits: a real
      {"2147483648", 2147483648.0},
      {"9007199254740993", 9007199254740992.0},
      {kDigits30, 0x1.8ee90ff6c373dp+96},  // one unit below the nearest double
      {kMinusDigits30, -0x1.8ee90ff6c373dp+96},
      {kHuge, kInf},
  }};
  check_fields(cases);
}

TEST_F(ExprTest, ScratchValuesAndMatchLengthAreHandedBack) {
  for (std::string_view field : {"12.5E3", "SIN(2)", "2E5X", "SIN(2"}) {
    SCOPED_TRACE(field);
    load(field);
    free_input_state& st = input_state;
    st.digit_value = 41, st.digit_real = 41.0, st.last_digit = 4, st.IEXPO = -17;
    ISREAL();
    st.ICOL = 1;
    ISFUNC();
    st.ICOL = 1;
    ISNUMB();
    EXPECT_EQ(std::tie(st.digit_value, st.digit_real, st.last_digit, st.IEXPO, st.NCMTCH),
              std::make_tuple(41, 41.0, 4, -17, 8));
  }
}

struct expo_case {
  std::string_view line;
  bool result;
  int expo;
  int col_after;
};

TEST_F(ExprTest, ExponentPart) {
  const std::array<expo_case, 8> cases{{
      {"E+12", true, 12, 5},
      {"E-0003", true, -3, 7},
      {"E7", true, 7, 3},
      {"E12345", true, 1234, 6},  // the fifth digit is left
      {"E", false, 99, 1},
      {"E+", false, 99, 1},
      {"E-X", false, 99, 1},
      {"X1", false, 99, 1},
  }};
  for (const expo_case& c : cases) {
    SCOPED_TRACE(c.line);
    load(c.line);
    input_state.IEXPO = 99;
    EXPECT_EQ(ISEXPO(), c.result);
    EXPECT_EQ(input_state.IEXPO, c.expo);
    EXPECT_EQ(input_state.ICOL, c.col_after);
  }
}

TEST_F(ExprTest, PowersOfTenAreCorrectlyRounded) {
  // The C library's decimal conversion is correctly rounded, subnormals included.
  for (int k = kPow10Low; k <= kPow10High; ++k) {
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "1e%d", k);
    ASSERT_EQ(pow10_table[static_cast<std::size_t>(k - kPow10Low)],
              std::strtod(text.data(), nullptr))
        << k;
  }
  EXPECT_EQ(std::strtod("1e-324", nullptr), 0.0);
  EXPECT_EQ(scale_by_power_of_ten(3.0, kPow10Low - 1), 0.0);
  EXPECT_EQ(scale_by_power_of_ten(-3.0, kPow10High + 1), -kInf);
}

}  // namespace
}  // namespace vantor::freeinput

// The one-pass number recogniser must give exactly what the general
// recognisers give (integer item, real item, value bits, cursor), or decline.
#include "freeinput/plain_number.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>

#include "freeinput/expr.h"
#include "freeinput/reader.h"
#include "freeinput/state.h"

namespace vantor::freeinput {
namespace {

// Makes line the current line, cursor on column 1 (through the memory source).
void load(std::string_view line) {
  input_state = free_input_state{};
  input_state.memory_text = line;
  int ierr = 0;
  INIFII_2(kMaxLineWidth, 8, kMemorySource, -1, ierr);
  ASSERT_EQ(ierr, 0);
  RDLINE();
  ASSERT_EQ(input_state.IERSTA, 0);
}

struct outcome {
  bool taken = false;
  bool is_integer = false;
  std::uint64_t bits = 0;
  int col = 0;
};

outcome fast(std::string_view line) {
  load(line);
  free_input_state& st = input_state;
  const char* const cur = st.CURLIN.data();
  outcome o;
  plain_number n;
  const char* after = scan_plain_number(cur + (st.ICOL - 1), cur + st.LASTCL, n);
  o.taken = after != nullptr;
  o.is_integer = o.taken && n.is_integer;
  o.bits = std::bit_cast<std::uint64_t>(o.is_integer ? static_cast<double>(n.integer) : n.real);
  o.col = o.taken ? static_cast<int>(skip_field_end(after) - cur) + 1 : st.ICOL;
  return o;
}

outcome general(std::string_view line) {
  load(line);
  outcome o;
  if (ISINTG()) {
    o.taken = o.is_integer = true;
    o.bits = std::bit_cast<std::uint64_t>(static_cast<double>(input_state.IVALUE));
  } else if (ISREAL()) {
    o.taken = true;
    o.bits = std::bit_cast<std::uint64_t>(input_state.RVALUE);
  }
  o.col = input_state.ICOL;
  return o;
}

// Returns whether the one pass decided.
bool expect_same(const std::string& line) {
  const outcome f = fast(line);
  if (!f.taken) return false;  // declined: the general recognisers decide
  const outcome g = general(line);
  EXPECT_TRUE(g.taken) << line;
  EXPECT_EQ(f.is_integer, g.is_integer) << line;
  EXPECT_EQ(f.bits, g.bits) << line;
  EXPECT_EQ(f.col, g.col) << line;
  return true;
}

TEST(PlainNumber, AgreesWithTheGeneralRecognisers) {
  // Every field but the two integers beyond 32 bits is decided in one pass.
  const char* fields[] = {
      "1",
      "-7",
      "+7",
      "0",
      "-0",
      "2147483647",
      "-2147483648",
      "1.5",
      "-2.5",
      "5.",
      ".5",
      "5.E3",
      "1E-3",
      "1.2345E-03",
      "-1.2345E+03",
      "1E0",
      "1E9999",
      "0E400",
      "1.0E-400",
      "3.0000E-05",
      "12.500",
      ".3",
      "0.1234567890123456789",
      "123456789012345.25",
      "7 8",
      "7,8",
      "7 , 8",
      "1.0,",
      "2.5E-308",
      "4.9E-324",
      "1.7976931348623157E308",
  };
  for (const char* field : fields) EXPECT_TRUE(expect_same(field)) << field;
  for (const char* field : {"2147483648", "99999999999"}) {
    EXPECT_FALSE(expect_same(field)) << field;
    EXPECT_TRUE(general(field).taken) << field;
  }
}

TEST(PlainNumber, DeclinesWhatItDoesNotCover) {
  for (const char* field : {"1+2", "2*PI", "1E", "1E+", "1E12345", ".", "-", "PI", "ABC", "1.2.3",
                            "1..2", "1234567890123456", "CASE_1", "SIN(1)", "+-1", "1:2"}) {
    EXPECT_FALSE(fast(field).taken) << field;
  }
}

TEST(PlainNumber, RandomNumbersInEveryWrittenForm) {
  std::mt19937_64 rng(4242);
  std::uniform_int_distribution<int> digit(0, 9), len(0, 9), exp(-330, 330), form(0, 5);
  int with_digits = 0;
  int decided = 0;
  for (int i = 0; i < 20000; ++i) {
    std::string s;
    if (form(rng) == 0) s += '-';
    bool any_digit = false;
    for (int k = len(rng); k > 0; --k, any_digit = true) s += static_cast<char>('0' + digit(rng));
    if (form(rng) != 1) {
      s += '.';
      for (int k = len(rng); k > 0; --k, any_digit = true) s += static_cast<char>('0' + digit(rng));
    }
    if (form(rng) >= 3) s.append("E").append(std::to_string(exp(rng)));
    if (!any_digit) continue;  // no number at all (the blank would end the field)
    ++with_digits;
    decided += expect_same(s + " 1") ? 1 : 0;
  }
  // At most 9 integer digits and 3 exponent digits: every form with a digit.
  EXPECT_EQ(decided, with_digits);
  EXPECT_GT(with_digits, 15000);
}

TEST(PlainNumber, FractionTermsAreTheRunTimeProducts) {
  for (std::size_t k = 0; k < kTermPlaces; ++k) {
    for (int d = 0; d < 10; ++d) {
      volatile double s = kFractionScale[k];
      EXPECT_EQ(kFractionTerm[k][static_cast<std::size_t>(d)], d * s) << k << ' ' << d;
    }
  }
}

}  // namespace
}  // namespace vantor::freeinput

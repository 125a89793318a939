// The one-pass number recogniser must give exactly what the general
// recognisers give (integer item, real item, value bits, cursor), or decline.
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
  outcome o;
  o.taken = take_plain_number(o.is_integer);
  o.bits = std::bit_cast<std::uint64_t>(o.is_integer ? static_cast<double>(input_state.IVALUE)
                                                     : input_state.RVALUE);
  o.col = input_state.ICOL;
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

void expect_same(const std::string& line) {
  const outcome f = fast(line);
  if (!f.taken) return;  // declined: the general recognisers decide
  const outcome g = general(line);
  EXPECT_TRUE(g.taken) << line;
  EXPECT_EQ(f.is_integer, g.is_integer) << line;
  EXPECT_EQ(f.bits, g.bits) << line;
  EXPECT_EQ(f.col, g.col) << line;
}

TEST(PlainNumber, AgreesWithTheGeneralRecognisers) {
  const char* fields[] = {
      "1",
      "-7",
      "+7",
      "0",
      "-0",
      "2147483647",
      "-2147483648",
      "2147483648",
      "99999999999",
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
  for (const char* field : fields) expect_same(field);
}

TEST(PlainNumber, DeclinesWhatItDoesNotCover) {
  for (const char* field : {"1+2", "2*PI", "1E", "1E+", "1E12345", ".", "-", "PI", "ABC", "1.2.3",
                            "1..2", "1234567890123456", "CASE_1", "SIN(1)", "+-1", "1:2"}) {
    bool is_integer = false;
    load(field);
    const int col = input_state.ICOL;
    EXPECT_FALSE(take_plain_number(is_integer)) << field;
    EXPECT_EQ(input_state.ICOL, col) << field;
  }
}

TEST(PlainNumber, RandomNumbersInEveryWrittenForm) {
  std::mt19937_64 rng(4242);
  std::uniform_int_distribution<int> digit(0, 9), len(0, 9), exp(-330, 330), form(0, 5);
  for (int i = 0; i < 20000; ++i) {
    std::string s;
    if (form(rng) == 0) s += '-';
    for (int k = len(rng); k > 0; --k) s += static_cast<char>('0' + digit(rng));
    if (form(rng) != 1) {
      s += '.';
      for (int k = len(rng); k > 0; --k) s += static_cast<char>('0' + digit(rng));
    }
    if (form(rng) >= 3) s.append("E").append(std::to_string(exp(rng)));
    expect_same(s + " 1");
  }
}

}  // namespace
}  // namespace vantor::freeinput

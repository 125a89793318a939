#include "freeinput/scan.h"

#include <gtest/gtest.h>

#include <array>
#include <string_view>

#include "freeinput/reader.h"
#include "freeinput/state.h"

namespace vantor::freeinput {
namespace {

// Makes line the current line (through the memory text source) and puts the
// cursor on column col.
void load(std::string_view line, int col, int ncmtch = 8) {
  input_state = free_input_state{};
  input_state.memory_text = line;
  int ierr = 0;
  INIFII_2(kMaxLineWidth, ncmtch, kMemorySource, -1, ierr);
  ASSERT_EQ(ierr, 0);
  RDLINE();
  ASSERT_EQ(input_state.IERSTA, 0);
  input_state.ICOL = col;
}

class ScanTest : public ::testing::Test {
 protected:
  void TearDown() override { input_state = free_input_state{}; }
};

struct endfld_case {
  std::string_view line;
  int col;
  bool result;
  int col_after;
};

TEST_F(ScanTest, FieldEnd) {
  const std::array<endfld_case, 11> cases{{
      {"1 , 2", 2, true, 5},
      {"1,,2", 2, true, 3},  // the second comma starts the next field
      {"1, 2", 2, true, 4},
      {"1 ,2", 2, true, 4},
      {"1    2", 2, true, 6},
      {"1 ,, 2", 2, true, 4},
      {"1,", 2, true, 3},  // a trailing comma, then the end of the line
      {"AB CD", 2, false, 2},
      {"1", 2, true, 2},
      {"A B", 0, false, 1},  // a cursor before the line starts on column 1
      {"1 2", -4, false, 1},
  }};
  for (const endfld_case& c : cases) {
    SCOPED_TRACE(c.line);
    load(c.line, c.col);
    EXPECT_EQ(ENDFLD(), c.result);
    EXPECT_EQ(input_state.ICOL, c.col_after);
  }
}

struct movcur_case {
  std::string_view line;
  int col, amount, col_after;
};

TEST_F(ScanTest, MoveCursor) {
  const std::array<movcur_case, 9> cases{{
      {"AB CD", 1, 0, 3},
      {"AB CD", 3, 0, 3},  // already on a blank
      {"AB CD", 4, 0, 6},  // no blank: past the last significant column
      {"AB CD", 6, 0, 6},  // beyond the line: stays
      {"AB CD", 3, -10, 1},
      {"AB CD", 3, 10, 6},
      {"AB CD", 2, 2, 4},
      {"AB CD", 3, -1, 2},
      {"AB CD", 1, -2147483647, 1},
  }};
  for (const movcur_case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.col << " " << c.amount);
    load(c.line, c.col);
    MOVCUR(c.amount);
    EXPECT_EQ(input_state.ICOL, c.col_after);
  }
}

struct keymat_case {
  std::string_view line;
  int col;
  std::string_view key;
  int n, ncmtch;
  bool result;
  int col_after;
};

TEST_F(ScanTest, KeywordMatch) {
  const std::array<keymat_case, 12> cases{{
      {"+5", 1, "+", 1, 8, true, 2},
      {"-5", 1, "+", 1, 8, false, 1},
      {"  +5", 1, "+", 1, 8, true, 4},
      {"  -5", 1, "+", 1, 8, false, 3},  // the blanks stay skipped
      {"ABCDEFGHIJ X", 1, "ABCDEFGHIJ", 10, 8, true, 11},
      {"ABCDEFGHZZ X", 1, "ABCDEFGHIJ", 10, 8, true, 11},  // abbreviation: on to the blank
      {"ABCDEFGZZZ X", 1, "ABCDEFGHIJ", 10, 8, false, 1},
      {"ABCDEFGH", 1, "ABCDEFGHIJ", 10, 8, true, 9},
      {"AB+C", 1, "ABCD", 4, 2, true, 5},
      {"X", 2, "X", 1, 8, false, 2},
      {"A+", 3, "+", 1, 1, false, 3},
      {"PI", 1, "PIS", 3, 8, false, 1},  // the sentinel after PI is not compared
  }};
  for (const keymat_case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.line << " / " << c.key);
    load(c.line, c.col, c.ncmtch);
    EXPECT_EQ(KEYMAT(c.key, c.n), c.result);
    EXPECT_EQ(input_state.ICOL, c.col_after);
  }
}

struct digstr_case {
  std::string_view line;
  bool result;
  std::int64_t value;
  int col_after;
};

TEST_F(ScanTest, DigitString) {
  const std::array<digstr_case, 6> cases{{
      {"007", true, 7, 4},
      {"12A", true, 12, 3},
      {"2147483647", true, 2147483647, 11},
      {"2147483648", true, 2147483648, 11},
      {"A1", false, -5, 1},
      {"-1", false, -5, 1},
  }};
  for (const digstr_case& c : cases) {
    SCOPED_TRACE(c.line);
    load(c.line, 1);
    input_state.digit_value = -5;
    EXPECT_EQ(DIGSTR(), c.result);
    EXPECT_EQ(input_state.digit_value, c.value);
    EXPECT_EQ(input_state.ICOL, c.col_after);
  }
}

TEST_F(ScanTest, LongDigitStringsAccumulateInDoublePrecision) {
  // Beyond 2^53 the value is accumulated digit by digit in double precision.
  for (std::string_view digits : {"9007199254740993", "99999999999999999999",
                                  "123456789012345678901234567890", "18014398509481985"}) {
    SCOPED_TRACE(digits);
    load(digits, 1);
    ASSERT_TRUE(DIGSTR());
    double expected = 0.0;
    for (char c : digits) expected = expected * 10.0 + (c - '0');
    EXPECT_EQ(input_state.digit_real, expected);
    EXPECT_GT(input_state.digit_value, std::int64_t{2147483647});
    EXPECT_EQ(input_state.ICOL, static_cast<int>(digits.size()) + 1);
  }
}

TEST_F(ScanTest, ScansStopAtTheSignificantEnd) {
  // A longer earlier line leaves characters behind the sentinel.
  load("ABC 123", 1);
  load("A", 1);
  EXPECT_TRUE(ISLETR());
  EXPECT_FALSE(ISLETR());  // the sentinel is no letter here
  input_state.ICOL = 3;
  EXPECT_FALSE(ISLETR());
  input_state.ICOL = 5;
  EXPECT_FALSE(ISDIGT());
  EXPECT_EQ(input_state.ICOL, 5);

  load("1   2  ", 2);
  SKIPBL();
  EXPECT_EQ(input_state.ICOL, 5);
  input_state.ICOL = 6;
  EXPECT_TRUE(ENDREC());
  EXPECT_EQ(input_state.ICOL, 6);  // on the sentinel

  // A cursor outside the line field reads nothing, whatever LASTCL says.
  input_state.LASTCL = 2147483647;
  for (int col : {-2147483647 - 1, 0, kLineFieldSize + 1, 2147483647}) {
    SCOPED_TRACE(col);
    input_state.ICOL = col;
    SKIPBL();
    EXPECT_EQ(input_state.ICOL, col);
    EXPECT_FALSE(ISLETR() || ISDIGT());
  }
}

}  // namespace
}  // namespace vantor::freeinput

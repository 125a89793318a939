// Free-form integer answers: every accepted form and every refusal.
#include "textio/console.h"

#include <gtest/gtest.h>

#include <string>

namespace vantor::textio {
namespace {

struct value_case {
  const char* text;
  int expected;
};

TEST(ConsoleInteger, AcceptedFormsFromAText) {
  const value_case cases[] = {
      {"  12  ", 12},
      {"+12", 12},
      {"-3", -3},
      {"2.9", 2},
      {"-2.9", -2},
      {"1e2", 100},
      {"1d2", 100},
      {"1Q2", 100},
      {"1E3", 1000},
      {"-4.", -4},
      {"3*5", 5},
      {"12,13", 12},
      {"12 abc", 12},
      {"\t7", 7},
      {"1E", 1},
      {".5", 0},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"1.5E+1", 15},
      {"2*-7", -7},
      {"12/", 12},
  };
  for (const auto& c : cases) {
    int target = -99;
    readInteger(c.text, target);
    EXPECT_EQ(target, c.expected) << c.text;
  }
}

TEST(ConsoleInteger, NullValuesKeepTheTarget) {
  for (const char* text : {"/", ",", " , 5", "3*", "  /7"}) {
    int target = 42;
    readInteger(text, target);
    EXPECT_EQ(target, 42) << text;
  }
}

struct fatal_case {
  const char* text;
  int number;
  const char* message;
};

TEST(ConsoleIntegerDeathTest, RefusedTokensEndTheRun) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const fatal_case cases[] = {
      {"abc", 59, "list-directed I/O syntax error"},
      {"12abc", 59, "list-directed I/O syntax error"},
      {"+", 59, "list-directed I/O syntax error"},
      {"+-3", 59, "list-directed I/O syntax error"},
      {"1.2.3", 59, "list-directed I/O syntax error"},
      {"E5", 59, "list-directed I/O syntax error"},
      {"1+5", 59, "list-directed I/O syntax error"},
      {"1.0+5", 59, "list-directed I/O syntax error"},
      {"1E+", 59, "list-directed I/O syntax error"},
      {".", 59, "list-directed I/O syntax error"},
      {"#", 59, "list-directed I/O syntax error"},
      {"(", 59, "list-directed I/O syntax error"},
      {"T", 59, "list-directed I/O syntax error"},
      {"false", 59, "list-directed I/O syntax error"},
      {".t.", 59, "list-directed I/O syntax error"},
      {"'3'", 59, "list-directed I/O syntax error"},
      {"0*5", 59, "list-directed I/O syntax error"},
      {"-2*5", 59, "list-directed I/O syntax error"},
      {"99999999999", 64, "input conversion error"},
      {"-2147483649", 64, "input conversion error"},
      {"3.0E9", 64, "input conversion error"},
      {"1E999", 64, "input conversion error"},
      {"   ", 24, "end-of-file during read"},
  };
  for (const auto& c : cases) {
    const std::string expected = std::string("^forrtl: severe \\(") + std::to_string(c.number) +
                                 "\\): " + c.message +
                                 ", unit -5, file Internal List-Directed Read\n$";
    EXPECT_EXIT(
        {
          int target = 0;
          readInteger(c.text, target);
        },
        ::testing::ExitedWithCode(c.number), expected)
        << c.text;
  }
}

}  // namespace
}  // namespace vantor::textio

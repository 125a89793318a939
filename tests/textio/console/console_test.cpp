// Free-form integer answers: every accepted form and every refusal.
#include "textio/console/console.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "textio/format/field.h"

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

// Console answers around the old 1 MiB line buffer: the value comes from the
// whole token wherever it starts, never from a cut token or the next line, and
// length alone decides nothing.
struct long_answer_case {
  const char* name;
  std::string line;
  int expected;  // the value read, or the fatal number
  bool fatal;
};

TEST(ConsoleIntegerDeathTest, AnswersOfAnyLength) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  constexpr std::size_t kMiB = std::size_t{1} << 20;
  const std::string blanks(kMiB, ' ');
  const long_answer_case cases[] = {
      {"2^20 - 1 blanks", blanks.substr(1) + "12345678", 12345678, false},
      {"2^20 blanks", blanks + "7", 7, false},
      {"2^20 + 4 blanks", blanks + "    12345678\r", 12345678, false},
      {"token across 2^20", blanks.substr(4) + "12345678", 12345678, false},
      {"tabs and a comma", std::string(kMiB, '\t') + " 42,7", 42, false},
      {"a comma after 2^20 tabs", std::string(kMiB, '\t') + ",7", -1, false},
      {"a number token of 2^20 digits", std::string(kMiB, '1'), 64, true},
      {"2^20 zeros and a 5", std::string(kMiB, '0') + "5", 5, false},
      {"a real token of 2^20 digits", "1." + std::string(kMiB, '5'), 1, false},
      {"a word of 2^20 letters", std::string(kMiB, 'a'), 59, true},
      {"digits then a letter", std::string(kMiB, '1') + "x", 59, true},
  };
  const std::string path =
      ::testing::TempDir() + "vantor_console_answer_" + std::to_string(::getpid()) + ".txt";
  for (const auto& c : cases) {
    {
      std::ofstream out(path, std::ios::binary);
      out << c.line << "\nnext line\n";
    }
    const auto body = [&path, &c] {
      const int fd = ::open(path.c_str(), O_RDONLY);
      if (fd < 0 || ::dup2(fd, 0) < 0) std::_Exit(100);
      int target = -1;
      readInteger(target);
      field<256> next{};
      readLine(next);
      std::_Exit(target == c.expected && view(next).substr(0, 10) == "next line " ? 0 : 101);
    };
    if (c.fatal) {
      EXPECT_EXIT(body(), ::testing::ExitedWithCode(c.expected), "unit 5, file CONIN\\$") << c.name;
    } else {
      EXPECT_EXIT(body(), ::testing::ExitedWithCode(0), "") << c.name;
    }
  }
  // A text answer keeps its first 256 characters; the rest of its line is read
  // and dropped.
  {
    std::ofstream out(path, std::ios::binary);
    out << std::string(256, 'p') << std::string(kMiB, 'q') << "\r\nnext\n";
  }
  EXPECT_EXIT(
      {
        const int fd = ::open(path.c_str(), O_RDONLY);
        if (fd < 0 || ::dup2(fd, 0) < 0) std::_Exit(100);
        field<256> answer{};
        field<256> next{};
        readLine(answer);
        readLine(next);
        std::_Exit(
            view(answer) == std::string(256, 'p') && view(next).substr(0, 5) == "next " ? 0 : 101);
      },
      ::testing::ExitedWithCode(0), "");
  std::remove(path.c_str());
}

}  // namespace
}  // namespace vantor::textio

#include "freeinput/text.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "textio/format/field.h"
#include "textio/units/units.h"

namespace vantor::freeinput {
namespace {

int backward_scan(std::string_view text) {
  for (std::size_t i = text.size(); i > 0; --i) {
    if (text[i - 1] != ' ') return static_cast<int>(i);
  }
  return 0;
}

std::string padded(std::string text, std::size_t length) {
  text.resize(length, ' ');
  return text;
}

TEST(TextTrim, LastAndFirstNonBlank) {
  const struct {
    std::string text;
    int last, first;
  } cases[] = {
      {"", 0, 0},
      {std::string(256, ' '), 0, 0},
      {padded("abc", 256), 3, 1},
      {std::string(255, ' ') + "x", 256, 256},
      {"  \t  ", 3, 3},
      {padded("  ab cd", 40), 7, 3},
      {std::string(1, '\0') + "   ", 1, 1},
      // Non-blank just before and at the probe positions 26, 102 and 179 of a 256-field.
      {padded(std::string(25, ' ') + "q", 256), 26, 26},
      {padded(std::string(100, ' ') + "qr", 256), 102, 101},
      {padded(std::string(178, ' ') + "q", 256), 179, 179},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LENNB(c.text), c.last) << '"' << c.text << '"';
    EXPECT_EQ(POSNB(c.text), c.first) << '"' << c.text << '"';
  }
}

TEST(TextTrim, LennbEqualsBackwardScan) {
  // Exhaustively: every text of length 0 to 16 made of blanks and 'x'.
  for (std::size_t length = 0; length <= 16; ++length) {
    for (unsigned bits = 0; bits < (1U << length); ++bits) {
      std::string text(length, ' ');
      for (std::size_t i = 0; i < length; ++i) {
        if ((bits >> i) & 1U) text[i] = 'x';
      }
      ASSERT_EQ(LENNB(text), backward_scan(text)) << '"' << text << '"';
    }
  }
  // Randomly: long texts with a sparse head and a blank tail of any length.
  std::mt19937 random(20261207);
  std::uniform_int_distribution<std::size_t> length_of(17, 1200);
  std::uniform_int_distribution<int> letter(0, 3);
  for (int round = 0; round < 20000; ++round) {
    const std::size_t length = length_of(random);
    const std::size_t head = std::uniform_int_distribution<std::size_t>(0, length)(random);
    std::string text(length, ' ');
    for (std::size_t i = 0; i < head; ++i) {
      if (letter(random) == 0) text[i] = "a\t.Z"[letter(random)];
    }
    ASSERT_EQ(LENNB(text), backward_scan(text)) << "length " << length << " head " << head;
  }
}

TEST(TextAppend, Chrapp) {
  const struct {
    std::string target, second, expected;
  } cases[] = {
      {"  ab  ", "_", "ab_   "},           {"      ", "_", "_     "},
      {"abcdef", "XYZ", "abcdef"},         {"abcd  ", "XYZ", "abcdXY"},
      {" a b  ", "c", "a bc  "},           {"ab    ", "", "ab    "},
      {"      ", "toolongtext", "toolon"}, {"", "x", ""},
      {"\t     ", "x", "\tx    "},
  };
  for (const auto& c : cases) {
    std::string target = c.target;
    CHRAPP(std::span<char>(target), c.second);
    EXPECT_EQ(target, c.expected) << '"' << c.target << "\" + \"" << c.second << '"';
  }
  // The second text may lie inside the target itself.
  std::string target = "  ab  ";
  CHRAPP(std::span<char>(target), std::string_view(target).substr(2, 2));
  EXPECT_EQ(target, "abab  ");
}

// Runs CHARIN with its messages on a file unit; returns the bytes written.
std::string charin_messages(std::string& target, std::string_view source, int number, int ndigits,
                            int& ierr) {
  constexpr int kUnit = 42;
  const auto path =
      std::filesystem::path(::testing::TempDir()) / ("vantor_charin_" + std::to_string(::getpid()));
  textio::open_spec spec;
  spec.name = path.native();
  EXPECT_EQ(textio::open_unit(kUnit, spec), 0);
  CHARIN(std::span<char>(target), source, number, ndigits, kUnit, ierr);
  textio::close_unit(kUnit);
  std::ifstream in(path, std::ios::binary);
  std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::filesystem::remove(path);
  return bytes;
}

TEST(TextSuffix, CharinAppendsDigits) {
  const struct {
    std::string source;
    std::size_t length;
    int number, ndigits;
    std::string expected;
  } cases[] = {
      {"riser_", 16, 7, 3, padded("riser_007", 16)},
      {"riser_", 16, 0, 3, padded("riser_000", 16)},
      {"riser_", 16, 999, 3, padded("riser_999", 16)},
      {"  pre  ", 16, 7, 1, padded("pre7", 16)},
      {"    ", 8, 5, 2, padded("05", 8)},
      {"riser_", 16, 12345, 0, padded("riser_", 16)},
      {"riser_", 16, 5, -3, padded("riser_", 16)},
      {"riser_", 8, 12345, 5, "riser_12"},
      {"a", 12, 999999999, 9, padded("a999999999", 12)},
      {"", 0, 1, 1, ""},
      // The 80-character work field follows the source span: digits, then blanks.
      {std::string(70, 'n'), 100, 1, 2, padded(std::string(70, 'n') + "01", 100)},
  };
  for (const auto& c : cases) {
    std::string target(c.length, '?');
    int ierr = -1;  // success leaves a flag that is already set
    EXPECT_EQ(charin_messages(target, c.source, c.number, c.ndigits, ierr), "");
    EXPECT_EQ(target, c.expected) << c.number << " d=" << c.ndigits;
    EXPECT_EQ(ierr, -1);
  }
}

TEST(TextSuffix, CharinTargetIsSource) {
  textio::field<256> name{};
  textio::assign(name, "riser");
  CHRAPP(name, "_");
  int ierr = 0;
  CHARIN(name, textio::view(name), 7, 3, textio::kConsoleOut, ierr);
  CHRAPP(name, ".RawDam");
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(textio::view(name), padded("riser_007.RawDam", 256));

  std::string field = "   ab    ";
  CHARIN(std::span<char>(field), field, 3, 2, textio::kConsoleOut, ierr);
  EXPECT_EQ(field, "ab03     ");
}

TEST(TextSuffix, CharinErrorsReportAndLeaveTargetAlone) {
  const std::string header = "\r\n  *** ERROR IN CHARIN ***\r\n\r\n\r\n";
  const std::string negative = header + "   Negative integer input         : ";
  const std::string actual = header + "   Actual integer number          : ";
  const std::string more = "\r\n   has more digits than specified : ";
  const struct {
    int number, ndigits;
    std::string report;
  } cases[] = {
      {-1, 3, negative + "          -1\r\n"},
      {-1, 12, negative + "          -1\r\n"},  // the sign is checked first
      {-2147483647 - 1, 3, negative + " -2147483648\r\n"},
      {5, 10, header + "   Too big integer number         :            5\r\n"},
      {1234, 3, actual + "        1234" + more + "         3\r\n"},
      {12, 1, actual + "          12" + more + "         1\r\n"},
      {1000, 3, actual + "        1000" + more + "         3\r\n"},
      {2147483647, 9, actual + "  2147483647" + more + "         9\r\n"},
  };
  for (const auto& c : cases) {
    std::string target = "unchanged ";
    int ierr = 0;
    EXPECT_EQ(charin_messages(target, "riser_", c.number, c.ndigits, ierr), c.report);
    EXPECT_EQ(target, "unchanged ") << c.number << " d=" << c.ndigits;
    EXPECT_EQ(ierr, -1);
  }
}

}  // namespace
}  // namespace vantor::freeinput

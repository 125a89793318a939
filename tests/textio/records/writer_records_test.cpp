// The record writer on a unit and on a text variable: statements, records and
// their terminators, rows of reals, internal records and their overflow.
#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tests/textio/records/system_layouts.h"
#include "textio/format/field.h"
#include "textio/records/writer.h"
#include "textio/units/units.h"

namespace vantor::textio {
namespace {

constexpr layout kRow = layout_of("(F13.3,1P,99E12.4)");

// ---------------------------------------------------------------------------
// Statements and records on a unit.

constexpr int kUnit = 77;

std::string written(void (*body)()) {
  // One file per test: ctest runs the tests of this file side by side.
  const std::string path = ::testing::TempDir() + "vantor_writer_" +
                           ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
  open_spec spec;
  spec.name = path;
  spec.status = open_status::unknown;
  EXPECT_EQ(open_unit(kUnit, spec), 0);
  body();
  close_unit(kUnit);
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

constexpr layout kCharin = layout_of("(/,TR2,'*** ERROR IN CHARIN ***')");
constexpr layout kPrompt = layout_of("(' ',A,$)");
constexpr layout kTwoBlank = layout_of("(/,/,A)");
constexpr layout kLabelled = layout_of("(/,A,I8,A,/)");
constexpr layout kIostat = layout_of("(TR5,'IOSTAT =',I4)");
constexpr layout kShortRow = layout_of("(F13.3,1P,2E12.4)");
constexpr layout kMixedScale = layout_of("(F13.3,1P,E12.4,0P,F35.1)");
constexpr layout kQuoted = layout_of("('It''s ',A,'''')");
constexpr layout kMidDollar = layout_of("('a',$,/,'b')");
constexpr layout kStops = layout_of("('x',I5,'y')");
constexpr layout kPair = layout_of("(A,A)");
constexpr layout kTrailingSkip = layout_of("(A,TR5)");
constexpr layout kInt4 = layout_of("(I4)");
constexpr layout kLiteralOnly = layout_of("('only')");
constexpr layout kRepeatInt = layout_of("(2I3)");

struct record_case {
  const char* name;
  void (*body)();
  std::string_view expected;
};

const std::array<double, 3> kThree = {1.0, -0.5, 0.00123456};

const record_case kRecordCases[] = {
    {"leading slash and TR", [] { write(kUnit, kCharin); }, "\r\n  *** ERROR IN CHARIN ***\r\n"},
    {"prompt without terminator",
     [] { write(kUnit, kPrompt, std::string_view("Give First case to process        :  ")); },
     " Give First case to process        :  "},
    {"prompt then answer echo on the same line",
     [] {
       write(kUnit, kPrompt, std::string_view("Q :"));
       write(kUnit, kInt4, 12);
     },
     " Q :  12\r\n"},
    {"two empty lines", [] { write(kUnit, kTwoBlank, std::string_view("x")); }, "\r\n\r\nx\r\n"},
    {"final slash gives an empty line",
     [] { write(kUnit, kLabelled, std::string_view("n ="), 123, std::string_view(" ok")); },
     "\r\n"
     "n =     123 ok\r\n"
     "\r\n"},
    {"TR then literal then integer", [] { write(kUnit, kIostat, -1); }, "     IOSTAT =  -1\r\n"},
    {"unused repetitions write nothing",
     [] { write(kUnit, kRow, 12.5, std::span<const double>(kThree)); },
     "       12.500  1.0000E+00 -5.0000E-01  1.2346E-03\r\n"},
    {"restart keeps the scale factor", [] { write(kUnit, kShortRow, 1.0, 2.0, 3.0, 4.5, 5.0); },
     "        1.000  2.0000E+00  3.0000E+00\r\n       45.000  5.0000E+00\r\n"},
    {"scale factor back to 0 at the next statement",
     [] {
       write(kUnit, kShortRow, 1.0, 2.0, 3.0, 4.5);
       write(kUnit, kShortRow, 4.5);
     },
     "        1.000  2.0000E+00  3.0000E+00\r\n       45.000\r\n        4.500\r\n"},
    {"0P after 1P", [] { write(kUnit, kMixedScale, 1.0, 2.0, 1.5e20); },
     "        1.000  2.0000E+00            150000000000000000000.0\r\n"},
    {"doubled apostrophes", [] { write(kUnit, kQuoted, std::string_view("ok")); }, "It's ok'\r\n"},
    {"dollar only affects the last record", [] { write(kUnit, kMidDollar); }, "a\r\nb"},
    {"data descriptor without item ends the statement", [] { write(kUnit, kStops); }, "x\r\n"},
    {"closing parenthesis ends after the last item",
     [] { write(kUnit, kPair, std::string_view("a")); }, "a\r\n"},
    {"trailing blanks of a text are written",
     [] { write(kUnit, kPair, std::string_view("ab   "), std::string_view("")); }, "ab   \r\n"},
    {"columns passed over at the end are not written",
     [] { write(kUnit, kTrailingSkip, std::string_view("ab")); }, "ab\r\n"},
    {"Aw pads on the left or cuts",
     [] {
       write(kUnit, kSystemLayouts[25], std::string_view("OLD"), std::string_view("SEQUENTIAL"),
             std::string_view("FORMATTED-LONG"), 0);
     },
     "     FILE CHARACTERISTICS :\r\n"
     "          STATUS =    OLD\r\n"
     "          ACCESS =SEQUENTIAL\r\n"
     "          FORM   =FORMATTED-L\r\n"
     "          LENGTH =    0 WORDS/BYTES PER RECORD (SECTOR)\r\n"},
    {"item of the wrong kind gives asterisks", [] { write(kUnit, kInt4, 1.5); }, "****\r\n"},
    {"item for a layout without data descriptors is dropped", [] { write(kUnit, kLiteralOnly, 3); },
     "only\r\n"},
    {"repeat restarted", [] { write(kUnit, kRepeatInt, 1, 2, 3); }, "  1  2\r\n  3\r\n"},
    {"statement fed in steps",
     [] {
       statement s(kUnit, kRow);
       s << 12.5;
       s << std::span<const double>(kThree).first(2);
       s << kThree[2];
       s.end();
     },
     "       12.500  1.0000E+00 -5.0000E-01  1.2346E-03\r\n"},
    {"destructor ends the statement",
     [] {
       statement s(kUnit, kIostat);
       s << 7;
     },
     "     IOSTAT =   7\r\n"},
    {"a statement abandoned by an exception writes nothing",
     [] {
       try {
         statement s(kUnit, kIostat);
         s << 7;
         throw 1;
       } catch (int) {
       }
       write(kUnit, kInt4, 5);
     },
     "   5\r\n"},
    {"more open statements than reused records",
     [] {
       std::array<statement, 5> open = {statement(kUnit, kRow), statement(kUnit, kRow),
                                        statement(kUnit, kRow), statement(kUnit, kRow),
                                        statement(kUnit, kRow)};
       for (std::size_t k = 0; k < open.size(); ++k) {
         open[k] << static_cast<double>(k) << std::span<const double>(kThree).first(k % 3 + 1);
       }
       for (std::size_t k = open.size(); k-- > 0;) open[k].end();
     },
     "        4.000  1.0000E+00 -5.0000E-01\r\n"
     "        3.000  1.0000E+00\r\n"
     "        2.000  1.0000E+00 -5.0000E-01  1.2346E-03\r\n"
     "        1.000  1.0000E+00 -5.0000E-01\r\n"
     "        0.000  1.0000E+00\r\n"},
    {"nested statements keep their own records",
     [] {
       statement outer(kUnit, kRow);
       outer << 1.0;
       write(kUnit, kInt4, 5);
       outer << 2.0;
     },
     "   5\r\n        1.000  2.0000E+00\r\n"},
};

TEST(WriterRecords, RecordsAndTerminators) {
  for (const record_case& c : kRecordCases) {
    EXPECT_EQ(written(c.body), c.expected) << c.name;
  }
}

constexpr layout kOtherRow = layout_of("(F8.2,2P,3E11.3)");
const std::array<double, 3> kOdd = {-0.0, 1e300, std::numeric_limits<double>::quiet_NaN()};

// Rows written straight into their record read as the statement writes them,
// and layouts of another shape or runs too long for them go the statement's way.
TEST(WriterRecords, RealRowsMatchTheStatement) {
  struct row_case {
    void (*rows)();
    void (*statements)();
  };
  const row_case cases[] = {
      {[] { write_reals(kUnit, kRow, 12.5, kThree); },
       [] { write(kUnit, kRow, 12.5, std::span<const double>(kThree)); }},
      {[] { write_reals(kUnit, kRow, -1e9, {}); },
       [] { write(kUnit, kRow, -1e9, std::span<const double>()); }},
      {[] { write_reals(kUnit, kOtherRow, 0.125, kOdd); },
       [] { write(kUnit, kOtherRow, 0.125, std::span<const double>(kOdd)); }},
      {[] { write_reals(kUnit, kShortRow, 1.0, kThree); },
       [] { write(kUnit, kShortRow, 1.0, std::span<const double>(kThree)); }},
      {[] { write_reals(kUnit, kMixedScale, 1.0, std::span<const double>(kThree).first(2)); },
       [] { write(kUnit, kMixedScale, 1.0, std::span<const double>(kThree).first(2)); }},
  };
  for (const row_case& c : cases) EXPECT_EQ(written(c.rows), written(c.statements));
}

// ---------------------------------------------------------------------------
// Internal records.

TEST(WriterInternal, FieldsFillTheVariable) {
  struct internal_case {
    const char* name;
    void (*body)(std::span<char>);
    std::string_view expected;
  };
  static constexpr layout kI53 = layout_of("(I5.3)");
  static constexpr layout kAI = layout_of("(A,I4)");
  constexpr internal_case cases[] = {
      {"I5.3 into 10 columns", [](std::span<char> v) { write_internal(v, kI53, 7); }, "  007     "},
      {"old content blanked",
       [](std::span<char> v) { write_internal(v, kAI, std::string_view("ab")); }, "ab        "},
      {"exact fit",
       [](std::span<char> v) { write_internal(v, kAI, std::string_view("abcdef"), 1234); },
       "abcdef1234"},
  };
  for (const internal_case& c : cases) {
    std::array<char, 10> variable;
    variable.fill('#');
    c.body(variable);
    EXPECT_EQ(view(variable), c.expected) << c.name;
  }
}

constexpr std::string_view kOverflow =
    "forrtl: severe \\(66\\): output statement overflows record, unit -5, file Internal "
    "Formatted Write";

TEST(WriterInternalDeathTest, OverflowEndsTheRun) {
  constexpr layout kAI = layout_of("(A,I4)");
  constexpr layout kTwoRecords = layout_of("(A,/,A)");
  constexpr layout kInt3 = layout_of("(I3)");
  std::array<char, 10> variable{};
  EXPECT_EXIT(write_internal(variable, kAI, std::string_view("abcdefg"), 1),
              ::testing::ExitedWithCode(66), kOverflow.data());
  EXPECT_EXIT(write_internal(variable, kTwoRecords, std::string_view("a"), std::string_view("b")),
              ::testing::ExitedWithCode(66), kOverflow.data());
  EXPECT_EXIT(write_internal(variable, kInt3, 1, 2), ::testing::ExitedWithCode(66),
              kOverflow.data());
}

}  // namespace
}  // namespace vantor::textio

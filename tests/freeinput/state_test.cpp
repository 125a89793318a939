#include "freeinput/state.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "freeinput/reader.h"
#include "textio/units.h"

namespace vantor::freeinput {
namespace {

namespace fs = std::filesystem;

constexpr int kPreviousMessages = 71;  // message unit of the previous initialisation
constexpr int kArgumentMessages = 72;  // message unit given to the call under test
constexpr int kInputUnit = 73;

std::string read_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class StateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::path(::testing::TempDir()) / "vantor_state_XXXXXX").native();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    input_state = free_input_state{};
  }
  void TearDown() override {
    for (int unit : {kPreviousMessages, kArgumentMessages, kInputUnit}) textio::close_unit(unit);
    input_state = free_input_state{};
    fs::remove_all(dir_);
  }

  std::string path(std::string_view name) const { return (dir_ / name).native(); }

  // Opens a new, empty file on the unit.
  void open_output(int unit, std::string_view name) {
    const std::string p = path(name);
    fs::remove(p);
    ASSERT_EQ(textio::open_unit(unit, {p, textio::open_status::unknown}), 0);
  }

  void open_input(std::string_view name, std::string_view bytes) {
    const std::string p = path(name);
    std::ofstream(p, std::ios::binary) << bytes;
    ASSERT_EQ(textio::open_unit(kInputUnit, {p, textio::open_status::old_file}), 0);
  }

  // Closes the unit and returns what was written on it.
  std::string take_output(int unit, std::string_view name) {
    textio::close_unit(unit);
    return read_bytes(path(name));
  }

  fs::path dir_;
};

struct rejected_case {
  int nchlin, ncmtch, lunrd;
  std::string_view previous_unit_text;  // parameter report
  std::string_view argument_unit_text;  // short report
  int nchlin_after, ncmtch_after, lunrd_after;
};

constexpr std::string_view kShortReport = "\r\n  *** ERROR IN INIFII_2 ***\r\n";

TEST_F(StateTest, RejectedInitialisationReportsAndKeepsWhatPassed) {
  const std::array<rejected_case, 7> cases{{
      {4000, 8, 89,
       "\r\n\r\n\r\n *** ERROR RETURN FROM  Q O R  LIBRARY ROUTINE FIIOPN\r\n"
       "     ILLEGAL PARAMETER(S) :  NCHLIN = 4000\r\n"
       "                             NCMTCH =    8\r\n"
       "                             LUNRD  =   89\r\n",
       "", 100, 3, kMemorySource},
      {2049, 8, 89,
       "\r\n\r\n\r\n *** ERROR RETURN FROM  Q O R  LIBRARY ROUTINE FIIOPN\r\n"
       "     ILLEGAL PARAMETER(S) :  NCHLIN = 2049\r\n"
       "                             NCMTCH =    8\r\n"
       "                             LUNRD  =   89\r\n",
       "", 100, 3, kMemorySource},
      {0, 8, 89,
       "\r\n\r\n\r\n *** ERROR RETURN FROM  Q O R  LIBRARY ROUTINE FIIOPN\r\n"
       "     ILLEGAL PARAMETER(S) :  NCHLIN =    0\r\n"
       "                             NCMTCH =    8\r\n"
       "                             LUNRD  =   89\r\n",
       "", 100, 3, kMemorySource},
      // The width passed its check and is kept; the rest is as before.
      {2048, 0, 88,
       "\r\n\r\n\r\n *** ERROR RETURN FROM  Q O R  LIBRARY ROUTINE FIIOPN\r\n"
       "     ILLEGAL PARAMETER(S) :  NCHLIN = 2048\r\n"
       "                             NCMTCH =    0\r\n"
       "                             LUNRD  =   88\r\n",
       "", 2048, 3, kMemorySource},
      // A reading unit of 0 or below: the short report on the argument unit.
      {512, 8, 0, "", kShortReport, 100, 3, kMemorySource},
      {512, 8, -7, "", kShortReport, 100, 3, kMemorySource},
      {4000, 0, -1, "", kShortReport, 100, 3, kMemorySource},
  }};
  for (const rejected_case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.nchlin << " " << c.ncmtch << " " << c.lunrd);
    input_state = free_input_state{};
    int ierr = 0;
    open_output(kPreviousMessages, "previous.txt");
    INIFII_2(100, 3, kMemorySource, kPreviousMessages, ierr);
    ASSERT_EQ(ierr, 0);
    open_output(kArgumentMessages, "argument.txt");

    ierr = 5;
    INIFII_2(c.nchlin, c.ncmtch, c.lunrd, kArgumentMessages, ierr);
    EXPECT_EQ(ierr, 4);
    EXPECT_EQ(take_output(kPreviousMessages, "previous.txt"), c.previous_unit_text);
    EXPECT_EQ(take_output(kArgumentMessages, "argument.txt"), c.argument_unit_text);
    EXPECT_EQ(QRYOPT(2), c.nchlin_after);
    EXPECT_EQ(QRYOPT(3), c.ncmtch_after);
    EXPECT_EQ(QRYOPT(5), c.lunrd_after);
    EXPECT_EQ(QRYOPT(6), kPreviousMessages);
  }
}

TEST_F(StateTest, ParameterReportBeforeAnyInitialisationGoesNowhereWhenUnitIsNegative) {
  // Before any initialisation the report would go to standard output; with a
  // negative message unit in force nothing is written at all.
  SETOPT(-1, 2);
  int ierr = 0;
  INIFII_2(5000, 8, 89, 6, ierr);
  EXPECT_EQ(ierr, -1);
}

struct accepted_case {
  int nchlin, ncmtch, lunmsg;
  int lunech_after;
};

TEST_F(StateTest, AcceptedInitialisationResetsTheState) {
  const std::array<accepted_case, 4> cases{{
      {2048, 1, 6, -6},
      {1, 8, -3, -3},
      {512, 8, 0, 0},  // message unit 0: every line is echoed on the console
      {512, 8, 89, -89},
  }};
  for (const accepted_case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.nchlin << " " << c.ncmtch << " " << c.lunmsg);
    input_state.NEOF = 3;
    input_state.NLINRD = 17;
    input_state.IERSTA = -999;
    input_state.MAXEOF = 9;
    input_state.IUPCAS = 0;
    input_state.CMTMRK = '#';
    input_state.NWORD = 4;
    input_state.WORDBF.fill('Q');
    input_state.IVALUE = 12;
    input_state.RVALUE = 2.5;
    input_state.memory_position = 40;
    int ierr = 0;
    INIFII_2(c.nchlin, c.ncmtch, kMemorySource, c.lunmsg, ierr);
    EXPECT_EQ(ierr, 0);
    const free_input_state& st = input_state;
    EXPECT_EQ(st.NCHLIN, c.nchlin);
    EXPECT_EQ(st.NCMTCH, c.ncmtch);
    EXPECT_EQ(st.LUNRD, kMemorySource);
    EXPECT_EQ(st.LUNMSG, c.lunmsg);
    EXPECT_EQ(st.LUNECH, c.lunech_after);
    EXPECT_EQ(st.MAXEOF, 1);
    EXPECT_EQ(st.IUPCAS, 1);
    EXPECT_EQ(st.CMTMRK, '\'');
    EXPECT_EQ(st.NEOF, 0);
    EXPECT_EQ(st.NLINRD, 0);
    EXPECT_EQ(st.IERSTA, 0);
    EXPECT_EQ(st.NWORD, 0);
    EXPECT_EQ(std::string_view(st.WORDBF.data(), st.WORDBF.size()), std::string(32, ' '));
    EXPECT_EQ(st.IVALUE, 0);
    EXPECT_EQ(st.RVALUE, 0.0);
    EXPECT_EQ(st.memory_position, 0U);
  }
}

struct option_case {
  int value, code;
  int query, expected;
};

TEST_F(StateTest, SetAndQueryOptions) {
  const std::array<option_case, 12> cases{{
      {77, 1, 5, 77},
      {-2, 2, 6, -2},
      {9, 3, 7, 9},
      {0, 11, 4, 0},
      {3, 12, 8, 3},
      {300, 21, 2, 300},
      {2048, 21, 2, 2048},
      {5000, 21, 2, 2048},
      {0, 21, 2, 1},  // no width below one column
      {-3, 22, 3, 1},
      {4, 22, 3, 4},
      {99, 99, 0, 0},
  }};
  for (const option_case& c : cases) {
    SCOPED_TRACE(testing::Message() << "code " << c.code << " value " << c.value);
    SETOPT(c.value, c.code);
    EXPECT_EQ(QRYOPT(c.query), c.expected);
  }
  SETOPT(6, 13);
  EXPECT_EQ(input_state.NEOF, 6);

  input_state.ICOL = 14;
  input_state.NLINRD = 15;
  input_state.LASTCL = 16;
  EXPECT_EQ(QRYOPT(1), 14);
  EXPECT_EQ(QRYOPT(9), 15);
  EXPECT_EQ(QRYOPT(10), 16);
  EXPECT_EQ(QRYOPT(11), 0);
  EXPECT_EQ(QRYOPT(-1), 0);

  // Unknown codes change nothing.
  const auto settings = [] {
    const free_input_state& st = input_state;
    return std::array{st.LUNRD, st.LUNMSG, st.LUNECH, st.IUPCAS, st.MAXEOF,
                      st.NEOF,  st.NCHLIN, st.NCMTCH, st.ICOL,   st.LASTCL};
  };
  const auto before = settings();
  SETOPT(123, 14);
  SETOPT(123, 0);
  EXPECT_EQ(settings(), before);

  SETCMT('#');
  EXPECT_EQ(input_state.CMTMRK, '#');
}

TEST_F(StateTest, SecondInitialisationStartsAgainFromTheFirstLine) {
  open_input("data.txt", "1\n2\n3\n");
  std::array<int, 4> types{};
  std::array<double, 4> values{};
  std::array<char, 32> texts{};
  int ierr = 0;
  int count = 0;
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    INIFII_2(512, 8, kInputUnit, -1, ierr);
    ASSERT_EQ(ierr, 0);
    EXPECT_EQ(QRYOPT(9), 0);
    for (double expected : {1.0, 2.0, 3.0}) {
      RDMIX(count, types, values, texts, 8, 89, -1, ierr);
      ASSERT_EQ(count, 1);
      EXPECT_EQ(values[0], expected);
    }
    // The tolerated end of file is available again after each initialisation.
    RDMIX(count, types, values, texts, 8, 89, -1, ierr);
    EXPECT_EQ(count, -1);
    EXPECT_EQ(input_state.NEOF, 1);
    EXPECT_EQ(QRYOPT(9), 4);
  }
  EXPECT_EQ(ierr, 0);
}

TEST_F(StateTest, MemorySourceWithoutTextIsAtItsEnd) {
  int ierr = 0;
  INIFII_2(512, 8, kMemorySource, -1, ierr);
  ASSERT_EQ(ierr, 0);
  std::array<int, 2> types{};
  std::array<double, 2> values{};
  std::array<char, 16> texts{};
  int count = 7;
  RDMIX(count, types, values, texts, 8, 89, -1, ierr);
  EXPECT_EQ(count, -1);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(input_state.NLINRD, 1);
}

TEST_F(StateTest, MemorySourceSplitsLinesAtLineFeedsAndNuls) {
  using namespace std::string_view_literals;
  input_state.memory_text =
      "1 2\nabcdefghij\0"
      "3\n\n4"sv;
  int ierr = 0;
  INIFII_2(5, 8, kMemorySource, -1, ierr);
  input_state.memory_position = 99;  // the initialisation goes back to the start
  INIFII_2(5, 8, kMemorySource, -1, ierr);
  ASSERT_EQ(ierr, 0);
  // Lines are cut to the width; the blank fourth line is skipped.
  for (std::string_view expected : {"1 2  ", "abcde", "3    ", "4    "}) {
    RDLINE();
    EXPECT_EQ(std::string_view(input_state.RAWLIN.data(), 5), expected);
  }
  EXPECT_EQ(input_state.NLINRD, 5);
  EXPECT_EQ(input_state.NEOF, 0);
}

}  // namespace
}  // namespace vantor::freeinput

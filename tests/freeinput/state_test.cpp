#include "freeinput/state.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "freeinput/reader.h"
#include "textio/units/units.h"

namespace vantor::freeinput {
namespace {

namespace fs = std::filesystem;

constexpr int kPreviousMessages = 71;  // message unit of the previous initialisation
constexpr int kArgumentMessages = 72;  // message unit given to the call under test
constexpr int kInputUnit = 73;

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

  std::string path(int unit) const { return (dir_ / std::to_string(unit)).native(); }

  void open_new(int unit) {
    fs::remove(path(unit));
    ASSERT_EQ(textio::open_unit(unit, {path(unit), textio::open_status::unknown}), 0);
  }
  std::string take_output(int unit) {
    textio::close_unit(unit);
    std::ifstream in(path(unit), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  fs::path dir_;
};

constexpr std::string_view kShortReport = "\r\n  *** ERROR IN INIFII_2 ***\r\n";
constexpr std::string_view kParameterHeader =
    "\r\n\r\n\r\n *** ERROR RETURN FROM  Q O R  LIBRARY ROUTINE FIIOPN\r\n";

struct rejected_case {
  int nchlin, ncmtch, lunrd;
  bool short_report;
  int nchlin_after;  // what passed its check is kept
};

TEST_F(StateTest, RejectedInitialisation) {
  const std::array<rejected_case, 7> cases{{
      {4000, 8, 89, false, 100},
      {2049, 8, 89, false, 100},
      {0, 8, 89, false, 100},
      {2048, 0, 88, false, 2048},
      {512, 8, 0, true, 100},  // reading unit 0: the short report
      {512, 8, -7, true, 100},
      {4000, 0, -1, true, 100},
  }};
  for (const rejected_case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.nchlin << " " << c.ncmtch << " " << c.lunrd);
    int ierr = 0;
    open_new(kPreviousMessages);
    INIFII_2(100, 3, kMemorySource, kPreviousMessages, ierr);
    ASSERT_EQ(ierr, 0);
    open_new(kArgumentMessages);
    ierr = 5;
    INIFII_2(c.nchlin, c.ncmtch, c.lunrd, kArgumentMessages, ierr);
    EXPECT_EQ(ierr, 4);
    const std::string previous = take_output(kPreviousMessages);
    const std::string argument = take_output(kArgumentMessages);
    EXPECT_EQ(argument, c.short_report ? kShortReport : "");
    EXPECT_EQ(previous.starts_with(kParameterHeader), !c.short_report);
    EXPECT_EQ(QRYOPT(2), c.nchlin_after);
    EXPECT_EQ(QRYOPT(3), 3);
    EXPECT_EQ(QRYOPT(5), kMemorySource);
    EXPECT_EQ(QRYOPT(6), kPreviousMessages);
    if (c.nchlin == 4000 && c.lunrd == 89) {
      EXPECT_EQ(previous.substr(kParameterHeader.size()),
                "     ILLEGAL PARAMETER(S) :  NCHLIN = 4000\r\n"
                "                             NCMTCH =    8\r\n"
                "                             LUNRD  =   89\r\n");
    }
  }
}

TEST_F(StateTest, AcceptedInitialisationResetsTheState) {
  // Message unit and the echo unit that follows from it (0: echo on the console).
  const std::array<std::array<int, 2>, 4> cases{{{6, -6}, {-3, -3}, {0, 0}, {89, -89}}};
  for (const auto& [lunmsg, lunech] : cases) {
    SCOPED_TRACE(lunmsg);
    free_input_state& st = input_state;
    st.NEOF = 3, st.NLINRD = 17, st.IERSTA = -999, st.MAXEOF = 9, st.IUPCAS = 0;
    st.CMTMRK = '#', st.NWORD = 4, st.IVALUE = 12, st.RVALUE = 2.5, st.memory_position = 40;
    int ierr = 0;
    INIFII_2(2048, 1, kMemorySource, lunmsg, ierr);
    EXPECT_EQ(ierr, 0);
    EXPECT_EQ(std::tie(st.NCHLIN, st.NCMTCH, st.LUNRD, st.LUNMSG, st.LUNECH),
              std::make_tuple(2048, 1, kMemorySource, lunmsg, lunech));
    EXPECT_EQ(std::tie(st.MAXEOF, st.IUPCAS, st.CMTMRK, st.NEOF, st.NLINRD, st.IERSTA),
              std::make_tuple(1, 1, '\'', 0, 0, 0));
    EXPECT_EQ(std::tie(st.NWORD, st.IVALUE, st.RVALUE, st.memory_position),
              std::make_tuple(0, 0, 0.0, std::size_t{0}));
    EXPECT_EQ(std::string_view(st.WORDBF.data(), st.WORDBF.size()), std::string(32, ' '));
  }
}

TEST_F(StateTest, SetAndQueryOptions) {
  // value, code of SETOPT, code of QRYOPT, expected answer
  const std::array<std::array<int, 4>, 12> cases{{
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
      {6, 13, 11, 0},  // NEOF cannot be queried
      {99, 99, 0, 0},
  }};
  for (const auto& [value, set_code, query_code, expected] : cases) {
    SCOPED_TRACE(testing::Message() << "code " << set_code << " value " << value);
    SETOPT(value, set_code);
    EXPECT_EQ(QRYOPT(query_code), expected);
  }
  EXPECT_EQ(input_state.NEOF, 6);
  input_state.ICOL = 14, input_state.NLINRD = 15, input_state.LASTCL = 16;
  EXPECT_EQ(std::make_tuple(QRYOPT(1), QRYOPT(9), QRYOPT(10)), std::make_tuple(14, 15, 16));
  SETCMT('#');
  EXPECT_EQ(input_state.CMTMRK, '#');
}

TEST_F(StateTest, SecondInitialisationStartsAgainFromTheFirstLine) {
  std::ofstream(path(kInputUnit), std::ios::binary) << "1\n2\n3\n";
  ASSERT_EQ(textio::open_unit(kInputUnit, {path(kInputUnit), textio::open_status::old_file}), 0);
  std::array<int, 4> types{};
  std::array<double, 4> values{};
  std::array<char, 32> texts{};
  int ierr = 0;
  int count = 0;
  for (int round = 0; round < 2; ++round) {
    INIFII_2(512, 8, kInputUnit, -1, ierr);
    for (double expected : {1.0, 2.0, 3.0}) {
      RDMIX(count, types, values, texts, 8, 89, -1, ierr);
      ASSERT_EQ(count, 1);
      EXPECT_EQ(values[0], expected);
    }
    // The tolerated end of file is available again after each initialisation.
    RDMIX(count, types, values, texts, 8, 89, -1, ierr);
    EXPECT_EQ(count, -1);
    EXPECT_EQ(QRYOPT(9), 4);
  }
  EXPECT_EQ(ierr, 0);
}

TEST_F(StateTest, MemorySource) {
  using namespace std::string_view_literals;
  int ierr = 0;
  std::array<int, 2> types{};
  std::array<double, 2> values{};
  std::array<char, 16> texts{};
  int count = 7;
  INIFII_2(5, 8, kMemorySource, -1, ierr);  // no text: at its end at once
  RDMIX(count, types, values, texts, 8, 89, -1, ierr);
  EXPECT_EQ(count, -1);

  input_state.memory_text =
      "1 2\nabcdefghij\0"
      "3\n\n4"sv;
  input_state.memory_position = 99;
  INIFII_2(5, 8, kMemorySource, -1, ierr);  // back to the start of the text
  ASSERT_EQ(ierr, 0);
  // Lines end at line feeds and NULs and are cut to the width; the blank one is skipped.
  for (std::string_view expected : {"1 2  ", "abcde", "3    ", "4    "}) {
    RDLINE();
    EXPECT_EQ(std::string_view(input_state.RAWLIN.data(), 5), expected);
  }
  EXPECT_EQ(input_state.NLINRD, 5);
  EXPECT_EQ(input_state.NEOF, 0);
}

// A file read whole into memory gives the lines a unit gives, line ends included.
TEST_F(StateTest, MemoryFileLinesAreTheLinesOfAUnit) {
  using namespace std::string_view_literals;
  constexpr int kWidth = 6;
  const auto lines_of = [](int source) {
    int ierr = 0;
    INIFII_2(kWidth, 8, source, -1, ierr);
    std::string lines;
    for (RDLINE(); input_state.NEOF == 0; RDLINE()) {
      lines.append(input_state.RAWLIN.data(), kWidth).append(std::to_string(input_state.LASTCL));
      lines += '|';
    }
    return lines + std::to_string(input_state.NLINRD);
  };
  for (const std::string_view text :
       {""sv, "\n"sv, "1 2\r\n3\n"sv, "a\rb\r\n\r\n"sv, "x\0y\r\nz\0\n"sv, "no end\r"sv,
        "\r\n\r\n5"sv, "long line\r\n12345\r\n123456\r\n"sv, "a\r\r\n\rb\n"sv}) {
    std::ofstream(path(kInputUnit), std::ios::binary) << text;
    ASSERT_EQ(textio::open_unit(kInputUnit, {path(kInputUnit), textio::open_status::old_file}), 0);
    const std::string from_unit = lines_of(kInputUnit);
    textio::close_unit(kInputUnit);
    input_state.memory_text = text;
    input_state.memory_file_lines = true;
    EXPECT_EQ(lines_of(kMemorySource), from_unit) << testing::PrintToString(std::string(text));
    input_state.memory_file_lines = false;
  }
}

}  // namespace
}  // namespace vantor::freeinput

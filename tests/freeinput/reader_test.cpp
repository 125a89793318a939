#include "freeinput/reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "freeinput/scan.h"
#include "freeinput/state.h"
#include "textio/units/units.h"

namespace vantor::freeinput {
namespace {

namespace fs = std::filesystem;

constexpr int kInputUnit = 89;  // the probability file's unit, as in the reports
constexpr int kMessageUnit = 74;
constexpr int kTextLength = 80;
constexpr int kMaxItems = 500;

std::string read_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct item {
  int type;
  double value;
  std::string_view text;  // the first characters of the text element; blanks follow
};

class ReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::path(::testing::TempDir()) / "vantor_reader_XXXXXX").native();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    input_state = free_input_state{};
  }
  void TearDown() override {
    textio::close_unit(kInputUnit);
    textio::close_unit(kMessageUnit);
    input_state = free_input_state{};
    fs::remove_all(dir_);
  }

  std::string path(std::string_view name) const { return (dir_ / name).native(); }

  // Writes the bytes to a file, opens it on kInputUnit and binds the reader.
  void bind(std::string_view bytes, int nchlin = 512, int lunmsg = -1) {
    textio::close_unit(kInputUnit);
    const std::string p = path("input.txt");
    std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
    ASSERT_EQ(textio::open_unit(kInputUnit, {p, textio::open_status::old_file}), 0);
    int ierr = 0;
    INIFII_2(nchlin, 8, kInputUnit, lunmsg, ierr);
    ASSERT_EQ(ierr, 0);
  }

  void open_messages() {
    const std::string p = path("messages.txt");
    fs::remove(p);
    ASSERT_EQ(textio::open_unit(kMessageUnit, {p, textio::open_status::unknown}), 0);
  }
  std::string take_messages() {
    textio::close_unit(kMessageUnit);
    return read_bytes(path("messages.txt"));
  }

  // One RDMIX call with the driver's arrays (unit 89, message unit lunmsg).
  int read_record(int lunmsg = -1) {
    count_ = -99;
    RDMIX(count_, types_, values_, texts_, kTextLength, 89, lunmsg, ierr_);
    return count_;
  }

  void expect_items(std::span<const item> expected) {
    ASSERT_EQ(count_, static_cast<int>(expected.size()));
    for (std::size_t i = 0; i < expected.size(); ++i) {
      SCOPED_TRACE(testing::Message() << "item " << i + 1);
      EXPECT_EQ(types_[i], expected[i].type);
      EXPECT_EQ(values_[i], expected[i].value);
      std::string element(expected[i].text);
      element.resize(kTextLength, ' ');
      EXPECT_EQ(std::string_view(texts_.data() + i * kTextLength, kTextLength), element);
    }
  }

  std::string_view curlin() const {
    return {input_state.CURLIN.data(), static_cast<std::size_t>(input_state.LASTCL)};
  }

  fs::path dir_;
  int count_ = 0;
  int ierr_ = 0;
  std::array<int, kMaxItems> types_{};
  std::array<double, kMaxItems> values_{};
  std::array<char, kMaxItems * kTextLength> texts_{};
};

struct line_case {
  std::string_view bytes;  // the file
  int nchlin;
  int iupcas;
  std::string_view curlin;  // columns 1 to LASTCL
  int icol;
};

TEST_F(ReaderTest, LinePreparation) {
  using namespace std::string_view_literals;
  const std::array<line_case, 18> cases{{
      {"   x = 1 ! note\n", 512, 1, "   X = 1", 4},
      {"                  \t  7 8\n", 512, 1, "                     7 8", 22},  // 16 at a time
      {"                 9\n", 20, 1, "                 9", 18},  // the last columns one by one
      {"1\t2\n", 512, 1, "1 2", 1},
      {"\t\tab\n", 512, 1, "  AB", 3},
      {" 'quoted\n", 512, 1, " 'QUOTED", 2},  // an apostrophe in column 2 is no comment
      {"a!b\n", 512, 1, "A", 1},
      {"ab  !  \n", 512, 1, "AB", 1},
      {"abc   \t \n", 512, 1, "ABC", 1},
      {"12345\n", 5, 1, "12345", 1},
      {"123456789\n", 5, 1, "12345", 1},
      {"  1234567\n", 5, 1, "  123", 3},
      {"abc Def\n", 512, 0, "abc Def", 1},
      {"1\0"
       "2\x01\x7f\n"sv,
       512, 1,
       "1\0"
       "2\x01\x7f"sv,
       1},  // control characters stay
      {"\xe9t\xe9\n", 512, 1, "\xe9T\xe9", 1},
      {"12\r\n", 512, 1, "12", 1},  // the carriage return belongs to the terminator
      {"1\r2\n", 512, 1, "1\r2", 1},
      {"last line without terminator", 512, 1, "LAST LINE WITHOUT TERMINATOR", 1},
  }};
  for (const line_case& c : cases) {
    SCOPED_TRACE(testing::Message() << "\"" << c.bytes << "\"");
    bind(c.bytes, c.nchlin);
    SETOPT(c.iupcas, 11);
    RDLINE();
    ASSERT_EQ(input_state.IERSTA, 0);
    EXPECT_EQ(curlin(), c.curlin);
    EXPECT_EQ(input_state.ICOL, c.icol);
    EXPECT_EQ(input_state.CURLIN[static_cast<std::size_t>(input_state.LASTCL)], 'S');
    EXPECT_EQ(input_state.RAWLIN[static_cast<std::size_t>(c.nchlin)], 'S');
    // RAWLIN holds the line as read, cut or padded to the width.
    std::string raw(c.bytes.substr(0, c.bytes.find_first_of("\n")));
    if (raw.ends_with('\r')) raw.pop_back();
    raw.resize(static_cast<std::size_t>(c.nchlin), ' ');
    EXPECT_EQ(std::string_view(input_state.RAWLIN.data(), raw.size()), raw);
  }
}

// The line is copied many characters at a time: a character that needs its
// own treatment is found wherever it stands.
TEST_F(ReaderTest, LinePreparationAtEveryColumn) {
  const std::string digits = "1234567890123456789012345678901234567890";
  struct mark {
    char c;
    char becomes;  // 0: the line ends before it
  };
  for (const mark m :
       {mark{'q', 'Q'}, mark{'\t', ' '}, mark{'!', 0}, mark{'`', '`'}, mark{'{', '{'}}) {
    for (std::size_t k = 1; k + 1 < digits.size(); ++k) {
      std::string line = digits;
      line[k] = m.c;
      bind(line + "\n", 512);
      SETOPT(1, 11);
      RDLINE();
      std::string expected = line.substr(0, m.becomes == 0 ? k : line.size());
      if (m.becomes != 0) expected[k] = m.becomes;
      EXPECT_EQ(curlin(), expected) << line;
    }
  }
}

TEST_F(ReaderTest, CommentAndBlankLinesAreSkipped) {
  bind("'comment\n\n   \n\t\n  ! only a comment\n'\n* star line\n5 ! five\n");
  EXPECT_EQ(read_record(), 0);  // "*" is no comment marker, but it ends the record
  EXPECT_EQ(input_state.NLINRD, 7);
  EXPECT_EQ(read_record(), 1);
  EXPECT_EQ(values_[0], 5.0);
  EXPECT_EQ(read_record(), -1);
  EXPECT_EQ(input_state.NLINRD, 9);

  bind("'only\n   ! comments\n\n");
  EXPECT_EQ(read_record(), -1);
  EXPECT_EQ(input_state.NLINRD, 4);

  bind("#1\n #2\n3\n");
  SETCMT('#');
  EXPECT_EQ(read_record(), 0);  // the marker counts in column 1 only
  EXPECT_EQ(read_record(), 1);
  EXPECT_EQ(ierr_, 0);
}

struct record_case {
  std::string_view line;
  std::vector<item> items;
};

TEST_F(ReaderTest, ItemFormsAndSeparators) {
  const std::string_view blank;
  const double two_pi = 6.283185307179586;
  const std::vector<record_case> cases{
      {"1 2.5 abc", {{1, 1.0, blank}, {2, 2.5, blank}, {3, 0.0, "ABC"}}},
      {"1,2", {{1, 1.0, blank}, {1, 2.0, blank}}},
      {"1 , 2", {{1, 1.0, blank}, {1, 2.0, blank}}},
      {"1 ,2", {{1, 1.0, blank}, {1, 2.0, blank}}},
      {"1\t2", {{1, 1.0, blank}, {1, 2.0, blank}}},
      {"1,,2", {{1, 1.0, blank}, {3, 0.0, ",2"}}},  // a second comma starts a field
      {"1.0,", {{2, 1.0, blank}}},
      {"-7 +7", {{1, -7.0, blank}, {1, 7.0, blank}}},
      {"7.5 2*3", {{2, 7.5, blank}, {2, 6.0, blank}}},
      {"- 7", {{3, 0.0, "-"}, {1, 7.0, blank}}},  // a blank between sign and digits
      {"PI", {{3, 0.0, "PI"}}},                   // words are tried first
      {"PI*2", {{2, two_pi, blank}}},
      {"CASE_1", {{3, 0.0, "CASE_1"}}},
      {"abcdefghijklmnopqrstuvwxyzabcdef 1", {{3, 0.0, "ABCDEFGH"}, {1, 1.0, blank}}},
      {"abcdefghijklmnopqrstuvwxyzabcdefg 1", {{3, 0.0, "ABCDEFGH"}, {1, 1.0, blank}}},
      {"1.0 2.0 * 3.0", {{2, 1.0, blank}, {2, 2.0, blank}}},
      {"  'abc 1", {}},
      {"#heading 1", {}},
      {"1 %x 2", {{1, 1.0, blank}}},
      {"1 2 ! three", {{1, 1.0, blank}, {1, 2.0, blank}}},
      {"2147483647 -2147483648", {{1, 2147483647.0, blank}, {1, -2147483648.0, blank}}},
      {"99999999999 2147483648 -2147483649",
       {{2, 99999999999.0, blank}, {2, 2147483648.0, blank}, {2, -2147483649.0, blank}}},
      {"A1B2 1A E5 1E5", {{3, 0.0, "A1B2"}, {3, 0.0, "1A"}, {3, 0.0, "E5"}, {2, 1e5, blank}}},
      {"abc_def,5 x", {{3, 0.0, "ABC_DEF,"}, {3, 0.0, "X"}}},  // commas belong to a text
      {"X  ,  5", {{3, 0.0, "X"}, {1, 5.0, blank}}},
      {"1/3,,", {{2, 1.0 / 3.0, blank}, {3, 0.0, ","}}},
      {"0.5 1/4 sin(0)", {{2, 0.5, blank}, {2, 0.25, blank}, {2, 0.0, blank}}},
  };
  for (const record_case& c : cases) {
    SCOPED_TRACE(c.line);
    bind(c.line);
    read_record();
    expect_items(c.items);
    EXPECT_EQ(ierr_, 0);
  }
}

struct text_length_case {
  int textlen;
  std::string_view line;
  std::string_view first_element;
};

TEST_F(ReaderTest, TextElementsAreCutAndPadded) {
  const std::array<text_length_case, 5> cases{{
      {5, "ABCDEFGHIJ 1", "ABCDE"},
      {5, "AB 1", "AB   "},
      {3, "CASE_1 1", "CAS"},
      {12, "ABCDEFGHIJ 1", "ABCDEFGH    "},
      {12, "7 1", "            "},
  }};
  for (const text_length_case& c : cases) {
    SCOPED_TRACE(c.line);
    bind(c.line);
    std::array<char, 64> texts{};
    texts.fill('#');
    const auto len = static_cast<std::size_t>(c.textlen);
    RDMIX(count_, types_, values_, std::span(texts).first(8 * len), c.textlen, 89, -1, ierr_);
    ASSERT_EQ(count_, 2);
    EXPECT_EQ(std::string_view(texts.data(), len), c.first_element);
    EXPECT_EQ(std::string_view(texts.data() + len, len), std::string(len, ' '));
    EXPECT_EQ(texts[2 * len], '#');  // elements beyond the count are not touched
  }
}

TEST_F(ReaderTest, RecordEndsWhereTheArraysAreFull) {
  bind("1 2 3 4 5\nA B C D\n");
  std::array<int, 5> types{};
  std::array<double, 5> values{};
  std::array<char, 5 * 4> texts{};
  types.fill(-1);
  values.fill(-1.0);
  texts.fill('#');
  RDMIX(count_, std::span(types).first(3), values, texts, 4, 89, -1, ierr_);
  EXPECT_EQ(count_, 3);
  EXPECT_EQ(types[3], -1);
  EXPECT_EQ(values[3], -1.0);
  texts.fill('#');
  RDMIX(count_, types, values, std::span(texts).first(9), 4, 89, -1, ierr_);
  EXPECT_EQ(count_, 2);  // room for two texts of 4 characters
  EXPECT_EQ(std::string_view(texts.data(), 10), "A   B   ##");
  EXPECT_EQ(ierr_, 0);
}

TEST_F(ReaderTest, UnitArgumentOfZeroReadsNothing) {
  bind("1 2\n");
  for (int unit : {0, -6}) {
    count_ = 7;
    types_[0] = 99;
    RDMIX(count_, types_, values_, texts_, kTextLength, unit, -1, ierr_);
    EXPECT_EQ(count_, 7);
    EXPECT_EQ(types_[0], 99);
    EXPECT_EQ(input_state.NLINRD, 0);
  }
  // The record is read from LUNRD, whatever positive unit is given.
  RDMIX(count_, types_, values_, texts_, kTextLength, 5, -1, ierr_);
  EXPECT_EQ(count_, 2);
}

TEST_F(ReaderTest, FailedReadsAreReportedAndCountIsKept) {
  // A read of a unit that is no longer open, and an end of file without
  // allowance (MAXEOF 0), after one record.
  for (const bool closed : {true, false}) {
    SCOPED_TRACE(closed);
    bind("1\n");
    open_messages();
    SETOPT(kMessageUnit, 2);
    if (!closed) SETOPT(0, 12);
    EXPECT_EQ(read_record(), 1);
    if (closed) textio::close_unit(kInputUnit);
    count_ = 7;
    ierr_ = 0;
    RDMIX(count_, types_, values_, texts_, kTextLength, 89, kMessageUnit, ierr_);
    EXPECT_EQ(count_, 7);
    EXPECT_EQ(ierr_, -1);
    EXPECT_EQ(input_state.IERSTA, closed ? -30 : -999);
    EXPECT_EQ(
        take_messages(),
        std::string("\r\n *** ERROR DURING READING OF LINE     2  ON UNIT  89\r\n") +
            (closed ? "     IOSTAT =  30\r\n" : "     ATTEMPT TO READ THROUGH AN END OF FILE\r\n") +
            "\r\n  *** ERROR IN RDMIX\r\n\r\n");
  }
}

TEST_F(ReaderTest, EchoWritesEveryLineRead) {
  bind("'c\nab\n\n3\n", 6);
  open_messages();
  SETOPT(kMessageUnit, 3);
  EXPECT_EQ(read_record(), 1);
  EXPECT_EQ(read_record(), 1);
  EXPECT_EQ(take_messages(), " 'c    \r\n ab    \r\n       \r\n 3     \r\n");
}

struct end_case {
  std::string_view bytes;
  int lunmsg;  // LUNMSG, also RDMIX's message unit
  int maxeof;
  int quiet_ends;             // records of count -1 before the fatal read
  std::string_view console;   // written on standard output
  std::string_view messages;  // written on the message file
};

TEST_F(ReaderTest, EndOfFileBeyondTheAllowanceEndsTheRun) {
  const std::array<end_case, 3> cases{{
      {"1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n", 6, 1, 1,
       "\r\n *** ERROR DURING READING OF LINE    12  ON UNIT  89\r\n"
       "     ATTEMPT TO READ THROUGH AN END OF FILE\r\n"
       "     (    1 TIMES )\r\n",
       ""},
      // The count of tolerated ends always goes to the console.
      {"1\n", kMessageUnit, 2, 2, "     (    2 TIMES )\r\n",
       "\r\n *** ERROR DURING READING OF LINE     4  ON UNIT  89\r\n"
       "     ATTEMPT TO READ THROUGH AN END OF FILE\r\n"},
      {"", -1, 1, 1, "", ""},  // no message unit: silently
  }};
  textio::flush_unit(textio::kConsoleOut);
  const std::string console = path("stdout.txt");
  for (const end_case& c : cases) {
    SCOPED_TRACE(c.lunmsg);
    bind(c.bytes);
    open_messages();
    SETOPT(c.lunmsg, 2);
    SETOPT(c.maxeof, 12);
    while (read_record(c.lunmsg) > 0) {
    }
    for (int k = 1; k < c.quiet_ends; ++k) ASSERT_EQ(read_record(c.lunmsg), -1);
    ASSERT_EQ(count_, -1);
    // The console unit writes on descriptor 1: the child sends it to a file.
    EXPECT_EXIT(
        {
          ::dup2(::open(console.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
          read_record(c.lunmsg);
        },
        ::testing::ExitedWithCode(1), "");
    EXPECT_EQ(read_bytes(console), c.console);
    EXPECT_EQ(take_messages(), c.messages);
  }
}

TEST_F(ReaderTest, ReadingUnitZeroReadsStandardInput) {
  textio::flush_unit(textio::kConsoleOut);
  const std::string in = path("stdin.txt");
  std::ofstream(in, std::ios::binary) << "' answers\n4 5.5\n";
  bind("1\n");
  EXPECT_EXIT(
      {
        const int fd = ::open(in.c_str(), O_RDONLY);
        ::dup2(fd, 0);
        SETOPT(0, 1);
        const int count = read_record();
        std::_Exit(count == 2 && values_[1] == 5.5 ? 3 : 4);
      },
      ::testing::ExitedWithCode(3), "");
}

TEST_F(ReaderTest, LongLinesAreCutAtTheWidth) {
  // Megabytes without a line feed, then a short last line.
  std::string bytes(3 * 1024 * 1024, '7');
  bytes += "\n1.5";
  bind(bytes, kMaxLineWidth);
  EXPECT_EQ(read_record(), 1);
  EXPECT_EQ(input_state.LASTCL, kMaxLineWidth);
  EXPECT_EQ(input_state.CURLIN[kMaxLineWidth], 'S');
  EXPECT_EQ(types_[0], 2);  // 2048 digits: far beyond 32 bits
  EXPECT_EQ(values_[0], std::numeric_limits<double>::infinity());
  EXPECT_EQ(read_record(), 1);
  EXPECT_EQ(values_[0], 1.5);
  EXPECT_EQ(read_record(), -1);

  bind(std::string(5 * 1024 * 1024, 'a'), 100);
  EXPECT_EQ(read_record(), 1);
  expect_items(std::array<item, 1>{{{3, 0.0, "AAAAAAAA"}}});
  EXPECT_EQ(read_record(), -1);
}

TEST_F(ReaderTest, NoiseIsReadSafely) {
  // Pseudo-random bytes (NULs included), and lines of the characters that the
  // recognisers look at, read to the end at several widths.
  constexpr std::string_view kAlphabet = " ,,..++--**//()E0123456789PISNCOab_'#%!\t";
  std::string binary;
  std::string fields;
  std::uint32_t seed = 2463534242U;
  for (int i = 0; i < 400000; ++i) {
    seed = seed * 1664525U + 1013904223U;
    binary += (seed >> 8) % 97 == 0 ? '\n' : static_cast<char>(seed >> 24);
    fields += (seed >> 8) % 31 == 0 ? '\n' : kAlphabet[(seed >> 16) % kAlphabet.size()];
  }
  for (const std::string& bytes : {binary, fields}) {
    for (int width : {1, 7, 40, kMaxLineWidth}) {
      SCOPED_TRACE(width);
      bind(bytes, width);
      int records = 0;
      while (read_record() >= 0) {
        ASSERT_LE(count_, (width + 1) / 2);
        ASSERT_LE(input_state.LASTCL, width);
        for (int i = 0; i < count_; ++i) {
          const auto k = static_cast<std::size_t>(i);
          ASSERT_TRUE(types_[k] >= 1 && types_[k] <= 3);
          if (types_[k] == 3) {
            ASSERT_EQ(values_[k], 0.0);
          }
        }
        ++records;
      }
      EXPECT_GT(records, 0);
      EXPECT_EQ(ierr_, 0);
    }
  }
}

TEST_F(ReaderTest, PipeIsReadFromWhereItStands) {
  const std::string fifo = path("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // Another program writes into the pipe; opening it for reading waits for it.
  std::thread other([&fifo] {
    const int writer = ::open(fifo.c_str(), O_WRONLY);
    if (writer < 0) return;
    const std::string_view data = "1 2\n3\n4\n";
    (void)!::write(writer, data.data(), data.size());
    ::close(writer);
  });
  ASSERT_EQ(textio::open_unit(kInputUnit, {fifo, textio::open_status::old_file}), 0);
  other.join();

  int ierr = 0;
  INIFII_2(512, 8, kInputUnit, -1, ierr);
  ASSERT_EQ(ierr, 0);
  EXPECT_EQ(read_record(), 2);
  INIFII_2(512, 8, kInputUnit, -1, ierr);  // cannot go back: reading goes on
  ASSERT_EQ(ierr, 0);
  EXPECT_EQ(read_record(), 1);
  EXPECT_EQ(values_[0], 3.0);
}

}  // namespace
}  // namespace vantor::freeinput

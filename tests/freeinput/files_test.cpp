#include "freeinput/files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "textio/format/field.h"
#include "textio/units/units.h"

namespace vantor::freeinput {
namespace {

namespace fs = std::filesystem;

constexpr int kMessageUnit = 42;
constexpr int kFileUnit = 43;

std::string read_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_bytes(const fs::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// A private directory and a message file on kMessageUnit.
class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::path(::testing::TempDir()) / "vantor_files_XXXXXX").native();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    fresh_case();
  }
  void TearDown() override {
    textio::close_unit(kFileUnit);
    textio::close_unit(kMessageUnit);
    fs::remove_all(dir_);
  }

  // Starts a case of a table: an empty directory and an empty message file.
  void fresh_case() {
    textio::close_unit(kFileUnit);
    textio::close_unit(kMessageUnit);
    for (const auto& entry : fs::directory_iterator(dir_)) fs::remove_all(entry.path());
    const std::string messages = path("messages.txt");
    textio::open_spec spec;
    spec.name = messages;
    ASSERT_EQ(textio::open_unit(kMessageUnit, spec), 0);
  }

  std::string path(std::string_view name) const { return (dir_ / name).native(); }

  // Closes the message unit and returns what was written on it.
  std::string messages() {
    textio::close_unit(kMessageUnit);
    return read_bytes(path("messages.txt"));
  }

  fs::path dir_;
};

const std::string kErrorHeader43 = "\r\n\r\n\r\n *** ERROR DURING OPENING OF FILE UNIT   43\r\n";

TEST_F(FilesTest, ParameterErrorsOpenNothing) {
  const std::string header = "\r\n\r\n\r\n *** ERROR DURING OPENING OF FILE UNIT";
  const struct {
    int unit, iacc, irecw, lunmsg, expected;
    std::string report;
  } cases[] = {
      {0, 0, 0, kMessageUnit, -901, header + "    0\r\n     ILLEGAL FILE UNIT\r\n"},
      {100, 0, 0, kMessageUnit, -901, header + "  100\r\n     ILLEGAL FILE UNIT\r\n"},
      {-7, 0, 0, kMessageUnit, -901, header + "   -7\r\n     ILLEGAL FILE UNIT\r\n"},
      {kFileUnit, 20, 0, kMessageUnit, -902,
       kErrorHeader43 + "     ILLEGAL RECORD LENGTH =    0\r\n"},
      // More bytes per record than an int holds.
      {kFileUnit, 20, 1 << 30, kMessageUnit, -902,
       kErrorHeader43 + "     ILLEGAL RECORD LENGTH =*****\r\n"},
      {0, 0, 0, 0, -901, ""},
      {kFileUnit, 20, -3, -kMessageUnit, -902, ""},
  };
  for (const auto& c : cases) {
    fresh_case();
    int ierr = 12345;
    FIIOPN(path("direct.bin"), c.unit, 0, c.iacc, 0, 0, c.irecw, 1, c.lunmsg, ierr);
    EXPECT_EQ(ierr, c.expected) << c.unit << " " << c.irecw;
    EXPECT_FALSE(fs::exists(path("direct.bin")));
    EXPECT_FALSE(textio::unit_is_open(kFileUnit));
    EXPECT_EQ(messages(), c.report);
  }
  for (const int unit : {1, 99}) {
    int ierr = -1;
    FIIOPN(path("u.txt"), unit, 0, 0, 0, 0, 0, 0, 0, ierr);
    EXPECT_EQ(ierr, 0) << unit;
    textio::close_unit(unit);
  }
}

std::string characteristics(std::string_view status, std::string_view access, std::string_view form,
                            std::string_view length, std::string_view blank) {
  std::string r = "     FILE CHARACTERISTICS :\r\n          STATUS =" + std::string(status) +
                  "\r\n          ACCESS =" + std::string(access) +
                  "\r\n          FORM   =" + std::string(form) +
                  "\r\n          LENGTH =" + std::string(length) +
                  " WORDS/BYTES PER RECORD (SECTOR)\r\n";
  if (!blank.empty()) r += "          BLANK  =" + std::string(blank) + "\r\n";
  return r;
}

TEST_F(FilesTest, OpeningReports) {
  const std::string scratch = "\r\n\r\n\r\n     A SCRATCH FILE IS OPENED ON UNIT NO.  43\r\n";
  const struct {
    int istat, iacc, iform, iblank, irecw, irep, lunmsg, record_bytes;
    std::string report;  // after the named file's first two lines
  } cases[] = {
      {2, 10, 1, 0, 0, 1, kMessageUnit, 0,
       characteristics("OLD    ", "SEQUENTIAL", "FORMATTED  ", "    0", "NULL")},
      {0, 0, 0, 1, 99, 1, kMessageUnit, 0,
       characteristics("UNKNOWN", "SEQUENTIAL", "FORMATTED  ", "    0", "ZERO")},
      {1, 20, 1, 0, 5, 1, kMessageUnit, 20,
       characteristics("UNKNOWN", "DIRECT    ", "FORMATTED  ", "   20", "NULL")},
      {1, 20, 7, 1, 5, 1, kMessageUnit, 20,
       characteristics("UNKNOWN", "DIRECT    ", "UNFORMATTED", "    5", "")},
      {1, 30, 1, 1, -4, 1, kMessageUnit, 128,
       characteristics("UNKNOWN", "DIRECT    ", "FORMATTED  ", "  128", "ZERO")},
      {1, 30, 2, 0, 0, 1, kMessageUnit, 512,
       characteristics("UNKNOWN", "DIRECT    ", "UNFORMATTED", "  128", "")},
      {1, 0, 2, 1, 0, 1, kMessageUnit, 0,
       characteristics("UNKNOWN", "SEQUENTIAL", "UNFORMATTED", "    0", "")},
      {4, 30, 0, 0, 0, 1, kMessageUnit, 512,
       scratch + characteristics("SCRATCH", "DIRECT    ", "UNFORMATTED", "  128", "")},
      {2, 0, 0, 0, 0, 0, kMessageUnit, 0, ""},
      {2, 0, 0, 0, 0, 1, 0, 0, ""},
      {2, 0, 0, 0, 0, 1, -kMessageUnit, 0, ""},
  };
  for (const auto& c : cases) {
    fresh_case();
    write_bytes(path("probs.txt"), "0.5 0.3 0.2\r\n");
    // The name is passed with trailing blanks; the report shows them.
    textio::field<60> name{};
    textio::assign(name, path("probs.txt"));
    std::string expected = c.report;
    if (c.istat != 4 && !expected.empty()) {
      expected = "\r\n\r\n\r\n     FILE  " + std::string(textio::view(name)) +
                 "\r\n     IS OPENED ON UNIT NO.  43\r\n" + expected;
    }
    int ierr = -1;
    FIIOPN(textio::view(name), kFileUnit, c.istat, c.iacc, c.iform, c.iblank, c.irecw, c.irep,
           c.lunmsg, ierr);
    EXPECT_EQ(ierr, 0);
    EXPECT_EQ(textio::unit_record_bytes(kFileUnit), c.record_bytes);
    EXPECT_EQ(messages(), expected);
    textio::close_unit(kFileUnit);
    EXPECT_EQ(read_bytes(path("probs.txt")), "0.5 0.3 0.2\r\n");
  }
}

TEST_F(FilesTest, DirectRecordsWrittenAndReadBack) {
  const struct {
    int iacc, iform, irecw;
    std::string record, expected;
  } cases[] = {
      {20, 1, 2, "second", "second  "},  // 8 characters, blank padded
      {20, 0, 3, std::string("\x01\x00\xff", 3),
       std::string("\x01\x00\xff", 3) + std::string(9, '\0')},
      {30, 1, 0, "x", std::string("x").append(127, ' ')},
      {30, 2, 0, "y", std::string("y").append(511, '\0')},
  };
  for (const auto& c : cases) {
    fresh_case();
    int ierr = -1;
    FIIOPN(path("direct"), kFileUnit, 3, c.iacc, c.iform, 0, c.irecw, 0, 0, ierr);
    ASSERT_EQ(ierr, 0);
    ASSERT_EQ(textio::write_direct(kFileUnit, 2, c.record), 0);
    textio::close_unit(kFileUnit);
    FIIOPN(path("direct"), kFileUnit, 2, c.iacc, c.iform, 0, c.irecw, 0, 0, ierr);
    ASSERT_EQ(ierr, 0);
    std::string record(c.expected.size(), '?');
    ASSERT_EQ(textio::read_direct(kFileUnit, 2, record), 0);
    EXPECT_EQ(record, c.expected);
    EXPECT_EQ(fs::file_size(path("direct")), 2 * c.expected.size());
  }
}

TEST_F(FilesTest, SequentialUnformattedRecordWrittenAndReadBack) {
  int ierr = -1;
  FIIOPN(path("seq.bin"), kFileUnit, 3, 0, 2, 0, 0, 0, 0, ierr);
  ASSERT_EQ(ierr, 0);
  ASSERT_EQ(textio::write_unformatted(kFileUnit, std::string_view("abc")), 0);
  textio::close_unit(kFileUnit);
  FIIOPN(path("seq.bin"), kFileUnit, 2, 0, 2, 0, 0, 0, 0, ierr);
  ASSERT_EQ(ierr, 0);
  std::array<char, 8> data{};
  std::size_t length = 0;
  ASSERT_EQ(textio::read_unformatted(kFileUnit, data, length), 0);
  EXPECT_EQ(std::string_view(data.data(), length), "abc");
}

TEST_F(FilesTest, OpenFailuresOnRealFiles) {
  const struct {
    std::string name;  // inside the test directory
    int istat, expected;
  } cases[] = {
      {"missing.txt", 2, -29},
      {"nodir/out.txt", 0, -29},
      {"sub", 2, -9},
      {"sub", 0, -9},
      {"exists.txt", 3, -10},
      {"exists.txt/x", 2, -29},
      {std::string(5000, 'n'), 0, -43},
  };
  for (const auto& c : cases) {
    fresh_case();
    fs::create_directory(dir_ / "sub");
    write_bytes(path("exists.txt"), "keep\r\n");
    int ierr = 0;
    FIIOPN(path(c.name), kFileUnit, c.istat, 0, 1, 0, 0, 1, kMessageUnit, ierr);
    EXPECT_EQ(ierr, c.expected) << c.name.substr(0, 20);
    EXPECT_FALSE(textio::unit_is_open(kFileUnit));
    std::string code = std::to_string(-c.expected);
    code.insert(0, 5 - code.size(), ' ');
    EXPECT_EQ(messages(), kErrorHeader43 + "     ERROR CODE =" + code + "  (SYSTEM PARAMETER)\r\n");
    EXPECT_EQ(read_bytes(path("exists.txt")), "keep\r\n");
  }
  // An all-blank name names no file.
  int ierr = 0;
  FIIOPN("   ", kFileUnit, 2, 0, 1, 0, 0, 0, 0, ierr);
  EXPECT_EQ(ierr, -29);
}

TEST_F(FilesTest, FileWithoutReadPermissionFailsAtOpen) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  write_bytes(path("locked.txt"), "x\r\n");
  write_bytes(path("writeonly.txt"), "x\r\n");
  fs::permissions(path("locked.txt"), fs::perms::none);
  fs::permissions(path("writeonly.txt"), fs::perms::owner_write);
  for (const char* name : {"locked.txt", "writeonly.txt"}) {
    int ierr = 0;
    FIIOPN(path(name), kFileUnit, 2, 0, 1, 0, 0, 0, 0, ierr);
    EXPECT_EQ(ierr, -9) << name;
    EXPECT_FALSE(textio::unit_is_open(kFileUnit));
    ierr = 0;
    OPNSEQ(path(name), kFileUnit, 1, ierr);
    EXPECT_EQ(ierr, -1) << name;
  }
}

TEST_F(FilesTest, Opnseq) {
  // A 256-character name field with trailing blanks; an older, longer file.
  textio::field<256> name{};
  textio::assign(name, path("riser_001.WghDam"));
  write_bytes(path("riser_001.WghDam"), "an older and longer content\r\nsecond line\r\n");

  int ierr = 0;
  OPNSEQ(textio::view(name), kFileUnit, 0, ierr);
  ASSERT_EQ(ierr, 0);
  textio::put_record(kFileUnit, "# new", true);
  textio::close_unit(kFileUnit);
  EXPECT_EQ(read_bytes(path("riser_001.WghDam")), "# new\r\n");

  OPNSEQ(textio::view(name), kFileUnit, 1, ierr);
  ASSERT_EQ(ierr, 0);
  std::string line;
  EXPECT_EQ(textio::read_line(kFileUnit, line), 0);
  EXPECT_EQ(line, "# new");
  EXPECT_EQ(textio::read_line(kFileUnit, line), -1);

  // A negative exists value creates the file like 0.
  OPNSEQ(path("created.txt"), kFileUnit, -1, ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_TRUE(fs::exists(path("created.txt")));

  // A failure sets the flag; later successes leave it set.
  OPNSEQ(path("missing.RawDam"), kFileUnit, 1, ierr);
  EXPECT_EQ(ierr, -1);
  OPNSEQ(path("created.txt"), kFileUnit, 1, ierr);
  EXPECT_EQ(ierr, -1);
  EXPECT_TRUE(textio::unit_is_open(kFileUnit));
  EXPECT_EQ(messages(), "");
}

}  // namespace
}  // namespace vantor::freeinput

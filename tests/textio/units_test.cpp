// The unit table: line reading rules, buffered records, rewinding and the
// open-failure numbers.
#include "textio/units.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "textio/fatal.h"

namespace vantor::textio {
namespace {

namespace fs = std::filesystem;

class UnitsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "vantor_units_XXXXXX").string();
    dir_ = ::mkdtemp(pattern.data());
  }
  void TearDown() override {
    close_unit(kUnit);
    fs::remove_all(dir_);
  }
  std::string path(const char* name) const { return (dir_ / name).string(); }
  void write_file(const char* name, const std::string& content) const {
    std::ofstream(dir_ / name, std::ios::binary) << content;
  }
  std::string read_file(const char* name) const {
    std::ifstream f(dir_ / name, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
  }
  std::vector<std::string> lines_of(const std::string& content, std::size_t width) {
    write_file("in.txt", content);
    const std::string name = path("in.txt");
    EXPECT_EQ(open_unit(kUnit, {name, open_status::old_file}), 0);
    std::vector<std::string> lines;
    std::vector<char> buf(width);
    std::size_t len = 0;
    while (read_line(kUnit, buf, len) == 0) lines.emplace_back(buf.data(), len);
    return lines;
  }

  static constexpr int kUnit = 42;
  fs::path dir_;
};

TEST_F(UnitsTest, LineEnds) {
  struct line_case {
    std::string content;
    std::size_t width;
    std::vector<std::string> lines;
  };
  const line_case cases[] = {
      {"a\nb\n", 80, {"a", "b"}},
      {"a\r\nb\r\n", 80, {"a", "b"}},
      {"a\rb\n", 80, {"a\rb"}},
      {"last without end", 80, {"last without end"}},
      {"x\r", 80, {"x\r"}},
      {"\n\n", 80, {"", ""}},
      {"", 80, {}},
      {std::string("n\0l\n", 4), 80, {std::string("n\0l", 3)}},
      {"abcdef\r\nxy\n", 4, {"abcd", "xy"}},
      {"abc\r\n", 3, {"abc"}},
      {"abcd\r\n", 4, {"abcd"}},
      {std::string(1 << 20, 'z') + "\ntail\n", 8, {"zzzzzzzz", "tail"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(lines_of(c.content, c.width), c.lines) << c.content.substr(0, 20);
    close_unit(kUnit);
  }
}

TEST_F(UnitsTest, RecordsAreCutAtTheFirstWriteAndRewindRereads) {
  write_file("out.txt", "old content that is longer\n");
  const std::string name = path("out.txt");
  ASSERT_EQ(open_unit(kUnit, {name, open_status::unknown}), 0);
  put_record(kUnit, "one", true);
  put_record(kUnit, "two", false);
  close_unit(kUnit);
  EXPECT_EQ(read_file("out.txt"), "one\r\ntwo");

  ASSERT_EQ(open_unit(kUnit, {name, open_status::old_file}), 0);
  std::array<char, 16> buf{};
  std::size_t len = 0;
  ASSERT_EQ(read_line(kUnit, buf, len), 0);
  ASSERT_EQ(read_line(kUnit, buf, len), 0);
  EXPECT_EQ(read_line(kUnit, buf, len), -1);
  ASSERT_EQ(rewind_unit(kUnit), 0);
  ASSERT_EQ(read_line(kUnit, buf, len), 0);
  EXPECT_EQ(std::string(buf.data(), len), "one");
}

TEST_F(UnitsTest, OpenFailureNumbers) {
  write_file("exists.txt", "x\n");
  fs::create_directory(dir_ / "folder");
  struct open_case {
    std::string name;
    open_status status;
    int expected;
  };
  const open_case cases[] = {
      {path("missing.txt"), open_status::old_file, kErrFileNotFound},
      {path("nodir/file.txt"), open_status::unknown, kErrFileNotFound},
      {path("exists.txt"), open_status::new_file, kErrFileExists},
      {path("folder"), open_status::old_file, kErrAccessDenied},
      {path("folder"), open_status::unknown, kErrAccessDenied},
      {"", open_status::old_file, kErrFileNotFound},
      {std::string(5000, 'n'), open_status::unknown, kErrBadName},
      {path("exists.txt"), open_status::old_file, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(open_unit(kUnit, {c.name, c.status}), c.expected) << c.name.substr(0, 60);
    close_unit(kUnit);
  }
}

TEST_F(UnitsTest, UnreadableFileIsAnOpenFailure) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  write_file("secret.txt", "x\n");
  fs::permissions(dir_ / "secret.txt", fs::perms::none);
  EXPECT_EQ(open_unit(kUnit, {path("secret.txt"), open_status::old_file}), kErrAccessDenied);
}

TEST_F(UnitsTest, DirectAndUnformattedRecordsReadBack) {
  ASSERT_EQ(open_unit(kUnit, {path("direct.bin"), open_status::unknown, open_access::direct,
                              open_form::formatted, 8}),
            0);
  ASSERT_EQ(write_direct(kUnit, 3, std::string_view("abc")), 0);
  std::array<char, 8> rec{};
  ASSERT_EQ(read_direct(kUnit, 3, rec), 0);
  EXPECT_EQ(std::string(rec.data(), 8), "abc     ");
  EXPECT_EQ(read_direct(kUnit, 4, rec), -1);
  close_unit(kUnit);
  EXPECT_EQ(fs::file_size(dir_ / "direct.bin"), 24U);

  ASSERT_EQ(open_unit(kUnit, {path("seq.bin"), open_status::unknown, open_access::sequential,
                              open_form::unformatted}),
            0);
  ASSERT_EQ(write_unformatted(kUnit, std::string_view("payload")), 0);
  ASSERT_EQ(rewind_unit(kUnit), 0);
  std::array<char, 16> data{};
  std::size_t len = 0;
  ASSERT_EQ(read_unformatted(kUnit, data, len), 0);
  EXPECT_EQ(std::string(data.data(), len), "payload");
  EXPECT_EQ(read_unformatted(kUnit, data, len), -1);
}

}  // namespace
}  // namespace vantor::textio

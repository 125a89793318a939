// The unit table: line reading rules, buffered records, rewinding, the
// open-failure numbers, and the order of what the writer thread writes.
#include "textio/units/units.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "textio/units/run_end.h"

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

// The full blocks of a file (256 KiB) are written on a thread of their own.
// Here the file is a pipe whose reader starts late, so the blocks of 6000
// records wait; each step that shows something outside must wait for them.
TEST_F(UnitsTest, StepsThatShowOutsideWaitForTheQueuedBlocks) {
  constexpr int kOther = 43;
  std::string expected;
  for (int i = 0; i < 6000; ++i)
    expected += std::to_string(1000000 + i) + std::string(93, 'r') + "\r\n";
  struct step_case {
    const char* name;
    std::function<void()> step;
  };
  const step_case cases[] = {
      {"opening a file", [&] { EXPECT_EQ(open_unit(44, {path("third.txt")}), 0); }},
      {"a record of another file", [&] { put_record(kOther, "x", true); }},
      {"cutting another file", [&] { cut_unit(kOther); }},
      {"closing the file", [&] { close_unit(kUnit); }},
  };
  for (const step_case& c : cases) {
    const std::string pipe = path("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    ASSERT_EQ(open_unit(kOther, {path("other.txt")}), 0);
    ASSERT_EQ(open_unit(kUnit, {pipe}), 0);
    std::atomic<bool> records_given{false};
    std::atomic<std::size_t> got{0};
    std::string read;
    std::thread reader([&] {
      const int fd = ::open(pipe.c_str(), O_RDONLY);
      while (!records_given) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      char buf[1 << 16];
      for (ssize_t n = 0; read.size() < expected.size() && (n = ::read(fd, buf, sizeof buf)) > 0;) {
        read.append(buf, static_cast<std::size_t>(n));
        got = read.size();
      }
      ::close(fd);
    });
    for (std::size_t at = 0; at < expected.size(); at += 102) {
      put_record(kUnit, std::string_view(expected).substr(at, 100), true);
    }
    records_given = true;
    c.step();
    const std::size_t read_before_the_step_ended = got;
    close_unit(kUnit);
    reader.join();
    EXPECT_GT(read_before_the_step_ended, 0U) << c.name;
    EXPECT_EQ(read, expected) << c.name;
    for (const int unit : {kOther, 44}) close_unit(unit);
    fs::remove(pipe);
  }
}

// A block the writer thread could not write (a file-size limit here) is
// reported at the next call on the units, whatever it is, with its own unit
// and file; the file keeps the complete records within the limit, nothing
// gathered after the failed block is written, and no later file is made.
TEST_F(UnitsTest, FailedBlockIsReportedAtTheNextCall) {
  constexpr rlim_t kLimit = 400 * 1024 + 64;
  const std::string record(126, 'r');  // 128 bytes: 2048 fill a block
  const std::string name = path("limited.txt");
  const std::string other = path("other.txt");
  struct next_call_case {
    const char* name;
    std::function<void()> call;
  };
  const next_call_case cases[] = {
      {"the next records of the file",
       [] {
         for (;;) put_record(kUnit, "more", true);
       }},
      {"opening another file", [&] { (void)open_unit(43, {other}); }},
      {"a console record", [] { put_record(kConsoleOut, "after the failure", true); }},
      {"closing the file", [] { close_unit(kUnit); }},
      {"the stop", [] { stop(0); }},
      {"another report", [&] { fatal(kErrRead, 43, other); }},
  };
  std::string kept;
  while (kept.size() + record.size() + 2 <= kLimit) kept += record + "\r\n";
  const auto fail_then = [&](const std::function<void()>& call) {
    const rlimit limit{kLimit, kLimit};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::signal(SIGXFSZ, SIG_IGN);
    if (open_unit(kUnit, {name}) != 0) std::abort();
    // Two full blocks, then a short record: the second block fails after the
    // call, and the short one would still fit below the limit.
    for (int i = 0; i < 2 * 2048; ++i) put_record(kUnit, record, true);
    put_record(kUnit, "late", true);
    call();
    std::exit(0);
  };
  for (const next_call_case& c : cases) {
    EXPECT_EXIT(fail_then(c.call), ::testing::ExitedWithCode(kErrWrite),
                "\\(38\\): error during write, unit 42, file " + name + "\n")
        << c.name;
    EXPECT_EQ(read_file("limited.txt"), kept) << c.name;
    EXPECT_FALSE(fs::exists(other)) << c.name;
  }
}

}  // namespace
}  // namespace vantor::textio

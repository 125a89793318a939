// The operating-system layer on the system it was built for: open statuses and
// their failures, binary transfers, shared access, positioned records, the
// scratch file, the reservation of address space, the clock, a thread and
// waking it.
// Built natively and, cross-compiled, run under Wine against the Windows layer.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "textio/units/run_end.h"
#include "textio/platform/platform.h"

namespace vantor::platform {
namespace {

namespace fs = std::filesystem;

class PlatformLayer : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    dir_ = fs::temp_directory_path() / ("vantor_platform_" + std::to_string(seed()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  void write(const std::string& name, const std::string& text) const {
    std::ofstream(dir_ / name, std::ios::binary) << text;
  }
  std::string read(const std::string& name) const {
    std::ifstream f(dir_ / name, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
  }

  fs::path dir_;
};

TEST_F(PlatformLayer, OpenStatusesAndTheirFailures) {
  write("there.txt", "x");
  fs::create_directories(dir_ / "folder");
  struct open_case {
    std::string name;
    file_status status;
    int error;
  };
  const open_case cases[] = {
      {path("there.txt"), file_status::old_file, 0},
      {path("there.txt"), file_status::unknown, 0},
      {path("there.txt"), file_status::new_file, textio::kErrFileExists},
      {path("missing.txt"), file_status::old_file, textio::kErrFileNotFound},
      {path("no_folder/missing.txt"), file_status::old_file, textio::kErrFileNotFound},
      {path("no_folder/new.txt"), file_status::unknown, textio::kErrFileNotFound},
      {path("created_new.txt"), file_status::new_file, 0},
      {path("created_unknown.txt"), file_status::unknown, 0},
      {path("folder"), file_status::old_file, textio::kErrAccessDenied},
      {path("folder"), file_status::unknown, textio::kErrAccessDenied},
      {std::string("nul\0byte", 8), file_status::unknown, textio::kErrBadName},
      {"", file_status::old_file, textio::kErrFileNotFound},
      {path(std::string(300, 'n')), file_status::unknown, textio::kErrBadName},
#ifdef _WIN32
      {path("bad<name>.txt"), file_status::unknown, textio::kErrBadName},
#endif
  };
  for (const open_case& c : cases) {
    SCOPED_TRACE(c.name);
    const opened_file f = open_file(c.name, c.status);
    EXPECT_EQ(f.error, c.error);
    EXPECT_EQ(f.file != kNoHandle, c.error == 0);
    if (c.error == 0) {
      EXPECT_TRUE(f.writable);
      close_file(f.file);
    }
  }
  EXPECT_TRUE(fs::exists(dir_ / "created_new.txt"));
  EXPECT_TRUE(fs::exists(dir_ / "created_unknown.txt"));
  EXPECT_EQ(read("there.txt"), "x");  // opening alone changes nothing
}

TEST_F(PlatformLayer, BytesPassUntranslatedAndFilesAreShared) {
  const std::string bytes = std::string("head\nline\r\nend\x1a\r\r\n\0tail", 22);
  const opened_file w = open_file(path("data.txt"), file_status::unknown);
  ASSERT_EQ(w.error, 0);
  std::size_t written = 0;
  ASSERT_TRUE(write_all(w.file, bytes.data(), bytes.size(), &written));
  EXPECT_EQ(written, bytes.size());
  EXPECT_TRUE(is_regular_file(w.file));

  // While it is open: another open for reading and writing, and a reader of
  // another kind, both see every byte.
  const opened_file other = open_file(path("data.txt"), file_status::old_file);
  ASSERT_EQ(other.error, 0);
  EXPECT_TRUE(other.writable);
  EXPECT_EQ(read("data.txt"), bytes);
  std::string back(64, '?');
  const std::ptrdiff_t n = read_some(other.file, back.data(), back.size());
  ASSERT_EQ(n, static_cast<std::ptrdiff_t>(bytes.size()));
  EXPECT_EQ(back.substr(0, bytes.size()), bytes);
  EXPECT_EQ(read_some(other.file, back.data(), back.size()), 0);  // the end
  close_file(other.file);

  // Cut back to the first record, then written on from there.
  ASSERT_TRUE(truncate_file(w.file, 5));
  ASSERT_TRUE(write_all(w.file, "more", 4));
  close_file(w.file);
  EXPECT_EQ(read("data.txt"), "head\nmore");
}

TEST_F(PlatformLayer, PositionedRecordsLeaveThePositionAlone) {
  const opened_file f = open_file(path("direct.bin"), file_status::new_file);
  ASSERT_EQ(f.error, 0);
  ASSERT_TRUE(write_all(f.file, "0123456789", 10));
  ASSERT_TRUE(write_at(f.file, "AB", 2, 4));
  ASSERT_TRUE(write_at(f.file, "Z", 1, 12));  // beyond the end: a gap of zero bytes
  ASSERT_TRUE(write_all(f.file, "x", 1));     // at the position before, 10
  char got[8] = {};
  EXPECT_EQ(read_at(f.file, got, 4, 3), 4);
  EXPECT_EQ(std::string(got, 4), "3AB6");
  EXPECT_EQ(read_at(f.file, got, 8, 11), 2);
  EXPECT_EQ(read_at(f.file, got, 8, 40), 0);
  ASSERT_TRUE(seek_start(f.file));
  char all[16] = {};
  EXPECT_EQ(read_some(f.file, all, sizeof all), 13);
  close_file(f.file);
  EXPECT_EQ(read("direct.bin"), std::string("0123AB6789x\0Z", 13));
}

TEST_F(PlatformLayer, ScratchFileIsGoneWhenClosed) {
  std::string name;
  const opened_file f = open_scratch(name);
  ASSERT_EQ(f.error, 0);
  EXPECT_FALSE(name.empty());
  ASSERT_TRUE(write_all(f.file, "scratch\n", 8));
  ASSERT_TRUE(seek_start(f.file));
  char got[8] = {};
  EXPECT_EQ(read_some(f.file, got, sizeof got), 8);
  close_file(f.file);
  EXPECT_FALSE(fs::exists(name));
}

TEST(PlatformMemory, ReservedTablesReadZeroWhereCommitted) {
  constexpr std::size_t kBytes = std::size_t{1} << 30;  // far more than is committed
  std::string reason;
  auto* table = static_cast<unsigned char*>(reserve_zeroed(kBytes, reason));
  ASSERT_NE(table, nullptr) << reason;
  constexpr std::size_t kPlane = std::size_t{3} << 20;
  for (const std::size_t at : {std::size_t{0}, kBytes / 2 + 12345, kBytes - kPlane}) {
    ASSERT_TRUE(commit_range(table + at, kPlane));
    EXPECT_EQ(table[at], 0);
    EXPECT_EQ(table[at + kPlane - 1], 0);
    std::memset(table + at, 7, kPlane);
    ASSERT_TRUE(commit_range(table + at, kPlane));  // again: the content stays
    EXPECT_EQ(table[at + kPlane / 2], 7);
  }
  std::string refused;
  EXPECT_EQ(reserve_zeroed(~std::size_t{0} - 4095, refused), nullptr);
  EXPECT_FALSE(refused.empty());
}

TEST(PlatformServices, ClockAndThread) {
  local_time t;
  ASSERT_TRUE(read_local_clock(t));
  EXPECT_GE(t.year, 2020);
  EXPECT_TRUE(t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31);
  EXPECT_TRUE(t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59);

  // The thread wakes this one: the wait returns whether the wake comes
  // before it starts or while it waits.
  static std::atomic<int> ran{0};
  static int value = 42;
  const std::uint64_t seen = wake_count();
  ASSERT_TRUE(start_thread(
      [](void* arg) {
        ran = *static_cast<int*>(arg);
        wake_all();
      },
      &value));
  wait_for_wake(seen);
  EXPECT_EQ(ran, 42);
  EXPECT_NE(wake_count(), seen);
}

}  // namespace
}  // namespace vantor::platform

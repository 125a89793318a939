// Runs the real vantor binary in a scratch folder with given answers on
// standard input and collects standard output, standard error, the exit
// status and the files it wrote.
//
// The programs under test are the ones of this build unless the environment
// names others: VANTOR_TEST_BINARY and VANTOR_TEST_PLOT_BINARY, started
// through VANTOR_TEST_LAUNCHER when that is set (the Windows programs under
// Wine, with the same expectations byte for byte).
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"

namespace vantor::testing {

namespace fs = std::filesystem;

inline const char* env_or(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : fallback;
}

inline const char* vantor_binary() {
  return env_or("VANTOR_TEST_BINARY", VANTOR_BINARY);
}

// Why a test cannot run through the launcher (a GTEST_SKIP message).
inline constexpr const char* kNoSignalsThroughLauncher =
    "a signal sent from outside reaches the loader, not the program under test "
    "(its console events are tested natively)";

struct run_result {
  std::string out;
  std::string err;
  int status = -1;  // exit status, or 1000 + signal when killed by one
};

class scratch_dir {
 public:
  scratch_dir() {
    std::string pattern = (fs::temp_directory_path() / "vantor_e2e_XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~scratch_dir() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
  }
  scratch_dir(const scratch_dir&) = delete;
  scratch_dir& operator=(const scratch_dir&) = delete;

  const fs::path& path() const { return path_; }

  void write(const std::string& name, const std::string& content) const {
    std::ofstream f(path_ / name, std::ios::binary);
    f << content;
  }
  std::string read(const std::string& name) const {
    std::ifstream f(path_ / name, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
  }
  bool exists(const std::string& name) const { return fs::exists(path_ / name); }

 private:
  fs::path path_;
};

inline std::string slurp_fd(int fd) {
  std::string text;
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) break;
    text.append(buf, static_cast<std::size_t>(n));
  }
  return text;
}

// A program under test (run through the launcher, if any) with arguments.
inline std::vector<std::string> command(const char* binary, std::vector<std::string> args = {}) {
  args.insert(args.begin(), binary);
  return args;
}

// Starts vantor in dir; the test writes its standard input and reads its
// outputs itself (child_process::input(), output(), error()).
inline std::unique_ptr<child_process> start(const fs::path& dir) {
  child_spec spec;
  spec.command = command(vantor_binary());
  spec.folder = dir;
  spec.in = spec.out = spec.err = {stream::kind::parent};
  return std::make_unique<child_process>(spec);
}

// Runs to the end with the answers on standard input.
inline run_result run_vantor(const fs::path& dir, const std::string& answers,
                             std::vector<std::string> args = {}) {
  child_spec spec;
  spec.command = command(vantor_binary(), std::move(args));
  spec.folder = dir;
  spec.input = answers;
  const child_result r = run_child(spec);
  return {r.out, r.err, r.status};
}

// Replaces the date stamp (" Date : 2026-12-07 21:15:48") by a fixed one.
inline std::string mask_date(const std::string& text) {
  static const std::regex stamp(" Date : [0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}");
  return std::regex_replace(text, stamp, " Date : YYYY-MM-DD hh:mm:ss");
}

// Lines joined with CR LF record ends.
inline std::string records(std::initializer_list<std::string_view> lines) {
  std::string text;
  for (auto l : lines) {
    text += l;
    text += "\r\n";
  }
  return text;
}

}  // namespace vantor::testing

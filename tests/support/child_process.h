// The one way the tests run something in a child process: a program (through
// the test launcher, Wine, when VANTOR_TEST_LAUNCHER names one) or a function
// of the test itself. Standard input comes from a text, a file or nothing
// (closed); standard output and error are each captured, written to a file
// (or appended to it), left in a pipe that nobody reads (a stalled reader) or
// closed. The child runs in a folder of its choosing and is killed when it
// outlives its time limit.
#pragma once

#include <sys/types.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace vantor::testing {

// One standard stream of the child.
struct stream {
  enum class kind : std::uint8_t {
    pipe,     // input: the spec's text; output: captured into the result
    file,     // input: read from the file; output: written to it (created or cut)
    stalled,  // output only: a pipe that nobody reads until the child has ended
    closed,
    parent,     // a pipe whose other end the test handles itself (input(), output(), error())
    to_output,  // standard error only: wherever standard output goes
  };
  kind how = kind::pipe;
  std::filesystem::path file;
  bool append = false;  // an output file: written at its end, nothing of it cut

  stream() = default;
  stream(kind k) : how(k) {}  // NOLINT: a kind stands for its stream
  static stream to_file(std::filesystem::path path) {
    stream s(kind::file);
    s.file = std::move(path);
    return s;
  }
  static stream append_to(std::filesystem::path path) {
    stream s = to_file(std::move(path));
    s.append = true;
    return s;
  }
};

struct child_spec {
  std::vector<std::string> command;  // program and arguments; empty: run `body`
  bool through_launcher = true;      // the program started by the test launcher, if any
  std::function<int()> body;         // in the child; returns its exit status
  std::filesystem::path folder;      // where it runs; empty: here
  std::string input;                 // standard input, for stream::kind::pipe
  stream in, out, err;
  std::function<void()> in_child;  // in the child before it starts: limits, another user
  std::chrono::milliseconds time_limit = std::chrono::seconds(30);
};

struct child_result {
  std::string out;  // what a captured standard output received
  std::string err;
  int status = -1;  // the exit status; 1000 + the signal when killed by one
  bool timed_out = false;
  long max_rss_kb = 0;  // the child's largest resident size
};

// A child started and not yet waited for: its pid lets a test send it signals.
class child_process {
 public:
  explicit child_process(const child_spec& spec);
  ~child_process();
  child_process(const child_process&) = delete;
  child_process& operator=(const child_process&) = delete;

  pid_t pid() const { return pid_; }
  // The test's ends of the streams of kind::parent: the write end of the
  // input, the read ends of the outputs (closed by wait() if still open).
  int input() const { return parent_ends_[0]; }
  void close_input() { close_end(0); }
  void close_output() { close_end(1); }
  int output() const { return parent_ends_[1]; }
  int error() const { return parent_ends_[2]; }
  // Waits for the end (killing the child at its time limit) and collects.
  child_result wait();

 private:
  void close_end(int stream);

  pid_t pid_ = -1;
  std::chrono::steady_clock::time_point deadline_;
  std::array<int, 3> parent_ends_{-1, -1, -1};  // the ends of kinds stalled and parent

  std::thread feeder_, out_reader_, err_reader_;
  child_result result_;
  bool waited_ = false;
};

inline child_result run_child(const child_spec& spec) {
  return child_process(spec).wait();
}

// The loader the programs under test run in, or nullptr for native programs.
const char* test_launcher();

}  // namespace vantor::testing

// A run of the real program in a child with limits for the fault tests: a
// file-size or address-space limit, another user, standard output stalled or
// appended to a log, standard error held full until the events are sent,
// every write slowed (by strace), console events sent once a moment has
// passed (or once a file has reached a size). The run ends by itself or at the
// child's time limit, which shows as killed.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "tests/e2e/harness.h"

namespace vantor::testing {

struct fault_setup {
  rlim_t file_size = RLIM_INFINITY;      // ulimit -f, in bytes
  rlim_t address_space = RLIM_INFINITY;  // ulimit -v, in bytes
  bool as_nobody = false;
  bool stalled_output = false;       // standard output a pipe that nobody reads
  bool error_on_output = false;      // standard error on standard output's pipe
  const char* output_log = nullptr;  // standard output appended to this file (else a pipe)
  bool error_held = false;           // standard error a pipe kept full until the events are sent
  bool slow_writes = false;          // every write of the program held 1.5 s (by strace)
  std::array<int, 2> events{};       // signals sent in turn once the run is ready (0: none)
  const char* ready_file = nullptr;  // ready: this file holds ready_bytes (else at once)
  std::size_t ready_bytes = 0;
  const char* subdir = "";        // the run's folder inside the scratch folder
  const char* program = nullptr;  // the program to run, if not the one under test
};

inline constexpr uid_t kNobody = 65534;

struct fault_result {
  run_result run;
  double seconds_after_event = 0;
};

inline constexpr const char* kStrace = "/usr/bin/strace";

// The program that strace started (its one child), for the events.
inline pid_t traced_program(pid_t tracer) {
  using namespace std::chrono_literals;
  const std::string task = std::to_string(tracer);
  for (int i = 0; i < 500; ++i) {
    std::ifstream children("/proc/" + task + "/task/" + task + "/children");
    if (pid_t pid = 0; children >> pid) return pid;
    std::this_thread::sleep_for(10ms);
  }
  return tracer;
}

// A pipe for standard error that the test fills before the run, so that the
// program's first write to it waits until drain() reads it.
struct held_pipe {
  fs::path path;
  int read_end = -1;
  std::size_t filler = 0;
  std::string text;  // what the program wrote, once drained
  std::thread reader;

  explicit held_pipe(const fs::path& dir) : path(dir / "stderr.fifo") {
    if (::mkfifo(path.c_str(), 0600) != 0) return;
    read_end = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    const int write_end = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
    const std::string page(4096, '.');
    for (ssize_t n; (n = ::write(write_end, page.data(), page.size())) > 0;) filler += n;
    ::close(write_end);
  }
  void drain() {
    ::fcntl(read_end, F_SETFL, 0);
    reader = std::thread([this] {
      const std::string all = slurp_fd(read_end);
      text = all.size() > filler ? all.substr(filler) : std::string();
    });
  }
  ~held_pipe() {
    if (reader.joinable()) reader.join();
    if (read_end >= 0) ::close(read_end);
  }
};

inline fault_result run_faulted(const fs::path& dir, const std::string& answers,
                                const fault_setup& f) {
  using namespace std::chrono_literals;
  const fs::path answers_file = dir / "answers.in";
  std::ofstream(answers_file, std::ios::binary) << answers;
  child_spec spec;
  spec.command = command(f.program != nullptr ? f.program : vantor_binary());
  if (f.slow_writes) {
    spec.command.insert(spec.command.begin(), {kStrace, "-f", "-qq", "-o", "/dev/null", "-e",
                                               "inject=write:delay_enter=1500000"});
  }
  spec.folder = dir;
  spec.in = stream::to_file(answers_file);
  spec.out = {f.stalled_output ? stream::kind::stalled : stream::kind::pipe};
  if (f.output_log != nullptr) spec.out = stream::append_to(dir / f.output_log);
  spec.err = {f.error_on_output ? stream::kind::to_output : stream::kind::pipe};
  std::optional<held_pipe> held;
  if (f.error_held) spec.err = stream::to_file(held.emplace(dir).path);
  spec.in_child = [&f] {
    const rlimit fsize{f.file_size, f.file_size};
    const rlimit as{f.address_space, f.address_space};
    if (::setrlimit(RLIMIT_FSIZE, &fsize) != 0 || ::setrlimit(RLIMIT_AS, &as) != 0) ::_exit(127);
    if (f.as_nobody && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(127);
  };
  // A run that hangs is ended at the time limit, and shows as killed.
  child_process child(spec);
  std::chrono::steady_clock::time_point sent;
  if (f.events[0] != 0) {
    std::error_code ec;
    for (int i = 0; i < 2000 && f.ready_file != nullptr &&
                    fs::file_size(dir / f.ready_file, ec) != f.ready_bytes;
         ++i) {
      std::this_thread::sleep_for(10ms);
    }
    std::this_thread::sleep_for(300ms);  // the next write under way, or stuck
    sent = std::chrono::steady_clock::now();
    const pid_t program = f.slow_writes ? traced_program(child.pid()) : child.pid();
    for (const int e : f.events) {
      if (e == 0) break;
      ::kill(program, e);
      std::this_thread::sleep_for(100ms);  // the first one received decides
    }
  }
  if (held) held->drain();
  const child_result ended = child.wait();
  fault_result r;
  r.run = {ended.out, ended.err, ended.status};
  if (held) {
    held->reader.join();
    r.run.err = held->text;
  }
  if (f.events[0] != 0) {
    r.seconds_after_event =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count();
  }
  return r;
}

}  // namespace vantor::testing

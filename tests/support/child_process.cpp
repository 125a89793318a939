#include "tests/support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace vantor::testing {
namespace {

std::string slurp(int fd) {
  std::string text;
  std::array<char, 65536> buffer{};
  for (ssize_t n; (n = ::read(fd, buffer.data(), buffer.size())) > 0;) {
    text.append(buffer.data(), static_cast<std::size_t>(n));
  }
  return text;
}

void feed(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0) break;  // the child closed its input or ended
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
}

// In the child: makes the stream `target` (0, 1 or 2) what the spec says.
void connect(const stream& s, int target, int child_end) {
  int fd = -1;
  switch (s.how) {
    case stream::kind::pipe:
    case stream::kind::stalled:
    case stream::kind::parent:
      fd = child_end;
      break;
    case stream::kind::file:
      fd = target == 0
               ? ::open(s.file.c_str(), O_RDONLY)
               : ::open(s.file.c_str(), O_WRONLY | O_CREAT | (s.append ? O_APPEND : O_TRUNC), 0644);
      if (fd < 0) ::_exit(127);
      break;
    case stream::kind::closed:
      ::close(target);
      return;
    case stream::kind::to_output:
      fd = 1;
      break;
  }
  if (fd != target) ::dup2(fd, target);
  if (s.how == stream::kind::file) ::close(fd);
}

[[noreturn]] void start_program(const child_spec& spec) {
  std::vector<char*> argv;
  if (const char* launcher = test_launcher(); launcher != nullptr && spec.through_launcher) {
    argv.push_back(const_cast<char*>(launcher));
  }
  for (const std::string& a : spec.command) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  ::execv(argv.front(), argv.data());
  ::_exit(127);
}

}  // namespace

const char* test_launcher() {
  const char* value = std::getenv("VANTOR_TEST_LAUNCHER");
  return value != nullptr && *value != '\0' ? value : nullptr;
}

child_process::child_process(const child_spec& spec)
    : deadline_(std::chrono::steady_clock::now() + spec.time_limit) {
  // A pipe per stream that has one: [0] read end, [1] write end.
  std::array<std::array<int, 2>, 3> pipes{{{-1, -1}, {-1, -1}, {-1, -1}}};
  const std::array<const stream*, 3> streams{&spec.in, &spec.out, &spec.err};
  for (int s = 0; s < 3; ++s) {
    const auto how = streams[s]->how;
    const bool piped =
        how == stream::kind::pipe || how == stream::kind::stalled || how == stream::kind::parent;
    if (piped && ::pipe(pipes[s].data()) != 0) std::abort();
  }
  pid_ = ::fork();
  if (pid_ == 0) {
    connect(spec.in, 0, pipes[0][0]);
    connect(spec.out, 1, pipes[1][1]);
    connect(spec.err, 2, pipes[2][1]);
    for (const auto& p : pipes) {
      for (const int fd : p) {
        if (fd > 2) ::close(fd);
      }
    }
    if (!spec.folder.empty() && ::chdir(spec.folder.c_str()) != 0) ::_exit(127);
    if (spec.in_child) spec.in_child();
    if (spec.command.empty()) ::_exit(spec.body());
    start_program(spec);
  }
  // The parent keeps the other ends.
  if (pipes[0][0] >= 0) ::close(pipes[0][0]);
  if (spec.in.how == stream::kind::parent) {
    parent_ends_[0] = pipes[0][1];
  } else if (pipes[0][1] >= 0) {
    feeder_ = std::thread([fd = pipes[0][1], text = spec.input] {
      ::signal(SIGPIPE, SIG_IGN);
      feed(fd, text);
    });
  }
  for (int s = 1; s < 3; ++s) {
    if (pipes[s][1] < 0) continue;
    ::close(pipes[s][1]);
    if (streams[s]->how != stream::kind::pipe) {
      parent_ends_[s] = pipes[s][0];
      continue;
    }
    std::string& into = s == 1 ? result_.out : result_.err;
    (s == 1 ? out_reader_ : err_reader_) = std::thread([fd = pipes[s][0], &into] {
      into = slurp(fd);
      ::close(fd);
    });
  }
}

child_result child_process::wait() {
  if (waited_) return result_;
  waited_ = true;
  int ws = 0;
  rusage usage{};
  while (::wait4(pid_, &ws, WNOHANG, &usage) == 0) {
    if (std::chrono::steady_clock::now() > deadline_) {
      ::kill(pid_, SIGKILL);
      ::wait4(pid_, &ws, 0, &usage);
      result_.timed_out = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  result_.max_rss_kb = usage.ru_maxrss;
  result_.status = WIFEXITED(ws) ? WEXITSTATUS(ws) : 1000 + WTERMSIG(ws);
  for (std::thread* t : {&feeder_, &out_reader_, &err_reader_}) {
    if (t->joinable()) t->join();
  }
  // A stalled output's pipe is given up only now, once the child has ended.
  for (int& fd : parent_ends_) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  return result_;
}

void child_process::close_end(int stream) {
  if (parent_ends_[stream] >= 0) ::close(parent_ends_[stream]);
  parent_ends_[stream] = -1;
}

child_process::~child_process() {
  wait();
}

}  // namespace vantor::testing

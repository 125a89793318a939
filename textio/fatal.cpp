#include "textio/fatal.h"

#include <signal.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "textio/units.h"

namespace vantor::textio {
namespace {

struct message_entry {
  int number;
  std::string_view text;
};

constexpr std::array kMessages{
    message_entry{9, "permission to access file denied"},
    message_entry{10, "cannot overwrite existing file"},
    message_entry{24, "end-of-file during read"},
    message_entry{28, "CLOSE error"},
    message_entry{29, "file not found"},
    message_entry{30, "open failure"},
    message_entry{38, "error during write"},
    message_entry{39, "error during read"},
    message_entry{42, "no such device"},
    message_entry{43, "file name specification error"},
    message_entry{59, "list-directed I/O syntax error"},
    message_entry{64, "input conversion error"},
    message_entry{66, "output statement overflows record"},
};

exit_hook g_exit_hook = nullptr;

// Ends the process, or hands the status to the harness hook.
[[noreturn]] void end_process(int status) {
  if (g_exit_hook != nullptr) g_exit_hook(status);
  ::_exit(status);
}

constexpr std::array kConsoleEvents{SIGINT, SIGQUIT, SIGHUP, SIGTERM};

void block_console_events() {
  if (g_exit_hook != nullptr) return;
  const sigset_t set = console_event_signals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void write_stderr(const char* text, std::size_t size) noexcept {
  while (size > 0) {
    const ssize_t n = ::write(2, text, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;
    }
    text += n;
    size -= static_cast<std::size_t>(n);
  }
}

// Console events. The reports are fixed texts, so the handler only writes.
constexpr char kControlC[] = "forrtl: error (200): program aborting due to control-C event\n";
constexpr char kControlBreak[] =
    "forrtl: error (200): program aborting due to control-BREAK event\n";
constexpr char kWindowClose[] = "forrtl: error (200): program aborting due to window-CLOSE event\n";

extern "C" void on_console_event(int signal_number) {
  switch (signal_number) {
    case SIGINT:
      write_stderr(kControlC, sizeof kControlC - 1);
      break;
    case SIGQUIT:
      write_stderr(kControlBreak, sizeof kControlBreak - 1);
      break;
    default:
      write_stderr(kWindowClose, sizeof kWindowClose - 1);
      break;
  }
  close_all_units();
  ::_exit(128 + signal_number);
}

}  // namespace

std::string_view message_text(int number) {
  for (const auto& m : kMessages) {
    if (m.number == number) return m.text;
  }
  return "unknown error";
}

int open_failure_number(int errno_value) {
  switch (errno_value) {
    case ENOENT:
    case ENOTDIR:
      return kErrFileNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
      return kErrAccessDenied;
    case EEXIST:
      return kErrFileExists;
    case ENXIO:
    case ENODEV:
      return kErrNoDevice;
    case ENAMETOOLONG:
    case EINVAL:
    case ELOOP:
    case EILSEQ:
      return kErrBadName;
    default:
      return kErrOpenFailure;
  }
}

[[noreturn]] void fatal(int number, int unit, std::string_view file_name) {
  block_console_events();
  std::string line = "forrtl: severe (";
  line += std::to_string(number);
  line += "): ";
  line += message_text(number);
  line += ", unit ";
  line += std::to_string(unit);
  line += ", file ";
  line += file_name;
  line += '\n';
  write_stderr(line.data(), line.size());
  close_all_units();
  end_process(number & 0xFF);
}

[[noreturn]] void stop(int status) {
  block_console_events();
  close_all_units();
  end_process(status);
}

sigset_t console_event_signals() {
  sigset_t set;
  sigemptyset(&set);
  for (int s : kConsoleEvents) sigaddset(&set, s);
  return set;
}

void set_exit_hook(exit_hook hook) {
  g_exit_hook = hook;
}

void install_console_handlers() {
  struct sigaction action {};
  action.sa_handler = on_console_event;
  action.sa_mask = console_event_signals();
  action.sa_flags = 0;
  for (int s : kConsoleEvents) sigaction(s, &action, nullptr);
  // A closed standard output is reported as a write error, not a silent death.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, nullptr);
}

}  // namespace vantor::textio

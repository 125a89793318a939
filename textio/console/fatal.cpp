#include "textio/console/fatal.h"

#include <array>
#include <atomic>
#include <string>

#include "textio/console/process_exit.h"
#include "textio/platform/platform.h"
#include "textio/units/units.h"

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

void write_stderr(std::string_view text) noexcept {
  (void)platform::write_all(platform::console_error(), text.data(), text.size());
}

// Console events. The reports are fixed texts.
constexpr std::string_view kControlC =
    "forrtl: error (200): program aborting due to control-C event\n";
constexpr std::string_view kControlBreak =
    "forrtl: error (200): program aborting due to control-BREAK event\n";
constexpr std::string_view kWindowClose =
    "forrtl: error (200): program aborting due to window-CLOSE event\n";

// Runs on the event thread: the first event takes over the end of the run.
void on_console_event(const platform::event_info& info) {
  if (!claim_end_for_event()) return;  // the process is ending already
  // A stalled standard error does not hold the end up: the report line gets
  // the same bounded wait as the last records.
  switch (info.event) {
    case platform::console_event::interrupt:
      write_out_for_event(kControlC);
      break;
    case platform::console_event::brk:
      write_out_for_event(kControlBreak);
      break;
    case platform::console_event::close:
      write_out_for_event(kWindowClose);
      break;
  }
  platform::exit_after_event(info);
}

}  // namespace

std::string_view message_text(int number) {
  for (const auto& m : kMessages) {
    if (m.number == number) return m.text;
  }
  return "unknown error";
}

[[noreturn]] void fatal(int number, int unit, std::string_view file_name) {
  // A write that failed before this call, on the writer thread, came first.
  std::string failed_name;
  if (const int failed = finish_writes(failed_name); failed != 0) {
    number = kErrWrite;
    unit = failed;
    file_name = failed_name;
  }
  std::string line = "forrtl: severe (";
  line += std::to_string(number);
  line += "): ";
  line += message_text(number);
  line += ", unit ";
  line += std::to_string(unit);
  line += ", file ";
  line += file_name;
  line += '\n';
  write_stderr(line);
  close_all_units();
  exit_after_fatal_report(number);
}

[[noreturn]] void stop(int status) {
  std::string failed_name;
  if (const int failed = finish_writes(failed_name); failed != 0) {
    fatal(kErrWrite, failed, failed_name);
  }
  // The last records, the console's closing line among them, are written like
  // every record before them: a failed write is reported (38).
  for (int unit = 1; unit <= kMaxUnit; ++unit) flush_unit(unit);
  close_all_units();
  exit_after_stop(status);
}

[[noreturn]] void out_of_memory() noexcept {
  thread_local bool ending_here = false;
  if (ending_here) platform::exit_with_status(1);  // an allocation on the way out failed too
  ending_here = true;
  static std::atomic_flag reported = ATOMIC_FLAG_INIT;
  if (reported.test_and_set()) {
    for (;;) platform::sleep_milliseconds(1000);  // another thread ends the run
  }
  write_stderr("Vantor: out of memory\n");
  // Every complete record is written out, unless the allocation failed in
  // the middle of a change of the unit table.
  if (!table_held_by_caller()) {
    close_all_units();
    claim_end_for_exit();
  }
  platform::exit_with_status(1);
}

void install_console_handlers() {
  platform::install_console_events(on_console_event);
}

}  // namespace vantor::textio

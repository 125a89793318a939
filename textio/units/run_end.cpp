// The reports and the stop (textio/units/run_end.h); the console events are
// in console_event.cpp.
#include "textio/units/run_end.h"

#include <array>
#include <atomic>
#include <string>

#include "textio/units/process_exit.h"
#include "textio/platform/platform.h"
#include "textio/units/unit_output.h"
#include "textio/units/unit_table.h"
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

// Writes out every unit's buffered records; failures are ignored (used on the
// way out of the process).
void flush_all_units() noexcept {
  std::string ignored;
  (void)detail::finish_writes(ignored);
  for (std::size_t u = 0; u < detail::kSlots; ++u) {
    detail::unit_slot& s = detail::slot_at(u);
    if (s.open && s.writable && s.out_len > 0) (void)detail::flush_slot(s);
  }
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
  if (const int failed = detail::finish_writes(failed_name); failed != 0) {
    number = kErrWrite;
    unit = failed;
    file_name = failed_name;
  }
  // From here on a console event does not replace this report.
  const detail::report_claim claim(number);
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
  detail::report_line_written();
  close_all_units();
  exit_after_fatal_report(number);
}

[[noreturn]] void stop(int status) {
  std::string failed_name;
  if (const int failed = detail::finish_writes(failed_name); failed != 0) {
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
  if (!detail::table_held_by_caller()) {
    close_all_units();
    claim_end_for_exit();
  }
  platform::exit_with_status(1);
}

void close_all_units() noexcept {
  flush_all_units();
  detail::table_guard guard;
  for (std::size_t u = 0; u < detail::kSlots; ++u) {
    detail::unit_slot& s = detail::slot_at(u);
    if (s.open && s.owns_file) detail::release_slot(s);
  }
}

}  // namespace vantor::textio

// The end of a run: fatal run-time reports, the stop, the end after an
// allocation failure, and the console interrupt events. Every way out of the
// program passes here; the unit table and its writer thread call in to learn
// whether the end has been taken over.
//
// fatal() writes one line on standard error, "forrtl: severe (N): <message>",
// writes out every complete record of every unit (the writer thread's queued
// blocks first), closes them and ends the process with the error number as
// exit status. stop() ends the run quietly. Console events (control-C,
// control-BREAK, the console closed; on POSIX SIGINT, SIGQUIT, SIGHUP and
// SIGTERM) write "forrtl: error (200): program aborting due to <event>
// event", keep every complete record and end the process with the system's
// status for the event (textio/platform/platform.h); a file of the program's
// whose last write does not end in time is cut back to its records before
// that write, the console streams are never cut (console_event.cpp). The
// first ending decides: an event that comes while a fatal report is under way
// ends the run with that report's number, its line given the same bounded
// wait as an event's line. The last step, the exit itself, is alone in
// process_exit.cpp.
#pragma once

#include <string_view>

#include "textio/errors.h"

namespace vantor::textio {

// Unit and file name of an internal record (a text variable) in reports.
inline constexpr int kInternalUnit = -5;
inline constexpr std::string_view kInternalWriteName = "Internal Formatted Write";
inline constexpr std::string_view kInternalReadName = "Internal List-Directed Read";

// The message text of an error number with its unit and file substituted, e.g.
// "end-of-file during read, unit 5, file CONIN$".
std::string_view message_text(int number);

// Writes the one-line report, writes out and closes every unit, and ends the
// process with the system's status for the error number.
[[noreturn]] void fatal(int number, int unit, std::string_view file_name);

// Writes out and closes every unit and exits with the status (0 for a complete
// run, 1 for a run ended by an error block).
[[noreturn]] void stop(int status);

// Ends the process after an allocation failure (the new-handler of the run):
// "Vantor: out of memory" on standard error, every complete record written
// out, status 1.
[[noreturn]] void out_of_memory() noexcept;

// Installs the console event handling (once, at program start, before any
// other thread).
void install_console_handlers();

// Writes out every unit's complete records (failures ignored) and closes
// every unit: the way out of the process, and of a run that a harness runs
// again in the same process.
void close_all_units() noexcept;

// Called by the last step (process_exit.cpp, or a harness's stand-in) right
// before it ends the process: a console event that came first keeps the end
// (the call then never returns), a later one is ignored.
void claim_end_for_exit() noexcept;

namespace detail {

// For the unit table and its writer thread, under the table lock: whether a
// console event owns the end of the run. Once it does, no other thread
// changes anything: stop_if_ending releases the lock and waits, and
// wait_for_the_end waits for ever (the event thread ends the process).
bool event_owns_end() noexcept;
void stop_if_ending();
[[noreturn]] void wait_for_the_end();

// For fatal(): from its construction on, the report owns the end of the run
// (or, when a console event came first, it waits for ever: the event ends
// the process). A console event that comes later ends the run with number
// once the report line is written (report_line_written) or its bounded wait
// is over. The claim ends with the object, for a harness whose end of a run
// returns (process_exit.h).
class report_claim {
 public:
  explicit report_claim(int number) noexcept;
  ~report_claim();
  report_claim(const report_claim&) = delete;
  report_claim& operator=(const report_claim&) = delete;
};
void report_line_written() noexcept;

}  // namespace detail

}  // namespace vantor::textio

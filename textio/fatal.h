// Fatal run-time reports, the stop, and the console interrupt events.
//
// fatal() writes one line on standard error, "forrtl: severe (N): <message>",
// writes out every complete record of every unit, closes them and ends the
// process with the error number as exit status. stop() ends the run quietly.
// Console events (SIGINT control-C, SIGQUIT control-BREAK, SIGHUP window-CLOSE,
// SIGTERM handled like SIGHUP) write "forrtl: error (200): program aborting due
// to <event> event", keep every complete record and exit with 128 + signal.
#pragma once

#include <signal.h>

#include <string_view>

namespace vantor::textio {

// Error numbers of the file layer and of the record writer.
inline constexpr int kErrAccessDenied = 9;
inline constexpr int kErrFileExists = 10;
inline constexpr int kErrEndOfFile = 24;
inline constexpr int kErrClose = 28;
inline constexpr int kErrFileNotFound = 29;
inline constexpr int kErrOpenFailure = 30;
inline constexpr int kErrWrite = 38;
inline constexpr int kErrRead = 39;
inline constexpr int kErrNoDevice = 42;
inline constexpr int kErrBadName = 43;
inline constexpr int kErrSyntax = 59;
inline constexpr int kErrConversion = 64;
inline constexpr int kErrOverflow = 66;

// Unit and file name of an internal record (a text variable) in reports.
inline constexpr int kInternalUnit = -5;
inline constexpr std::string_view kInternalWriteName = "Internal Formatted Write";
inline constexpr std::string_view kInternalReadName = "Internal List-Directed Read";

// The message text of an error number with its unit and file substituted, e.g.
// "end-of-file during read, unit 5, file CONIN$".
std::string_view message_text(int number);

// The open-failure number for an errno value of open(2): 29, 30, 9, 42, 10, 43.
int open_failure_number(int errno_value);

// Writes the one-line report, writes out and closes every unit, exits with
// status = number.
[[noreturn]] void fatal(int number, int unit, std::string_view file_name);

// Writes out and closes every unit and exits with the status (0 for a complete
// run, 1 for a run ended by an error block).
[[noreturn]] void stop(int status);

// The signals of the console events: interrupt (SIGINT), break (SIGQUIT),
// close (SIGHUP) and termination (SIGTERM).
sigset_t console_event_signals();

// Installs the console event handlers (once, at program start).
void install_console_handlers();

// Harness seam for running the program more than once in one process (the
// fuzz targets). With a hook set, fatal() and stop() do everything as usual
// (the report, every unit written out and closed) but then call the hook with
// the exit status instead of ending the process; the hook must not return (a
// hook that returns is followed by the process exit). The console signals are
// left unblocked then. nullptr, the default, restores the plain exit.
using exit_hook = void (*)(int status);
void set_exit_hook(exit_hook hook);

}  // namespace vantor::textio

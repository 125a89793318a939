// The last step of every run: after fatal() or stop() have written out and
// closed every unit, the process ends here, with the status of the report or
// of the stop (textio/platform/platform.h gives each system's status).
//
// These two functions are alone in their file, so that a program running the
// whole program more than once in one process (the fuzz targets and their
// replay) can link its own end of a run in their place.
#pragma once

namespace vantor::textio {

// Ends the process after the fatal report of the error number.
[[noreturn]] void exit_after_fatal_report(int number);

// Ends the process with the status of the stop (0 for a complete run, 1 for a
// run ended by an error block).
[[noreturn]] void exit_after_stop(int status);

}  // namespace vantor::textio

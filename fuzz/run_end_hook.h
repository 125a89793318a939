// Harness seam for running the program more than once in one process (the
// fuzz targets and their replay in the unit tests); not part of the program.
// With a hook set, fatal() and stop() do everything as usual (the report,
// every unit written out and closed) but then call the hook with the exit
// status instead of ending the process; the hook must not return (a hook that
// returns is followed by the process exit). nullptr, the default, restores the
// plain exit. Defined in textio/fatal.cpp.
#pragma once

namespace vantor::textio {

using exit_hook = void (*)(int status);
void set_exit_hook(exit_hook hook);

}  // namespace vantor::textio

// Running the whole program more than once in one process (the fuzz targets
// and their replay in the unit tests): the harness links its own end of a run
// (fuzz/run_end_hook.cpp) in place of the program's (textio/units/process_exit.cpp).
// While returning is on, fatal() and stop() do everything as usual (the
// report, every unit written out and closed) and then throw run_ended with the
// exit status instead of ending the process; while it is off, the process
// ends as in the program.
#pragma once

namespace vantor::fuzz {

struct run_ended {
  int status;
};

void set_run_end_returns(bool on);

}  // namespace vantor::fuzz

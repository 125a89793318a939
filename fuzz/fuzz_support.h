// Running the whole program more than once in one process, as the fuzz targets
// and their replay in the unit tests do: the run state goes back to what it is
// at program start. Ending the run without ending the process is the harness's
// end of a run, fuzz/run_end_hook.h.
#pragma once

namespace vantor::driver {

// Sets every table of the run back to its start value (zero). The pages of
// the tables are handed back to the system rather than written over, so a
// reset costs what the last run touched, not the 480 MB of RAWDAM.
void reset_run_tables();

}  // namespace vantor::driver

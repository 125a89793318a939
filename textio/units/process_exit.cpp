#include "textio/units/process_exit.h"

#include "textio/units/run_end.h"
#include "textio/platform/platform.h"

namespace vantor::textio {

void exit_after_fatal_report(int number) {
  claim_end_for_exit();
  platform::exit_after_fatal(number);
}

void exit_after_stop(int status) {
  claim_end_for_exit();
  platform::exit_with_status(status);
}

}  // namespace vantor::textio

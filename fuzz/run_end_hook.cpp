#include "fuzz/run_end_hook.h"

#include "textio/units/process_exit.h"
#include "textio/units/run_end.h"
#include "textio/platform/platform.h"

namespace vantor::fuzz {
namespace {
bool g_returns = false;
}  // namespace

void set_run_end_returns(bool on) {
  g_returns = on;
}

}  // namespace vantor::fuzz

namespace vantor::textio {

void exit_after_fatal_report(int number) {
  if (fuzz::g_returns) throw fuzz::run_ended{number & 0xFF};
  claim_end_for_exit();
  platform::exit_after_fatal(number);
}

void exit_after_stop(int status) {
  if (fuzz::g_returns) throw fuzz::run_ended{status};
  claim_end_for_exit();
  platform::exit_with_status(status);
}

}  // namespace vantor::textio

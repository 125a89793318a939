// vantor-plot: the picture of a finished run and each load case's share in the
// damage of the heaviest sections.
#include <iostream>
#include <string_view>
#include <vector>

#include "plot/cli/app.h"
#include "plot/cli/part_files.h"
#include "textio/platform/platform.h"

int main(int argc, char** argv) {
  // First of all: a console event or a failed allocation from here on ends the
  // run without a temporary file left, never by a signal's default action.
  vantor::plot::install_endings();
  vantor::platform::let_oversize_writes_fail();
  // The same bytes as on every system: no CR added before a line feed.
  vantor::platform::binary_standard_streams();
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  const int status = vantor::plot::run_plot(args, std::cout, std::cerr);
  std::cout.flush();
  if (!std::cout && status == vantor::plot::kExitDone) return vantor::plot::kExitBadInput;
  return status;
}

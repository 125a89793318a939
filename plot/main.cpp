// vantor-plot: the picture of a finished run and each load case's share in the
// damage of the heaviest sections.
#include <iostream>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "plot/app.h"
#include "plot/output_file.h"

int main(int argc, char** argv) {
  vantor::plot::prepare_output_signals();
#ifdef _WIN32
  // The same bytes as on every system: no CR added before a line feed.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  const int status = vantor::plot::run_plot(args, std::cout, std::cerr);
  std::cout.flush();
  if (!std::cout && status == vantor::plot::kExitDone) return vantor::plot::kExitBadInput;
  return status;
}

// Writing an output file whole or not at all: the text goes to a new file of
// a unique name beside the target, created exclusively (an existing name, a
// link included, is never opened), and is renamed over the target once it is
// complete. Every failure removes the temporary file and leaves the target as
// it was. The only OS-specific part of vantor-plot lives here.
#pragma once

#include <string>
#include <string_view>

#include "plot/record_file.h"

namespace vantor::plot {

// Lets a write beyond the file-size limit fail with an error instead of
// ending the process; called once at start-up.
void prepare_output_signals();

// Writes text to path through a temporary file; false with error
// ("cannot be written") when any step fails.
bool write_file(const std::string& path, std::string_view text, plot_error& error);

}  // namespace vantor::plot

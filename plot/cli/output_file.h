// Writing the output files whole or not at all: each text goes to a new file
// of a unique name beside its target, created exclusively (an existing name,
// a link included, is never opened), and the files are renamed over their
// targets only once every one of them is complete. A failure before the
// renames removes the temporary files and leaves every target as it was, so a
// run leaves either all its new outputs or all the old ones. The system is
// reached through textio/platform/platform.h.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "plot/run/record_file.h"

namespace vantor::plot {

// One output: the file and its text.
struct output_text {
  std::string path;
  std::string_view text;
};

// Writes every text through its temporary file, then renames them in order;
// false with error (the output that failed, "cannot be written") when any
// step fails.
bool write_files(std::span<const output_text> outputs, plot_error& error);

}  // namespace vantor::plot

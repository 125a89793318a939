// The runs make compat gives both builds: every path of the dialogue and of the
// files, drawn from a seed. A run varies its case range, digits and prefix;
// the sum of its probabilities (exactly 1, at, just inside and just outside
// the tolerance on both sides, answered yes, no or blank when asked); its
// probability file (longer or shorter than the cases, values in several
// notations); its damage (realistic, tied sections and hot spots, zero and
// negative sections, values at the rounding boundaries of the output fields
// and at the extremes of a double); the layout of every input (LF, CR LF or
// mixed line ends, tabs, comments, blank and "#" lines); and now and then one
// of the faults the driver reports. The same seed gives the same bytes.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace vantor::testing {

struct scenario {
  // File name to bytes; a name ending in "/" stands for an empty folder.
  std::map<std::string, std::string> files;
  std::string prefix;  // the prefix the answers give, blanks cut
  std::string kind;    // what the run exercises, for the labels
};

scenario generate_scenario(std::uint64_t seed);

}  // namespace vantor::testing

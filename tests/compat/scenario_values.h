// The pieces of the runs of make compat (tests/compat/scenarios.h): the
// notations and layouts of the input files, the sums of the probabilities
// around the tolerance of the sum check, and the values planted at the
// rounding boundaries of the output fields.
#pragma once

#include <string>
#include <vector>

#include "tests/support/splitmix.h"

namespace vantor::testing {

using lines = std::vector<std::string>;

bool chance(splitmix& rng, double p);
// printf of one value.
std::string print(const char* format, double value);
// A value in one of the notations of the input files. Exact notations give
// back the double itself; the others round it as an engineer's file would.
std::string notation(double value, bool exact, splitmix& rng);
// The lines laid out as one input file: LF, CR LF or mixed line ends, and
// when `decorate` tabs, comment lines, blank lines and "#" lines among them.
std::string lay_out(const lines& body, splitmix& rng, bool decorate);

// A sum of the probabilities: exactly 1, at the flip points of the tolerance
// and a few doubles either side, or off by steps on both sides; `exact` false
// for a file of nine decimals.
double target_sum(splitmix& rng, bool& exact);
// Probabilities of the cases first to last adding up (in case order, from
// 0.0) to exactly `sum`.
std::vector<double> probabilities(int first, int last, double sum, splitmix& rng);

// A value at a rounding boundary of F13.3, 1PE12.4 or F35.1 (of 1/value).
double planted(splitmix& rng);

}  // namespace vantor::testing

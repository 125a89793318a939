// The picture of several runs compared (compare.svg): the largest damage and
// the fatigue life of every run along the riser on shared axes, the damage
// ratio of each run to the first, and the table of the runs.
#pragma once

#include <span>
#include <string>

#include "plot/run/compare.h"
#include "plot/run/picture_options.h"

namespace vantor::plot {

// The picture (CR LF line ends): the largest damage and the fatigue life of
// every run along the riser, the damage ratio to the first run, the table.
std::string render_compare_svg(std::span<const compared_run> runs, const picture_options& options);

}  // namespace vantor::plot

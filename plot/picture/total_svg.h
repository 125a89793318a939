// The picture of the engineer's total (total.svg): the total's largest damage
// and fatigue life along the riser, drawn heaviest, with each source's own
// curve (its factor applied) beside it in its colour, the required life, the
// ten heaviest sections of the total ringed with their rank, and each
// source's share of the total at its worst hot spot along the riser. Values
// under the pointer as in the picture of one run.
#pragma once

#include <span>
#include <string>

#include "plot/run/picture_options.h"
#include "plot/run/total.h"

namespace vantor::plot {

std::string render_total_svg(const accumulated_report& total, std::span<const total_source> sources,
                             const picture_options& options);

}  // namespace vantor::plot

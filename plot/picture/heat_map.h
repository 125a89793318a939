// The heat map of the riser picture: the accumulated damage by section (along
// the riser) and hot spot (around the circumference), with its colour bar.
#pragma once

#include <string_view>

#include "plot/picture/axes.h"
#include "plot/picture/svg_page.h"
#include "plot/run/report.h"

namespace vantor::plot::svg {

// The heat map from top down, kHeatHeight high, x_label under its axis.
void draw_heat_map(writer& w, const accumulated_report& report, const linear_axis& xs, double top,
                   std::string_view x_label);

}  // namespace vantor::plot::svg

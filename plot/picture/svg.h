// The picture of a finished run: the largest damage per section along the riser
// and the fatigue life on logarithmic axes, the damage around the circumference
// as a heat map, the ten heaviest marked by rank and tabulated, the required
// life where one is given, and each section's values under the pointer, as one
// self-contained SVG document. Its parts: svg_page.h (geometry, colours,
// elements), axes.h, panels.h, rank_labels.h, heat_map.h, section_tips.h; the
// pass/fail rule in run/required_life.h.
#pragma once

#include <string>

#include "plot/run/picture_options.h"
#include "plot/run/report.h"

namespace vantor::plot {

// The SVG document (CR LF line ends): the damage and life panels, the damage
// around the circumference, the legend and the table of the heaviest.
std::string render_svg(const accumulated_report& report, const picture_options& options = {});

}  // namespace vantor::plot

// The picture of a finished run: the largest damage per section along the riser
// and the fatigue life on logarithmic axes, the damage around the circumference
// as a heat map, the ten heaviest marked by rank and tabulated, the required
// life where one is given, and each section's values under the pointer, as one
// self-contained SVG document. Its parts: svg_page.h (geometry, colours,
// elements), axes.h, panels.h, rank_labels.h, heat_map.h, section_tips.h; the
// pass/fail rule in required_life.h.
#pragma once

#include <string>

#include "plot/report.h"

namespace vantor::plot {

// What the operator adds to the picture: the required life and the units.
struct picture_options {
  double design_life = 0.0;  // years; 0 for none
  double dff = 1.0;          // design fatigue factor
  std::string life_unit;     // "years"; empty for none
  std::string length_unit;   // "m"; empty for none
  // R = design life x DFF; 0 without a design life.
  double required_life() const { return design_life > 0.0 ? design_life * dff : 0.0; }
};

// The SVG document (CR LF line ends): the damage and life panels, the damage
// around the circumference, the legend and the table of the heaviest.
std::string render_svg(const accumulated_report& report, const picture_options& options = {});

}  // namespace vantor::plot

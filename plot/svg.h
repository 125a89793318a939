// The picture of a finished run: the largest damage per section along the riser
// and the fatigue life on logarithmic axes, the damage around the circumference
// as a heat map, the ten heaviest marked by rank and tabulated, the required
// life where one is given, as one self-contained SVG document.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

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

// The sections (from 0) whose fatigue life is below the required life R.
std::vector<int> sections_below(const accumulated_report& report, double required);

// The text with the XML special characters escaped and every byte that is not
// part of well-formed UTF-8, or a control character, replaced by "?".
std::string xml_text(std::string_view text);

// Decades shown on a logarithmic axis: from 10^low to 10^high, ticks every
// `step` decades; low and high are multiples of step, high > low.
struct decade_range {
  int low = 0;
  int high = 1;
  int step = 1;
};

// The decades that hold every positive finite value (zero, negative and
// non-finite values are not on the axis), with at most about eight ticks.
decade_range decades_for(std::span<const double> values);

}  // namespace vantor::plot

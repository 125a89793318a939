// The picture of a finished run: the largest damage per section along the riser
// and the fatigue life, both on logarithmic axes, with the heaviest sections
// marked and labelled, as one self-contained SVG document.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "plot/report.h"

namespace vantor::plot {

// The SVG document (CR LF line ends).
std::string render_svg(const accumulated_report& report);

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

// The axes of the riser picture: logarithmic decades for damage and life,
// linear ticks for S_Coo, and the panel that maps a value to its height.
#pragma once

#include <span>
#include <vector>

#include "plot/picture/svg_page.h"
#include "plot/run/report.h"

namespace vantor::plot {

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

namespace svg {

// A linear axis across the plot area: ticks at 1, 2 or 5 times a power of ten.
struct linear_axis {
  double low = 0.0;
  double high = 1.0;
  double step = 1.0;
  int decimals = 0;  // of the tick labels

  double x(double v) const { return kLeft + (v - low) / (high - low) * (kRight - kLeft); }
};

// The axis over [lo, hi] with 2 % room on either side (some room where lo is hi).
linear_axis axis_over(double lo, double hi);

// The axis over the coordinates of every section.
linear_axis coordinate_axis(const accumulated_report& report);

// The tick values of the axis, from the first multiple of its step at or
// above low up to high.
std::vector<double> ticks(const linear_axis& xs);

// One panel: a logarithmic axis in a box, with bands above and below for
// infinite and for zero (or negative) values.
struct panel {
  double top = 0.0;
  double bottom = 0.0;
  decade_range decades;
  bool infinite_band = false;
  bool zero_band = false;

  double log_top() const { return infinite_band ? top + kBand : top; }
  double log_bottom() const { return zero_band ? bottom - kBand : bottom; }
  double decade_y(double d) const {
    return log_bottom() -
           (d - decades.low) / (decades.high - decades.low) * (log_bottom() - log_top());
  }
  // The height of a value: on the log axis, or in the middle of its band.
  double y(double v) const;
};

// The panel from top down for the values: their decades, and the bands that
// some of them need.
panel make_panel(double top, std::span<const double> values, double height = kPanelHeight);

}  // namespace svg
}  // namespace vantor::plot

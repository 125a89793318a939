#include "plot/picture/axes.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace vantor::plot {
namespace {

constexpr int kMaxTicks = 8;

int floor_div(int a, int b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

}  // namespace

decade_range decades_for(std::span<const double> values) {
  double lo = HUGE_VAL;
  double hi = -HUGE_VAL;
  for (const double v : values) {
    if (v > 0.0 && v != HUGE_VAL) {
      lo = std::min(lo, v);
      hi = std::max(hi, v);
    }
  }
  decade_range r;
  if (lo == HUGE_VAL) return r;  // nothing on the axis: one decade, 1 to 10
  // A whisker of tolerance keeps an exact power of ten on its own decade.
  r.low = static_cast<int>(std::floor(std::log10(lo) + 1e-9));
  r.high = static_cast<int>(std::ceil(std::log10(hi) - 1e-9));
  if (r.high <= r.low) r.high = r.low + 1;
  constexpr std::array<int, 8> kSteps = {1, 2, 5, 10, 20, 50, 100, 200};
  for (const int step : kSteps) {
    r.step = step;
    const int low = floor_div(r.low, step) * step;
    const int high = -floor_div(-r.high, step) * step;
    if ((high - low) / step <= kMaxTicks) break;
  }
  r.low = floor_div(r.low, r.step) * r.step;
  r.high = -floor_div(-r.high, r.step) * r.step;
  return r;
}

namespace svg {

linear_axis axis_over(double lo, double hi) {
  linear_axis a;
  double pad = (hi - lo) * 0.02;
  if (!(pad > 0.0)) pad = std::max(1.0, std::fabs(lo) * 0.05);
  a.low = lo - pad;
  a.high = hi + pad;
  const double raw = (a.high - a.low) / 10.0;
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  const double r = raw / magnitude;
  a.step = magnitude * (r <= 1.0 ? 1.0 : r <= 2.0 ? 2.0 : r <= 5.0 ? 5.0 : 10.0);
  a.decimals = std::clamp(static_cast<int>(-std::floor(std::log10(a.step) + 1e-9)), 0, 12);
  return a;
}

linear_axis coordinate_axis(const accumulated_report& report) {
  if (report.sections.empty()) return linear_axis{};
  double lo = report.sections.front().coordinate;
  double hi = lo;
  for (const section_row& s : report.sections) {
    lo = std::min(lo, s.coordinate);
    hi = std::max(hi, s.coordinate);
  }
  return axis_over(lo, hi);
}

std::vector<double> ticks(const linear_axis& xs) {
  std::vector<double> values;
  const double first = std::ceil(xs.low / xs.step - 1e-9);
  for (int k = 0; k < 100; ++k) {
    const double t = (first + k) * xs.step;
    if (t > xs.high + xs.step * 1e-9) break;
    values.push_back(t);
  }
  return values;
}

double panel::y(double v) const {
  if (v == HUGE_VAL) return top + kBand / 2.0;
  if (!(v > 0.0)) return bottom - kBand / 2.0;
  return decade_y(std::log10(v));
}

panel make_panel(double top, std::span<const double> values, double height) {
  panel p;
  p.top = top;
  p.bottom = top + height;
  p.decades = decades_for(values);
  for (const double v : values) {
    if (v == HUGE_VAL) p.infinite_band = true;
    if (!(v > 0.0) && !std::isnan(v)) p.zero_band = true;
  }
  return p;
}

}  // namespace svg
}  // namespace vantor::plot

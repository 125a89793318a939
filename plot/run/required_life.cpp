#include "plot/run/required_life.h"

#include <cstddef>

namespace vantor::plot {

std::vector<int> sections_below(const accumulated_report& report, double required) {
  std::vector<int> below;
  if (!(required > 0.0)) return below;
  for (std::size_t e = 0; e < report.sections.size(); ++e) {
    if (below_required(report.sections[e], required)) below.push_back(static_cast<int>(e));
  }
  return below;
}

}  // namespace vantor::plot

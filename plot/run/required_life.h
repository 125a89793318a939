// The pass/fail rule of a run against a required life R (design life times
// the design fatigue factor): a section fails where its fatigue life is below
// R. The picture and the report both judge by it.
#pragma once

#include <vector>

#include "plot/run/report.h"

namespace vantor::plot {

// True when a required life is given (R > 0) and the section's fatigue life
// is below it.
inline bool below_required(const section_row& s, double required) {
  return required > 0.0 && s.life < required;
}

// The sections (from 0) whose fatigue life is below the required life R; none
// without one.
std::vector<int> sections_below(const accumulated_report& report, double required);

}  // namespace vantor::plot

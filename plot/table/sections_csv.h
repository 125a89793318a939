// The whole riser as a table (PREFIX.sections.csv): one row per section in
// S_Coo order with its section number, S_Coo, worst hot spot, largest damage
// and fatigue life, and against a required life R also R / life and the
// result. Numbers in their shortest round-trip form, so that a spreadsheet or
// a CSV reader gets back the report's values exactly; infinite lives as "inf".
#pragma once

#include <string>

#include "plot/run/picture_options.h"
#include "plot/run/report.h"

namespace vantor::plot {

// The CSV text: a header row naming each column (with its unit where the
// options give one), then the rows; CR LF line ends.
std::string render_sections_csv(const accumulated_report& report, const picture_options& options);

}  // namespace vantor::plot

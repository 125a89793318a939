// The engineer's total as tables. total.sections.csv: one row per section in
// S_Coo order with its section number, S_Coo, the hot spot of its largest
// total, the total damage and fatigue life, then each source's damage at that
// hot spot (its factor applied) and its share of the total in percent, and
// against a required life R also R / life and the result. total.matrix.csv:
// the total at every section and hot spot, sections in their order. Numbers
// as every CSV of the program writes them (csv_number.h); CR LF line ends.
#pragma once

#include <string>
#include <vector>

#include "plot/run/picture_options.h"
#include "plot/run/total.h"

namespace vantor::plot {

std::string render_total_sections_csv(const accumulated_report& total,
                                      const std::vector<total_source>& sources,
                                      const picture_options& options);

std::string render_total_matrix_csv(const accumulated_report& total,
                                    const picture_options& options);

}  // namespace vantor::plot

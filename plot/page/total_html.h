// The page of the engineer's total (total.html): the verdict on the total
// against the required life (or its minimum life without one), the table of
// the sources (label, report, factor, the minimum life of that source alone
// and where), the ten heaviest sections of the total with each source's
// share, and the picture; self-contained and printable like the report of
// one run.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "plot/run/picture_options.h"
#include "plot/run/total.h"

namespace vantor::plot {

std::string render_total_html(const accumulated_report& total,
                              std::span<const total_source> sources, std::string_view svg,
                              const picture_options& options);

}  // namespace vantor::plot

// The page of several runs compared (compare.html): the table of the runs
// with their reports, and the picture of them inline.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "plot/run/compare.h"
#include "plot/run/picture_options.h"

namespace vantor::plot {

// The page: the table of the runs with their reports and the picture.
std::string render_compare_html(std::span<const compared_run> runs, std::string_view svg,
                                const picture_options& options);

}  // namespace vantor::plot

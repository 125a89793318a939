// How concentrated the damage of the heaviest sections is over the load
// cases: for each, how many cases, the largest shares first, make 50 %, 90 %
// and 99 % of its damage; for the heaviest, the cumulative share over the
// cases sorted by share as a small curve. A section of the report (html.h).
#pragma once

#include <array>
#include <span>
#include <string>
#include <vector>

#include "plot/run/contributions.h"

namespace vantor::plot {

// The levels, in percent of a section's damage.
inline constexpr std::array<double, 3> kConcentrationLevels = {50.0, 90.0, 99.0};

// The shares (percent) that are numbers, largest first.
std::vector<double> shares_by_size(std::span<const double> shares);

// For each level, the fewest cases whose shares (largest first) reach it, of
// the sum of all shares; 0 for each where no share is a number.
std::array<int, 3> cases_to_reach(std::span<const double> shares);

// The report's section on it: a table over the heaviest sections and the
// curve of the heaviest (nothing to show without case shares).
std::string concentration_html(std::span<const contribution_row> rows, std::size_t case_count);

}  // namespace vantor::plot

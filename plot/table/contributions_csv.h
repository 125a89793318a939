// The case shares of the heaviest sections as a table (PREFIX.Contrib.csv),
// one row per heaviest section or one per (rank, case).
#pragma once

#include <span>
#include <string>

#include "plot/run/contributions.h"

namespace vantor::plot {

// The CSV text (CR LF ends, numbers as csv_number.h writes them, an infinite
// life "inf", empty where there is no number): a header row, then one row per heaviest section with
// rank, section, S_Coo, worst hot spot, damage, fatigue life and each case's
// share; or, long_form, one row per (rank, case) with the case's probability,
// weighted damage and share, by rank and then by decreasing share.
std::string render_csv(std::span<const contribution_row> rows, std::span<const case_damage> cases,
                       bool long_form);

}  // namespace vantor::plot

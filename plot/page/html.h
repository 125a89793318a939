// The one-page report of a finished run (PREFIX.html): one self-contained file
// (no network, scripts, fonts or styles from elsewhere) with the run's summary
// and case probabilities, the picture inline, the ranking with utilisation
// against the required life, the sections below it, the case shares of the ten
// heaviest and how concentrated their damage is (concentration.h); laid out
// to print on one A4 page as on screen.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "plot/run/contributions.h"
#include "plot/run/picture_options.h"
#include "plot/run/report.h"

namespace vantor::plot {

// Cases listed openly for each heaviest section; the rest in a collapsed table.
inline constexpr std::size_t kTopCases = 5;

std::string render_html(const accumulated_report& report, std::span<const contribution_row> rows,
                        std::span<const case_damage> cases, std::string_view svg,
                        const picture_options& options);

}  // namespace vantor::plot

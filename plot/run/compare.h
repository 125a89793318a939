// Design options side by side (vantor-plot --compare): two to eight finished
// runs, each read from its report, summarised and checked against the first
// here, drawn on shared axes (picture/compare_svg.h) and tabulated on one page
// (page/compare_html.h). Runs are never matched silently: the damage ratio of
// a run to the first is taken only where the two have the same sections at
// the same S_Coo.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "plot/run/report.h"

namespace vantor::plot {

inline constexpr std::size_t kFewestCompared = 2;
inline constexpr std::size_t kMostCompared = 8;

// One run of the comparison.
struct compared_run {
  std::string label;  // --label, or the prefix and its folder
  accumulated_report report;
};

// What the table of the comparison gives for each run; the minimum life is
// the one of the report's heaviest section.
struct run_summary {
  int cases = 0;
  int sections = 0;
  int hot_spots = 0;
  int minimum_section = -1;  // from 0; -1 for a report without a ranking
  int minimum_hot_spot = -1;
  double minimum_life = 0.0;
  double coordinate = 0.0;  // S_Coo of the minimum life
  std::size_t below = 0;    // sections below the required life R
};

run_summary summarise(const accumulated_report& report, double required);

// The label of a run without --label: "PREFIX" for a run in the current
// folder, "PREFIX in FOLDER" else.
std::string default_label(std::string_view prefix, std::string_view folder);

// Whether run b has run a's sections (the same count, each at the same
// S_Coo); false with the reason, in words, when it has not.
bool shares_sections(const accumulated_report& a, const accumulated_report& b, std::string& reason);

}  // namespace vantor::plot

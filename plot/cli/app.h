// The vantor-plot program: the command line (options.h), the run's files, and
// the files it writes (the picture PREFIX.svg, the case shares
// PREFIX.Contrib.csv, the table of every section PREFIX.sections.csv and the
// one-page report PREFIX.html); with --compare, the picture and page of
// several runs (compare.svg, compare.html).
#pragma once

#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "plot/cli/options.h"
#include "plot/run/record_file.h"

namespace vantor::plot {

inline constexpr int kExitDone = 0;
inline constexpr int kExitBadInput = 1;
inline constexpr int kExitUsage = 2;

// The files of one run.
struct run_names {
  std::string report;  // PREFIX.AccDam
  std::string folder;  // where the report is (empty for the current folder)
  std::string prefix;  // the report's name without ".AccDam"
  std::string svg;
  std::string csv;
  std::string sections;  // PREFIX.sections.csv
  std::string html;
};

// Finds the report named by the operand and the output names. False with an
// error when a folder holds no run, or several.
bool resolve_names(const plot_options& options, run_names& names, plot_error& error);

// The whole program; returns the exit status. Messages go to out (what was
// written) and err (errors, "vantor-plot: FILE:LINE: message").
int run_plot(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);

}  // namespace vantor::plot

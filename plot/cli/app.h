// The vantor-plot program: command line, the run's files, and the files it
// writes (the picture PREFIX.svg, the case shares PREFIX.Contrib.csv, the
// table of every section PREFIX.sections.csv and the one-page report
// PREFIX.html); with --compare, the picture and page of several runs
// (compare.svg, compare.html).
#pragma once

#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "plot/run/picture_options.h"
#include "plot/run/record_file.h"

namespace vantor::plot {

inline constexpr int kExitDone = 0;
inline constexpr int kExitBadInput = 1;
inline constexpr int kExitUsage = 2;

struct plot_options {
  std::string operand;  // PREFIX, PREFIX.AccDam or a folder holding one run
  std::string output;   // the picture's file; empty for PREFIX.svg beside the report
  bool case_range = false;
  int first_case = 0;
  int last_case = 0;
  picture_options picture;
  bool long_csv = false;            // one CSV row per (rank, case)
  bool compare = false;             // the operands are runs to compare
  std::vector<std::string> runs;    // the operands of --compare
  std::vector<std::string> labels;  // --label, for the runs in their order
  bool help = false;
  bool version = false;
};

// Reads the arguments (without the program name). False with a message for a
// usage error.
bool parse_command_line(std::span<const std::string_view> args, plot_options& options,
                        std::string& message);

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

// vantor-plot's command line: its options as one table (name, argument, what
// each sets, its help), which the parser reads and which writes --help, and
// the checks of the options taken together.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "plot/run/picture_options.h"

namespace vantor::plot {

struct plot_options {
  std::string operand;  // PREFIX, PREFIX.AccDam or a folder holding one run
  std::string output;   // the picture's file; empty for PREFIX.svg beside the report
  bool case_range = false;
  int first_case = 0;
  int last_case = 0;
  picture_options picture;
  bool long_csv = false;            // one CSV row per (rank, case)
  bool compare = false;             // the operands are runs to compare
  std::vector<std::string> runs;    // the operands of --compare or --total
  std::vector<std::string> labels;  // --label, for the runs in their order
  bool total = false;               // the operands are fatigue sources to add up
  std::vector<double> factors;      // --factor, for the sources of --total in their order
  bool help = false;
  bool version = false;
};

// The options as they are read, with what no field of plot_options records.
struct option_values;

// One option: "-o, --output FILE" takes its value as the next argument or,
// by its long name, as "--output=FILE"; an option without an argument takes
// none. set stores the value, false with a message for one it refuses.
struct option_entry {
  std::string_view short_name;  // "-o"; empty for none
  std::string_view name;        // "--output"
  std::string_view argument;    // "FILE"; empty for an option without a value
  std::string_view help;        // its lines in --help, apart by '\n'
  bool (*set)(std::string_view value, option_values& values, std::string& message);
};

// The options in the order of --help.
std::span<const option_entry> option_table();

// The text of --help, its options from the table.
std::string help_text();

// Reads the arguments (without the program name). False with a message for a
// usage error.
bool parse_command_line(std::span<const std::string_view> args, plot_options& options,
                        std::string& message);

}  // namespace vantor::plot

// The accumulated damage report of a finished run (PREFIX.AccDam), read back:
// its summary, the ranking of the heaviest sections, the largest damage and
// fatigue life of every section, and the section-by-hot-spot matrix.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "plot/run/record_file.h"

namespace vantor::plot {

struct section_row {
  double coordinate = 0.0;  // S_Coo
  double damage = 0.0;      // largest accumulated damage over the hot spots
  double life = 0.0;        // fatigue life, 1 / damage; infinite for no damage
};

struct accumulated_report {
  std::string path;
  std::string summary;    // the summary line without "#" and its leading blanks
  std::string run_label;  // what follows "cases for: ": the prefix, "." and the date stamp
  int case_count = 0;
  int section_count = 0;
  int hot_spot_count = 0;
  std::vector<section_row> sections;
  std::vector<int> heaviest;   // sections (from 0) of the ranking, heaviest first
  std::vector<double> matrix;  // accumulated damage, hot_spot_count values per section

  double accumulated(int section, int hot_spot) const {
    return matrix[static_cast<std::size_t>(section) * static_cast<std::size_t>(hot_spot_count) +
                  static_cast<std::size_t>(hot_spot)];
  }
};

// Reads and checks the report. False, with error naming the file and line,
// when it is missing, truncated or not such a report.
bool read_report(const std::string& path, accumulated_report& report, plot_error& error);

// The hot spot (from 0) with the largest accumulated damage of a section, the
// first of equal ones; -1 when the section has no hot spot with a number.
int worst_hot_spot(const accumulated_report& report, int section);

// The sections (from 0) in the order of their coordinates S_Coo, equal ones
// in the order of the report.
std::vector<int> sections_by_coordinate(const accumulated_report& report);

}  // namespace vantor::plot

// Each load case's share in the damage of the heaviest sections: the weighted
// damage files of a run (PREFIX_NNN.WghDam), read back at the worst hot spot of
// each heaviest section, and each case's share there (the CSV table of them:
// table/contributions_csv.h).
#pragma once

#include <span>
#include <string>
#include <vector>

#include "plot/run/record_file.h"
#include "plot/run/report.h"

namespace vantor::plot {

struct case_file {
  int number = 0;
  std::string digits;  // the case number as written in the file name ("007")
  std::string path;
};

// Every PREFIX_<digits>.WghDam in the folder, by increasing case number. False
// when the folder cannot be listed or a case has two files ("_7" and "_007").
bool find_case_files(const std::string& folder, const std::string& prefix,
                     std::vector<case_file>& files, plot_error& error);

// A heaviest section and its worst hot spot (-1 when it has none).
struct pick {
  int section = 0;
  int hot_spot = -1;
};

// The ranking's sections, heaviest first, with their worst hot spots.
std::vector<pick> heaviest_picks(const accumulated_report& report);

struct case_damage {
  case_file file;
  double probability = 0.0;      // as the file's probability line gives it
  std::vector<double> at_picks;  // weighted damage at each pick (NaN without a hot spot)
};

// Reads one weighted damage file and checks it against the report: the same
// run (project and date stamp), the same sections and coordinates, the same
// number of hot spots, complete up to its end line.
bool read_weighted(const case_file& file, const accumulated_report& report,
                   std::span<const pick> picks, case_damage& damage, plot_error& error);

struct contribution_row {
  int section = 0;  // from 0
  double coordinate = 0.0;
  int hot_spot = -1;  // from 0; -1 for none
  double damage = 0.0;
  double life = 0.0;
  std::vector<double> shares;  // percent per case; NaN where the total is 0 or not finite
};

// For every pick, each case's share of the summed weighted damage there.
std::vector<contribution_row> contributions(const accumulated_report& report,
                                            std::span<const pick> picks,
                                            std::span<const case_damage> cases);

}  // namespace vantor::plot

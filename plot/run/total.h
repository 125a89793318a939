// The engineer's total (vantor-plot --total): the damage of several fatigue
// sources of one riser (wave, vortex-induced vibration, vessel motions...),
// each a finished run, added hot spot by hot spot. A source's damage may be
// multiplied by its factor first. The section's total damage is the largest
// total over its hot spots, its fatigue life the inverse of that.
//
// The sources must describe the same riser: the same sections at the same
// S_Coo with the same hot spots; a source that does not, or a matrix value
// that is not a finite number >= 0, is refused, never matched silently.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "plot/run/report.h"

namespace vantor::plot {

struct total_source {
  std::string label;  // --label, or the prefix and its folder
  double factor = 1.0;
  accumulated_report report;

  // The source's damage at (section, hot spot) as it goes into the total.
  double damage(int section, int hot_spot) const {
    return factor * report.accumulated(section, hot_spot);
  }
};

struct fatigue_total {
  int section_count = 0;
  int hot_spot_count = 0;
  std::vector<double> coordinates;  // S_Coo of each section
  std::vector<double> matrix;       // the total, hot_spot_count values per section
  std::vector<int> worst;           // the hot spot (from 0) of each section's largest total
  std::vector<double> damage;       // each section's largest total
  std::vector<double> life;         // 1 / damage, infinite for no damage

  double at(int section, int hot_spot) const {
    return matrix[static_cast<std::size_t>(section) * static_cast<std::size_t>(hot_spot_count) +
                  static_cast<std::size_t>(hot_spot)];
  }
};

// Adds the sources' matrices. False, with error naming the source's report
// and the first mismatch or bad value, when they cannot be added.
bool add_sources(const std::vector<total_source>& sources, fatigue_total& total, plot_error& error);

// The sections (from 0) in the order of their S_Coo, equal ones in section
// order.
std::vector<int> total_sections_by_coordinate(const fatigue_total& total);

}  // namespace vantor::plot

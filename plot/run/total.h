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

// Adds the sources' matrices into total, a report of its own: its matrix the
// total at every section and hot spot, each section's damage the largest of
// its totals and its life the inverse, its heaviest the ten sections of the
// largest total (ties to the lower section), as a run's report ranks them.
// False, with error naming the source's report and the first mismatch or
// bad value, when they cannot be added.
bool add_sources(const std::vector<total_source>& sources, accumulated_report& total,
                 plot_error& error);

// How many sections the ranking of the total holds, as a run's report.
inline constexpr int kRankedTotal = 10;

}  // namespace vantor::plot

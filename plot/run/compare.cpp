#include "plot/run/compare.h"

#include "plot/run/required_life.h"
#include "plot/text/number_text.h"

namespace vantor::plot {

run_summary summarise(const accumulated_report& report, double required) {
  run_summary s;
  s.cases = report.case_count;
  s.sections = report.section_count;
  s.hot_spots = report.hot_spot_count;
  if (!report.heaviest.empty()) {
    const int e = report.heaviest.front();
    s.minimum_section = e;
    s.minimum_hot_spot = worst_hot_spot(report, e);
    s.minimum_life = report.sections[static_cast<std::size_t>(e)].life;
    s.coordinate = report.sections[static_cast<std::size_t>(e)].coordinate;
  }
  s.below = sections_below(report, required).size();
  return s;
}

std::string default_label(std::string_view prefix, std::string_view folder) {
  if (folder.empty() || folder == ".") return std::string(prefix);
  return std::string(prefix) + " in " + std::string(folder);
}

bool shares_sections(const accumulated_report& a, const accumulated_report& b,
                     std::string& reason) {
  if (a.sections.size() != b.sections.size()) {
    reason = std::to_string(b.sections.size()) + " sections against " +
             std::to_string(a.sections.size());
    return false;
  }
  for (std::size_t e = 0; e < a.sections.size(); ++e) {
    if (a.sections[e].coordinate != b.sections[e].coordinate) {
      reason = "section " + std::to_string(e + 1) + " at S_Coo " +
               fixed_decimals(b.sections[e].coordinate, 3) + " against " +
               fixed_decimals(a.sections[e].coordinate, 3);
      return false;
    }
  }
  return true;
}

}  // namespace vantor::plot

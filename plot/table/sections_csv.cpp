#include "plot/table/sections_csv.h"

#include <string_view>
#include <vector>

#include "plot/run/required_life.h"
#include "plot/table/csv_cell.h"
#include "plot/table/csv_number.h"

namespace vantor::plot {
namespace {

constexpr std::string_view kEnd = "\r\n";

}  // namespace

std::string render_sections_csv(const accumulated_report& report, const picture_options& options) {
  const double required = options.required_life();
  std::string text = "section," + csv_heading("S_Coo", options.length_unit) +
                     ",worst hot spot,damage," + csv_heading("fatigue life", options.life_unit);
  if (required > 0.0) text += ",R / life,result";
  text += kEnd;
  const std::vector<int> order = sections_by_coordinate(report);
  text.reserve(text.size() + order.size() * 64);
  for (const int e : order) {
    const section_row& s = report.sections[static_cast<std::size_t>(e)];
    const int j = worst_hot_spot(report, e);
    text += std::to_string(e + 1);
    text += ',';
    text += csv_number(s.coordinate);
    text += ',';
    if (j >= 0) text += std::to_string(j + 1);
    text += ',';
    text += csv_number(s.damage);
    text += ',';
    text += csv_number(s.life);
    if (required > 0.0) {
      text += ',';
      text += csv_number(required / s.life);
      text += below_required(s, required) ? ",fail" : ",pass";
    }
    text += kEnd;
  }
  return text;
}

}  // namespace vantor::plot

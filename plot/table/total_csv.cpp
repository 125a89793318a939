#include "plot/table/total_csv.h"

#include <string_view>

#include "plot/run/required_life.h"
#include "plot/table/csv_cell.h"
#include "plot/table/csv_number.h"

namespace vantor::plot {
namespace {

constexpr std::string_view kEnd = "\r\n";

}  // namespace

std::string render_total_sections_csv(const accumulated_report& total,
                                      const std::vector<total_source>& sources,
                                      const picture_options& options) {
  const double required = options.required_life();
  std::string text = "section," + csv_heading("S_Coo", options.length_unit) +
                     ",worst hot spot,total damage," +
                     csv_heading("fatigue life", options.life_unit);
  for (const total_source& s : sources) {
    text += ',' + csv_cell(s.label + " damage") + ',' + csv_cell(s.label + " share (%)");
  }
  if (required > 0.0) text += ",R / life,result";
  text += kEnd;
  for (const int e : sections_by_coordinate(total)) {
    const section_row& row = total.sections[static_cast<std::size_t>(e)];
    const int j = worst_hot_spot(total, e);
    text += std::to_string(e + 1) + ',' + csv_number(row.coordinate) + ',';
    if (j >= 0) text += std::to_string(j + 1);
    text += ',' + csv_number(row.damage) + ',' + csv_number(row.life);
    for (const total_source& s : sources) {
      const double part = j >= 0 ? s.damage(e, j) : 0.0;
      // A section without damage has no shares.
      text += ',' + csv_number(part) + ',' +
              (row.damage > 0.0 ? csv_number(100.0 * part / row.damage) : "");
    }
    if (required > 0.0) {
      text += ',' + csv_number(required / row.life);
      text += below_required(row, required) ? ",fail" : ",pass";
    }
    text += kEnd;
  }
  return text;
}

std::string render_total_matrix_csv(const accumulated_report& total,
                                    const picture_options& options) {
  std::string text = "section," + csv_heading("S_Coo", options.length_unit);
  for (int j = 0; j < total.hot_spot_count; ++j) text += ",hot spot " + std::to_string(j + 1);
  text += kEnd;
  for (int e = 0; e < total.section_count; ++e) {
    text += std::to_string(e + 1) + ',' +
            csv_number(total.sections[static_cast<std::size_t>(e)].coordinate);
    for (int j = 0; j < total.hot_spot_count; ++j)
      text += ',' + csv_number(total.accumulated(e, j));
    text += kEnd;
  }
  return text;
}

}  // namespace vantor::plot

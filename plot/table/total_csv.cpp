#include "plot/table/total_csv.h"

#include <string_view>

#include "plot/table/csv_cell.h"
#include "plot/table/csv_number.h"

namespace vantor::plot {
namespace {

constexpr std::string_view kEnd = "\r\n";

}  // namespace

std::string render_total_sections_csv(const fatigue_total& total,
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
  for (const int e : total_sections_by_coordinate(total)) {
    const auto row = static_cast<std::size_t>(e);
    const int j = total.worst[row];
    const double damage = total.damage[row];
    text += std::to_string(e + 1) + ',' + csv_number(total.coordinates[row]) + ',' +
            std::to_string(j + 1) + ',' + csv_number(damage) + ',' + csv_number(total.life[row]);
    for (const total_source& s : sources) {
      const double part = s.damage(e, j);
      // A section without damage has no shares.
      text +=
          ',' + csv_number(part) + ',' + (damage > 0.0 ? csv_number(100.0 * part / damage) : "");
    }
    if (required > 0.0) {
      text += ',' + csv_number(required / total.life[row]);
      text += total.life[row] < required ? ",fail" : ",pass";
    }
    text += kEnd;
  }
  return text;
}

std::string render_total_matrix_csv(const fatigue_total& total, const picture_options& options) {
  std::string text = "section," + csv_heading("S_Coo", options.length_unit);
  for (int j = 0; j < total.hot_spot_count; ++j) text += ",hot spot " + std::to_string(j + 1);
  text += kEnd;
  for (int e = 0; e < total.section_count; ++e) {
    text +=
        std::to_string(e + 1) + ',' + csv_number(total.coordinates[static_cast<std::size_t>(e)]);
    for (int j = 0; j < total.hot_spot_count; ++j) text += ',' + csv_number(total.at(e, j));
    text += kEnd;
  }
  return text;
}

}  // namespace vantor::plot

#include "plot/table/contributions_csv.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <vector>

#include "plot/table/csv_number.h"

namespace vantor::plot {
namespace {

// A CSV number (csv_number.h); empty for no number.
std::string format_shortest(double value) {
  return std::isnan(value) ? std::string() : csv_number(value);
}

}  // namespace

std::string render_csv(std::span<const contribution_row> rows, std::span<const case_damage> cases,
                       bool long_form) {
  constexpr std::string_view kEnd = "\r\n";
  std::string text;
  const auto hot_spot = [](const contribution_row& row) {
    return row.hot_spot >= 0 ? std::to_string(row.hot_spot + 1) : std::string();
  };
  if (long_form) {
    text = "rank,section,S_Coo,case,probability,weighted damage,share (%)";
    text += kEnd;
    for (std::size_t r = 0; r < rows.size(); ++r) {
      const contribution_row& row = rows[r];
      std::vector<std::size_t> order(cases.size());
      for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
      // Largest share first; shares that are no number last, by case.
      std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const double x = row.shares[a];
        const double y = row.shares[b];
        if (std::isnan(x) || std::isnan(y)) return !std::isnan(x) && std::isnan(y);
        return x > y;
      });
      for (const std::size_t k : order) {
        text += std::to_string(r + 1) + ',' + std::to_string(row.section + 1) + ',' +
                format_shortest(row.coordinate) + ',' + cases[k].file.digits + ',' +
                format_shortest(cases[k].probability) + ',' +
                format_shortest(cases[k].at_picks[r]) + ',' + format_shortest(row.shares[k]);
        text += kEnd;
      }
    }
    return text;
  }
  text = "rank,section,S_Coo,worst hot spot,damage,fatigue life";
  for (const case_damage& c : cases) text += ",case " + c.file.digits + " (%)";
  text += kEnd;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const contribution_row& row = rows[r];
    text += std::to_string(r + 1) + ',' + std::to_string(row.section + 1) + ',' +
            format_shortest(row.coordinate) + ',' + hot_spot(row) + ',' +
            format_shortest(row.damage) + ',' + format_shortest(row.life);
    for (const double share : row.shares) {
      text += ',';
      text += format_shortest(share);
    }
    text += kEnd;
  }
  return text;
}

}  // namespace vantor::plot

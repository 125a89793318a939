#include "plot/picture/section_tips.h"

#include <cstddef>
#include <vector>

#include "plot/text/number_text.h"
#include "plot/text/xml_text.h"

namespace vantor::plot::svg {

std::string section_tip(const accumulated_report& report, int section, int rank,
                        const picture_options& options) {
  const section_row& s = report.sections[static_cast<std::size_t>(section)];
  const int j = worst_hot_spot(report, section);
  std::string tip = rank > 0 ? "rank " + std::to_string(rank) + ", " : std::string();
  tip += "section " + std::to_string(section + 1) + ", S_Coo " + fixed_decimals(s.coordinate, 3);
  if (!options.length_unit.empty()) tip += ' ' + xml_text(options.length_unit);
  tip +=
      ": damage " + exponent_decimals(s.damage, 4) + ", fatigue life " + fixed_decimals(s.life, 1);
  if (!options.life_unit.empty()) tip += ' ' + xml_text(options.life_unit);
  if (j >= 0) tip += ", worst hot spot " + std::to_string(j + 1);
  return tip;
}

void draw_section_tips(writer& w, const accumulated_report& report, const linear_axis& xs,
                       std::span<const tip_band> bands, const picture_options& options) {
  const std::size_t n = report.sections.size();
  const std::vector<int> order = sections_by_coordinate(report);
  std::vector<int> rank_of(n, 0);
  for (std::size_t r = 0; r < report.heaviest.size(); ++r) {
    rank_of[static_cast<std::size_t>(report.heaviest[r])] = static_cast<int>(r + 1);
  }
  const auto x_at = [&](std::size_t i) {
    return xs.x(report.sections[static_cast<std::size_t>(order[i])].coordinate);
  };
  // Transparent, yet painted: the strips take the pointer.
  w.line("<g class=\"tips\" fill=\"#000\" fill-opacity=\"0\">");
  for (std::size_t i = 0; i < n; ++i) {
    const double x = x_at(i);
    double left = i > 0 ? (x_at(i - 1) + x) / 2.0 : kLeft;
    double right = i + 1 < n ? (x + x_at(i + 1)) / 2.0 : kRight;
    left = std::clamp(left, kLeft, kRight);
    right = std::clamp(right, kLeft, kRight);
    if (!(right > left)) continue;
    std::string path = "<path class=\"tip\" d=\"";
    for (const tip_band& b : bands) {
      path += 'M' + px(left) + ' ' + px(b.top) + 'H' + px(right) + 'V' + px(b.bottom) + 'H' +
              px(left) + 'Z';
    }
    const int e = order[i];
    w.line(path + "\"><title>" +
           section_tip(report, e, rank_of[static_cast<std::size_t>(e)], options) +
           "</title></path>");
  }
  w.line("</g>");
}

}  // namespace vantor::plot::svg

#include "plot/picture/rank_labels.h"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace vantor::plot::svg {

namespace {

double label_width(const std::string& text) {
  return static_cast<double>(text.size()) * 6.4 + 6.0;
}

}  // namespace

std::vector<label_place> place_labels(const accumulated_report& report, const linear_axis& xs) {
  struct row_use {
    std::vector<std::pair<double, double>> spans;
    std::vector<double> leaders;
  };
  std::vector<row_use> rows;
  std::vector<label_place> places;
  for (const int e : report.heaviest) {
    label_place lp;
    lp.text = std::to_string(places.size() + 1);
    lp.mark_x = xs.x(report.sections[static_cast<std::size_t>(e)].coordinate);
    const double half = label_width(lp.text) / 2.0;
    lp.centre = std::clamp(lp.mark_x, kLeft + half, kRight - half);
    const double a = lp.centre - half - 3.0;
    const double b = lp.centre + half + 3.0;
    const auto fits = [&](std::size_t r) {
      if (r >= rows.size()) return true;
      for (const auto& [lo, hi] : rows[r].spans) {
        if (a < hi && lo < b) return false;
      }
      for (const double x : rows[r].leaders) {
        if (x > a && x < b) return false;
      }
      return true;
    };
    const auto crosses_below = [&](std::size_t r) {
      for (std::size_t k = 0; k < r && k < rows.size(); ++k) {
        for (const auto& [lo, hi] : rows[k].spans) {
          if (lp.mark_x > lo - 2.0 && lp.mark_x < hi + 2.0) return true;
        }
      }
      return false;
    };
    std::size_t r = 0;
    while (r < rows.size() && (!fits(r) || crosses_below(r))) ++r;
    if (r == rows.size() && crosses_below(r)) {
      // Every row would hide the leader: the first row with room (a new row on
      // top always has it); the labels' white halo keeps the crossed one legible.
      r = 0;
      while (!fits(r)) ++r;
    }
    if (r >= rows.size()) rows.resize(r + 1);
    rows[r].spans.emplace_back(a, b);
    for (std::size_t k = 0; k < r; ++k) rows[k].leaders.push_back(lp.mark_x);
    lp.row = static_cast<int>(r);
    places.push_back(std::move(lp));
  }
  return places;
}

void draw_rank_labels(writer& w, const accumulated_report& report,
                      const std::vector<label_place>& labels, double panel_top, const panel& p) {
  w.line("<g class=\"labels\">");
  for (std::size_t k = 0; k < labels.size(); ++k) {
    const label_place& lp = labels[k];
    const section_row& s = report.sections[static_cast<std::size_t>(report.heaviest[k])];
    const double baseline = panel_top - 10.0 - lp.row * kLabelRow - 3.0;
    w.line("<line class=\"leader\"" + attr("x1", lp.mark_x) + attr("y1", baseline + 3) +
           attr("x2", lp.mark_x) + attr("y2", p.y(s.damage) - 5) + " stroke=\"" +
           std::string(kHeavyColour) + "\" stroke-width=\"0.7\" opacity=\"0.6\"/>");
    w.line(text_at("label rank", lp.centre, baseline, "middle", 11, lp.text,
                   " font-weight=\"bold\" fill=\"" + std::string(kHeavyColour) +
                       "\" stroke=\"white\" stroke-width=\"3\" paint-order=\"stroke\""));
  }
  w.line("</g>");
}

}  // namespace vantor::plot::svg

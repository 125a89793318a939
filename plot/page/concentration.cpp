#include "plot/page/concentration.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <functional>

#include "plot/picture/svg_page.h"
#include "plot/text/number_text.h"

namespace vantor::plot {
namespace {

// The curve's box in its own pixels.
constexpr double kCurveWidth = 480.0;
constexpr double kCurveHeight = 200.0;
constexpr double kCurveLeft = 56.0;
constexpr double kCurveRight = 464.0;
constexpr double kCurveTop = 12.0;
constexpr double kCurveBottom = 162.0;

// The cumulative share over the cases sorted by share (largest first), from
// 0 at no case to the sum at all of them, with the levels and their counts.
std::string cumulative_curve(const std::vector<double>& sorted, const std::array<int, 3>& counts) {
  using svg::attr;
  using svg::px;
  using svg::text_at;
  double total = 0.0;
  for (const double s : sorted) total += s;
  const std::size_t n = sorted.size();
  const auto x = [&](double k) {
    return kCurveLeft + k / static_cast<double>(n) * (kCurveRight - kCurveLeft);
  };
  const auto y = [&](double percent) {
    return kCurveBottom - std::clamp(percent, 0.0, 100.0) / 100.0 * (kCurveBottom - kCurveTop);
  };
  std::string h = "<svg class=\"cumulative\" xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                  px(kCurveWidth) + "\" height=\"" + px(kCurveHeight) + "\" viewBox=\"0 0 " +
                  px(kCurveWidth) + " " + px(kCurveHeight) +
                  "\" font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\">\n";
  h += "<rect" + attr("x", kCurveLeft) + attr("y", kCurveTop) +
       attr("width", kCurveRight - kCurveLeft) + attr("height", kCurveBottom - kCurveTop) +
       " fill=\"#fbfbfb\" stroke=\"#888\"/>\n";
  for (const double level : {0.0, 50.0, 90.0, 100.0}) {
    h += text_at("ytick-label", kCurveLeft - 6, y(level) + 4, "end", 10, fixed_decimals(level, 0)) +
         "\n";
  }
  for (std::size_t l = 0; l < kConcentrationLevels.size(); ++l) {
    const double level = kConcentrationLevels[l];
    h += "<line class=\"level\"" + attr("x1", kCurveLeft) + attr("y1", y(level)) +
         attr("x2", kCurveRight) + attr("y2", y(level)) +
         " stroke=\"#999\" stroke-dasharray=\"4 3\"><title>" + fixed_decimals(level, 0) +
         " %: " + std::to_string(counts[l]) + " cases</title></line>\n";
  }
  std::string d = px(x(0)) + " " + px(y(0));
  d.insert(0, 1, 'M');
  double sum = 0.0;
  for (std::size_t k = 0; k < n; ++k) {
    sum += sorted[k];
    d += " L" + px(x(static_cast<double>(k + 1))) + " " + px(y(100.0 * sum / total));
  }
  h += "<path class=\"curve\" fill=\"none\" stroke=\"" + std::string(svg::kDamageColour) +
       "\" stroke-width=\"1.5\" d=\"" + d + "\"/>\n";
  h += text_at("xtick-label", x(0), kCurveBottom + 14, "middle", 10, "0") + "\n";
  h += text_at("xtick-label", x(static_cast<double>(n)), kCurveBottom + 14, "middle", 10,
               std::to_string(n)) +
       "\n";
  h += text_at("axis-label", (kCurveLeft + kCurveRight) / 2, kCurveBottom + 32, "middle", 11,
               "cases, the largest share first") +
       "\n";
  const double middle = (kCurveTop + kCurveBottom) / 2;
  h += text_at("axis-label", 14, middle, "middle", 11, "cumulative share (%)",
               " transform=\"rotate(-90 " + px(14) + " " + px(middle) + ")\"") +
       "\n";
  h += "</svg>\n";
  return h;
}

}  // namespace

std::vector<double> shares_by_size(std::span<const double> shares) {
  std::vector<double> sorted;
  for (const double s : shares) {
    if (!std::isnan(s)) sorted.push_back(s);
  }
  std::stable_sort(sorted.begin(), sorted.end(), std::greater<>());
  return sorted;
}

std::array<int, 3> cases_to_reach(std::span<const double> shares) {
  const std::vector<double> sorted = shares_by_size(shares);
  std::array<int, 3> counts{};
  double total = 0.0;
  for (const double s : sorted) total += s;
  if (sorted.empty()) return counts;
  for (std::size_t l = 0; l < kConcentrationLevels.size(); ++l) {
    const double goal = kConcentrationLevels[l] / 100.0 * total;
    double sum = 0.0;
    std::size_t k = 0;
    while (k < sorted.size() && sum < goal) sum += sorted[k++];
    counts[l] = static_cast<int>(std::max<std::size_t>(k, 1));
  }
  return counts;
}

std::string concentration_html(std::span<const contribution_row> rows, std::size_t case_count) {
  std::string h = "<h2>How concentrated the damage is</h2>\n";
  if (case_count == 0) return h + "<p>no weighted damage files: no case shares.</p>\n";
  h += "<table id=\"concentration\">\n<thead><tr><th>rank</th><th>section</th><th>S_Coo</th>";
  for (const double level : kConcentrationLevels) {
    h += "<th>cases for " + fixed_decimals(level, 0) + " %</th>";
  }
  h += "</tr></thead>\n<tbody>\n";
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const std::array<int, 3> counts = cases_to_reach(rows[r].shares);
    h += "<tr><td>" + std::to_string(r + 1) + "</td><td>" + std::to_string(rows[r].section + 1) +
         "</td><td>" + fixed_decimals(rows[r].coordinate, 3) + "</td>";
    for (const int c : counts) h += "<td>" + (c > 0 ? std::to_string(c) : std::string()) + "</td>";
    h += "</tr>\n";
  }
  h += "</tbody>\n</table>\n<p>of " + std::to_string(case_count) + " cases.</p>\n";
  if (rows.empty()) return h;
  const std::vector<double> sorted = shares_by_size(rows.front().shares);
  double total = 0.0;
  for (const double s : sorted) total += s;
  if (sorted.empty() || !(total > 0.0)) return h;
  h += "<div id=\"concentration-curve\"><p>The heaviest section (" +
       std::to_string(rows.front().section + 1) + ", S_Coo " +
       fixed_decimals(rows.front().coordinate, 3) +
       "): the cumulative share of its damage over the cases, the largest share first.</p>\n";
  h += cumulative_curve(sorted, cases_to_reach(rows.front().shares));
  h += "</div>\n";
  return h;
}

}  // namespace vantor::plot

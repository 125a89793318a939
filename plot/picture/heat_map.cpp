#include "plot/picture/heat_map.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "plot/text/number_text.h"

namespace vantor::plot::svg {
namespace {

constexpr int kHeatLevels = 32;

// Sequential colours from low (dark blue-violet) to high (yellow).
std::string heat_colour(double t) {
  constexpr std::array<std::array<double, 3>, 5> kStops = {
      {{68, 1, 84}, {59, 82, 139}, {33, 145, 140}, {94, 201, 98}, {253, 231, 37}}};
  t = std::clamp(t, 0.0, 1.0) * 4.0;
  const auto k = static_cast<std::size_t>(std::min(3.0, std::floor(t)));
  const double f = t - static_cast<double>(k);
  char buffer[8];
  const auto c = [&](int i) {
    return static_cast<int>(std::lround(kStops[k][i] + (kStops[k + 1][i] - kStops[k][i]) * f));
  };
  std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", c(0) & 0xff, c(1) & 0xff, c(2) & 0xff);
  return buffer;
}

// A column of the map: [left, right) in pixels and the colour level of each
// hot spot (-2 for no number, -1 for zero or less, else 0 to kHeatLevels - 1).
struct column {
  double left = 0.0;
  double right = 0.0;
  std::vector<int> level;
};

// The sections in the order of their coordinates, merged into columns of at
// least a pixel: the largest level of each hot spot over the merged sections.
std::vector<column> heat_columns(const accumulated_report& report, const linear_axis& xs,
                                 const decade_range& decades) {
  const int nhot = report.hot_spot_count;
  const std::vector<int> order = sections_by_coordinate(report);
  std::vector<column> columns;
  const auto level_of = [&](double v) {
    if (std::isnan(v)) return -2;
    if (!(v > 0.0)) return -1;
    if (v == HUGE_VAL) return kHeatLevels - 1;
    const double t = (std::log10(v) - decades.low) / (decades.high - decades.low);
    return std::clamp(static_cast<int>(t * kHeatLevels), 0, kHeatLevels - 1);
  };
  for (std::size_t i = 0; i < order.size(); ++i) {
    const double x = xs.x(report.sections[static_cast<std::size_t>(order[i])].coordinate);
    const double prev =
        i > 0 ? xs.x(report.sections[static_cast<std::size_t>(order[i - 1])].coordinate) : x;
    const double next =
        i + 1 < order.size()
            ? xs.x(report.sections[static_cast<std::size_t>(order[i + 1])].coordinate)
            : x;
    double left = i > 0 ? (prev + x) / 2.0 : x - (next - x) / 2.0;
    double right = i + 1 < order.size() ? (x + next) / 2.0 : x + (x - prev) / 2.0;
    if (order.size() == 1) {
      left = kLeft;
      right = kRight;
    }
    left = std::clamp(left, kLeft, kRight);
    right = std::clamp(right, kLeft, kRight);
    if (columns.empty() || columns.back().right - columns.back().left >= 1.0) {
      columns.push_back({left, right, std::vector<int>(static_cast<std::size_t>(nhot), -2)});
    }
    column& c = columns.back();
    c.right = right;
    for (int j = 0; j < nhot; ++j) {
      c.level[static_cast<std::size_t>(j)] =
          std::max(c.level[static_cast<std::size_t>(j)], level_of(report.accumulated(order[i], j)));
    }
  }
  return columns;
}

// One path per colour level (index level + 1): the cells of each row, equal
// neighbours of a row joined into one cell.
std::vector<std::string> cell_paths(const std::vector<column>& columns, int nhot, double top,
                                    double row_height) {
  std::vector<std::string> paths(kHeatLevels + 1);
  for (int j = 0; j < nhot; ++j) {
    const double y = top + j * row_height;
    std::size_t k = 0;
    while (k < columns.size()) {
      const int level = columns[k].level[static_cast<std::size_t>(j)];
      std::size_t m = k + 1;
      while (m < columns.size() && columns[m].level[static_cast<std::size_t>(j)] == level) ++m;
      if (level >= -1) {
        // Edges rounded alike, so that neighbouring cells meet without a gap.
        const double x0 = std::round(columns[k].left * 10.0) / 10.0;
        const double x1 = std::round(columns[m - 1].right * 10.0) / 10.0;
        char buffer[96];
        std::snprintf(buffer, sizeof buffer, "M%.1f %.1fh%.1fv%.1fh%.1fz", x0, y, x1 - x0,
                      row_height, x0 - x1);
        paths[static_cast<std::size_t>(level + 1)] += buffer;
      }
      k = m;
    }
  }
  return paths;
}

// The colour bar right of the map, by decades.
void draw_colour_bar(writer& w, const decade_range& decades, double top, double bottom) {
  const double bar_x = kRight + 22;
  for (int level = 0; level < kHeatLevels; ++level) {
    const double y1 = bottom - (level + 1) * kHeatHeight / kHeatLevels;
    w.line("<rect class=\"colour-bar\"" + attr("x", bar_x) + attr("y", y1) + attr("width", 14) +
           attr("height", kHeatHeight / kHeatLevels + 0.3) + " fill=\"" +
           heat_colour((level + 0.5) / kHeatLevels) + "\"/>");
  }
  for (int d = decades.low; d <= decades.high; d += decades.step) {
    const double y =
        bottom - (d - decades.low) / static_cast<double>(decades.high - decades.low) * kHeatHeight;
    w.line(text_at("ytick-label", bar_x + 18, y + 4, "start", 11, decade_label(d)));
  }
  w.line(text_at("axis-label", bar_x + 7, top - 16, "middle", 11, "damage"));
}

}  // namespace

void draw_heat_map(writer& w, const accumulated_report& report, const linear_axis& xs, double top,
                   std::string_view x_label) {
  const int nhot = report.hot_spot_count;
  const double bottom = top + kHeatHeight;
  w.line("<g class=\"panel heat\">");
  w.line("<rect class=\"frame\"" + attr("x", kLeft) + attr("y", top) +
         attr("width", kRight - kLeft) + attr("height", kHeatHeight) +
         " fill=\"#f0f0f0\" stroke=\"#888\" stroke-width=\"1\"/>");
  std::vector<double> positive;
  for (const double v : report.matrix) {
    if (v > 0.0 && v != HUGE_VAL) positive.push_back(v);
  }
  const decade_range decades = decades_for(positive);
  const double row_height = nhot > 0 ? kHeatHeight / nhot : kHeatHeight;
  const std::vector<std::string> paths =
      cell_paths(heat_columns(report, xs, decades), nhot, top, row_height);
  for (std::size_t level = 0; level < paths.size(); ++level) {
    if (paths[level].empty()) continue;
    const std::string fill = level == 0
                                 ? std::string("#ffffff")
                                 : heat_colour((static_cast<double>(level) - 0.5) / kHeatLevels);
    w.line("<path class=\"cells\" shape-rendering=\"crispEdges\" fill=\"" + fill + "\" d=\"" +
           paths[level] + "\"/>");
  }
  // Hot spot numbers: as many as fit.
  const int every = std::max(1, static_cast<int>(std::ceil(14.0 / row_height)));
  for (int j = 0; j < nhot; j += every) {
    w.line(text_at("ytick-label", kLeft - 8, top + (j + 0.5) * row_height + 4, "end", 11,
                   std::to_string(j + 1)));
  }
  int rank = 0;
  for (const int e : report.heaviest) {
    ++rank;
    const int j = worst_hot_spot(report, e);
    if (j < 0) continue;
    w.line("<circle class=\"heavy\" data-rank=\"" + std::to_string(rank) + "\"" +
           attr("cx", xs.x(report.sections[static_cast<std::size_t>(e)].coordinate)) +
           attr("cy", top + (j + 0.5) * row_height) + " r=\"5\" fill=\"none\" stroke=\"" +
           std::string(kHeavyColour) + "\" stroke-width=\"1.5\"/>");
  }
  for (const double t : ticks(xs)) {
    w.line(
        text_at("xtick-label", xs.x(t), bottom + 18, "middle", 12, fixed_decimals(t, xs.decimals)));
  }
  const double middle = (top + bottom) / 2.0;
  w.line(text_at("axis-label", 28, middle, "middle", 13, "hot spot",
                 " transform=\"rotate(-90 " + px(28) + " " + px(middle) + ")\""));
  w.line(text_at("axis-label", (kLeft + kRight) / 2, bottom + 38, "middle", 13, x_label));
  draw_colour_bar(w, decades, top, bottom);
  w.line("</g>");
}

}  // namespace vantor::plot::svg

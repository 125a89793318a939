#include "plot/run/total.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "plot/text/number_text.h"

namespace vantor::plot {
namespace {

// Whether source b describes a's riser; the first difference in words when not.
bool same_riser(const total_source& a, const total_source& b, std::string& reason) {
  const accumulated_report& ra = a.report;
  const accumulated_report& rb = b.report;
  if (rb.section_count != ra.section_count) {
    reason = std::to_string(rb.section_count) + " sections, " + a.label + " has " +
             std::to_string(ra.section_count);
    return false;
  }
  if (rb.hot_spot_count != ra.hot_spot_count) {
    reason = std::to_string(rb.hot_spot_count) + " hot spots, " + a.label + " has " +
             std::to_string(ra.hot_spot_count);
    return false;
  }
  for (std::size_t e = 0; e < ra.sections.size(); ++e) {
    const double sa = ra.sections[e].coordinate;
    const double sb = rb.sections[e].coordinate;
    if (sa != sb) {
      reason = "section " + std::to_string(e + 1) + " at S_Coo " + fixed_decimals(sb, 3) + ", " +
               a.label + " has " + fixed_decimals(sa, 3);
      return false;
    }
  }
  return true;
}

// The first matrix value of the source that is not a finite number >= 0.
bool damages_are_numbers(const total_source& s, std::string& reason) {
  const accumulated_report& r = s.report;
  for (int e = 0; e < r.section_count; ++e) {
    for (int j = 0; j < r.hot_spot_count; ++j) {
      const double d = r.accumulated(e, j);
      if (!(std::isfinite(d) && d >= 0.0)) {
        reason = "section " + std::to_string(e + 1) + ", hot spot " + std::to_string(j + 1) +
                 ": the damage " + format_number(d) + " is not a finite number >= 0";
        return false;
      }
    }
  }
  return true;
}

}  // namespace

bool add_sources(const std::vector<total_source>& sources, accumulated_report& total,
                 plot_error& error) {
  total = accumulated_report{};
  if (sources.empty()) return true;
  for (const total_source& s : sources) {
    std::string reason;
    if (!same_riser(sources.front(), s, reason) || !damages_are_numbers(s, reason)) {
      error = plot_error{s.report.path, 0, reason};
      return false;
    }
  }
  const accumulated_report& first = sources.front().report;
  total.path = "total";
  total.summary = "Total of " + std::to_string(sources.size()) + " fatigue sources";
  total.section_count = first.section_count;
  total.hot_spot_count = first.hot_spot_count;
  const auto hot_spots = static_cast<std::size_t>(first.hot_spot_count);
  total.matrix.assign(static_cast<std::size_t>(first.section_count) * hot_spots, 0.0);
  for (int e = 0; e < total.section_count; ++e) {
    section_row row{first.sections[static_cast<std::size_t>(e)].coordinate, 0.0,
                    std::numeric_limits<double>::infinity()};
    for (int j = 0; j < total.hot_spot_count; ++j) {
      double sum = 0.0;  // the sources in their order
      for (const total_source& s : sources) sum += s.damage(e, j);
      total.matrix[static_cast<std::size_t>(e) * hot_spots + static_cast<std::size_t>(j)] = sum;
      row.damage = std::max(row.damage, sum);
    }
    if (row.damage > 0.0) row.life = 1.0 / row.damage;
    total.sections.push_back(row);
  }
  std::vector<int> order(total.sections.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return total.sections[static_cast<std::size_t>(a)].damage >
           total.sections[static_cast<std::size_t>(b)].damage;
  });
  order.resize(std::min(order.size(), static_cast<std::size_t>(kRankedTotal)));
  total.heaviest = std::move(order);
  return true;
}

}  // namespace vantor::plot

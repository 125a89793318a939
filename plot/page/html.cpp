#include "plot/page/html.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

#include "plot/page/concentration.h"
#include "plot/page/html_page.h"
#include "plot/run/required_life.h"
#include "plot/text/number_text.h"
#include "plot/text/xml_text.h"

namespace vantor::plot {
namespace {

// The report's own rules around the shared ones: section headings, the
// probability list, the collapsed case tables, and what printing leaves out.
std::string report_style() {
  std::string style(kPageStyle);
  style +=
      "h2{font-size:11pt;margin:10px 0 4px;border-bottom:1px solid "
      "#999}";
  style += kTableStyle;
  style +=
      ".probs{font-size:8pt}.probs td{padding:0 4px}"
      "details{margin:2px 0 6px}summary{cursor:pointer;color:#333}"
      "@media print{details{display:none}h2{break-after:avoid}figure,table{break-inside:avoid}}";
  return style;
}

// The run, its cases and probabilities, and the verdict against R.
std::string summary_table(const accumulated_report& report, std::span<const case_damage> cases,
                          const picture_options& options) {
  const double required = options.required_life();
  std::string life_unit;  // " years"
  if (!options.life_unit.empty()) life_unit = ' ' + xml_text(options.life_unit);
  std::string h = "<table id=\"summary\">\n";
  h += "<tr><th class=\"l\">run</th>" + cell(xml_text(report.summary), "l") + "</tr>\n";
  h += "<tr><th class=\"l\">cases</th>" + cell(std::to_string(report.case_count), "l") + "</tr>\n";
  h += "<tr><th class=\"l\">sections x hot spots</th>" +
       cell(std::to_string(report.section_count) + " x " + std::to_string(report.hot_spot_count),
            "l") +
       "</tr>\n";
  if (!cases.empty()) {
    std::string list;
    if (cases.size() <= 20) {
      for (const case_damage& c : cases) {
        list += (list.empty() ? "" : ", ") + c.file.digits + ": " + format_number(c.probability);
      }
    } else {
      double low = HUGE_VAL, high = -HUGE_VAL, sum = 0.0;
      for (const case_damage& c : cases) {
        low = std::min(low, c.probability);
        high = std::max(high, c.probability);
        sum += c.probability;
      }
      list = std::to_string(cases.size()) + " cases from " + format_number(low) + " to " +
             format_number(high) + ", sum " + format_number(sum) + " (each in the table of shares)";
    }
    h += "<tr><th class=\"l\">case probabilities</th>" + cell(list, "l probs") + "</tr>\n";
  }
  if (required > 0.0) {
    const std::size_t k = sections_below(report, required).size();
    h += "<tr><th class=\"l\">required life R</th>" +
         cell(format_number(options.design_life) + life_unit + " x DFF " +
                  format_number(options.dff) + " = " + format_number(required) + life_unit,
              "l") +
         "</tr>\n";
    h += "<tr><th class=\"l\">verdict</th>" +
         cell(k == 0 ? "all " + std::to_string(report.section_count) + " sections meet R"
                     : std::to_string(k) + " of " + std::to_string(report.section_count) +
                           " sections below R",
              k == 0 ? "l pass" : "l fail") +
         "</tr>\n";
  }
  h += "</table>\n";
  return h;
}

// The ten heaviest, with R / life and the result where R is given.
std::string ranking_table(const accumulated_report& report, double required) {
  std::string h =
      "<h2>The ten heaviest sections</h2>\n<table id=\"ranking\">\n<thead><tr><th>rank</th>"
      "<th>section</th><th>S_Coo</th><th>hot spot</th><th>damage</th><th>fatigue life</th>";
  if (required > 0.0) h += "<th>R / life</th><th>result</th>";
  h += "</tr></thead>\n<tbody>\n";
  int rank = 0;
  for (const int e : report.heaviest) {
    const section_row& s = report.sections[static_cast<std::size_t>(e)];
    const int j = worst_hot_spot(report, e);
    ++rank;
    h += "<tr>" + cell(std::to_string(rank)) + cell(std::to_string(e + 1)) +
         cell(fixed_decimals(s.coordinate, 3)) + cell(j >= 0 ? std::to_string(j + 1) : "") +
         cell(exponent_decimals(s.damage, 4)) + cell(fixed_decimals(s.life, 1));
    if (required > 0.0) {
      const bool pass = !below_required(s, required);
      h += cell(fixed_decimals(required / s.life, 3)) +
           cell(pass ? "pass" : "fail", pass ? "pass" : "fail");
    }
    h += "</tr>\n";
  }
  h += "</tbody>\n</table>\n";
  return h;
}

// Every section below the required life R (R > 0).
std::string below_table(const accumulated_report& report, double required) {
  const std::vector<int> below = sections_below(report, required);
  std::string h = "<h2>Sections below the required life</h2>\n";
  if (below.empty()) {
    h += "<p class=\"pass\">none: every section's fatigue life is at least R.</p>\n";
    return h;
  }
  h += "<table id=\"below\">\n<thead><tr><th>section</th><th>S_Coo</th><th>damage</th>"
       "<th>fatigue life</th><th>R / life</th></tr></thead>\n<tbody>\n";
  for (const int e : below) {
    const section_row& s = report.sections[static_cast<std::size_t>(e)];
    h += "<tr>" + cell(std::to_string(e + 1)) + cell(fixed_decimals(s.coordinate, 3)) +
         cell(exponent_decimals(s.damage, 4)) + cell(fixed_decimals(s.life, 1)) +
         cell(fixed_decimals(required / s.life, 3), "fail") + "</tr>\n";
  }
  h += "</tbody>\n</table>\n";
  return h;
}

// The largest case shares of each of the heaviest, then every case's share
// and probability folded away.
std::string shares_tables(std::span<const contribution_row> rows,
                          std::span<const case_damage> cases) {
  std::string h = "<h2>Load cases contributing to the ten heaviest</h2>\n";
  if (cases.empty()) return h + "<p>no weighted damage files: no case shares.</p>\n";
  h += "<table id=\"shares\">\n<thead><tr><th>rank</th><th>S_Coo</th>";
  for (std::size_t k = 1; k <= kTopCases; ++k) h += "<th>case " + std::to_string(k) + " (%)</th>";
  h += "</tr></thead>\n<tbody>\n";
  for (std::size_t r = 0; r < rows.size(); ++r) {
    std::vector<std::size_t> order(cases.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    const auto& shares = rows[r].shares;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
      if (std::isnan(shares[a]) || std::isnan(shares[b])) {
        return !std::isnan(shares[a]) && std::isnan(shares[b]);
      }
      return shares[a] > shares[b];
    });
    h += "<tr>" + cell(std::to_string(r + 1)) + cell(fixed_decimals(rows[r].coordinate, 3));
    for (std::size_t k = 0; k < kTopCases; ++k) {
      if (k < order.size() && !std::isnan(shares[order[k]])) {
        h += cell(cases[order[k]].file.digits + ": " + fixed_decimals(shares[order[k]], 2));
      } else {
        h += cell("");
      }
    }
    h += "</tr>\n";
  }
  h += "</tbody>\n</table>\n";
  h += "<details id=\"all-shares\"><summary>every case's share and probability</summary>\n"
       "<table>\n<thead><tr><th>case</th><th>probability</th>";
  for (std::size_t r = 1; r <= rows.size(); ++r) h += "<th>" + std::to_string(r) + "</th>";
  h += "</tr></thead>\n<tbody>\n";
  for (std::size_t k = 0; k < cases.size(); ++k) {
    h += "<tr>" + cell(cases[k].file.digits) + cell(exponent_decimals(cases[k].probability, 4));
    for (const contribution_row& row : rows) {
      h += cell(std::isnan(row.shares[k]) ? "" : fixed_decimals(row.shares[k], 2));
    }
    h += "</tr>\n";
  }
  h += "</tbody>\n</table>\n</details>\n";
  return h;
}

}  // namespace

std::string render_html(const accumulated_report& report, std::span<const contribution_row> rows,
                        std::span<const case_damage> cases, std::string_view svg,
                        const picture_options& options) {
  const double required = options.required_life();
  std::string h;
  h.reserve(svg.size() + 64 * 1024);
  h += page_head(xml_text(report.summary), report_style());
  h += "<h1>Fatigue damage summation: " + xml_text(report.run_label) + "</h1>\n";
  h += summary_table(report, cases, options);
  h += "<figure id=\"picture\">\n" + std::string(inline_svg(svg)) + "</figure>\n";
  h += ranking_table(report, required);
  if (required > 0.0) h += below_table(report, required);
  h += shares_tables(rows, cases);
  h += concentration_html(rows, cases.size());
  h += "</body>\n</html>\n";
  return h;
}

}  // namespace vantor::plot

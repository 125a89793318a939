// The picture of a comparison: every run's largest damage and fatigue life
// along the riser on shared axes, each run in its colour, the damage ratio of
// each run to the first where they share their sections, and the table.
#include "plot/picture/compare_svg.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "plot/picture/axes.h"
#include "plot/picture/panels.h"
#include "plot/picture/svg_page.h"
#include "plot/run/compare.h"
#include "plot/text/number_text.h"
#include "plot/text/xml_text.h"

namespace vantor::plot {
namespace svg {
namespace {

static_assert(kRunColours.size() >= kMostCompared);
constexpr std::string_view kRequiredLine = "#000000";
constexpr double kLegendTop = kSubtitleY + 28.0;
constexpr double kRatioHeight = 200.0;
constexpr std::size_t kLongestLabel = 120;  // characters of a label in the legend

// The label cut to kLongestLabel characters (not bytes: UTF-8 stays whole).
std::string legend_label(const std::string& label) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < label.size(); ++i) {
    if ((static_cast<unsigned char>(label[i]) & 0xC0) != 0x80 && ++characters > kLongestLabel) {
      return xml_text(label.substr(0, i)) + "...";
    }
  }
  return xml_text(label);
}

struct compare_layout {
  linear_axis xs;
  panel damage_panel;
  panel life_panel;
  std::vector<std::string> notes;  // why a run has no damage ratio
  std::vector<std::size_t> ratio_runs;
  double notes_top = 0.0;
  bool ratio = false;
  panel ratio_panel;
  double table_top = 0.0;
  double height = 0.0;
};

double ratio_of(const accumulated_report& first, const accumulated_report& run, std::size_t e) {
  const double a = first.sections[e].damage;
  const double b = run.sections[e].damage;
  if (a == 0.0 && b == 0.0) return NAN;
  return b / a;
}

compare_layout lay_out(std::span<const compared_run> runs, double required) {
  compare_layout l;
  double lo = HUGE_VAL;
  double hi = -HUGE_VAL;
  std::vector<double> damage;
  std::vector<double> life;
  for (const compared_run& r : runs) {
    for (const section_row& s : r.report.sections) {
      lo = std::min(lo, s.coordinate);
      hi = std::max(hi, s.coordinate);
      damage.push_back(s.damage);
      life.push_back(s.life);
    }
  }
  if (required > 0.0) {
    damage.push_back(1.0 / required);
    life.push_back(required);
  }
  l.xs = lo <= hi ? axis_over(lo, hi) : axis_over(0.0, 1.0);
  const double legend_rows = static_cast<double>(runs.size()) + (required > 0.0 ? 1 : 0);
  l.damage_panel = make_panel(kLegendTop + legend_rows * kLabelRow + 16.0, damage);
  l.life_panel = make_panel(l.damage_panel.bottom + kPanelGap, life);
  std::vector<double> ratios = {1.0};
  for (std::size_t k = 1; k < runs.size(); ++k) {
    std::string reason;
    if (!shares_sections(runs[0].report, runs[k].report, reason)) {
      l.notes.push_back("no damage ratio of run " + std::to_string(k + 1) + " to run 1: " + reason);
      continue;
    }
    l.ratio_runs.push_back(k);
    for (std::size_t e = 0; e < runs[k].report.sections.size(); ++e) {
      ratios.push_back(ratio_of(runs[0].report, runs[k].report, e));
    }
  }
  l.ratio = !l.ratio_runs.empty();
  l.notes_top = l.life_panel.bottom + 66.0;
  double next = l.notes_top + static_cast<double>(l.notes.size() + (l.ratio ? 1 : 0)) * kLabelRow;
  if (l.ratio) {
    l.ratio_panel = make_panel(next + 4.0, ratios, kRatioHeight);
    next = l.ratio_panel.bottom + 38.0;
  }
  l.table_top = next + 30.0;
  l.height = l.table_top + kTableRow * (static_cast<double>(runs.size()) + 1) + 20.0;
  return l;
}

// One curve of values along the riser; a value that is no number breaks it.
void draw_curve(writer& w, const accumulated_report& report, const linear_axis& xs, const panel& p,
                const std::vector<double>& values, std::size_t run, const std::string& label) {
  std::string d;
  bool open = false;
  for (std::size_t e = 0; e < values.size(); ++e) {
    if (std::isnan(values[e])) {
      open = false;
      continue;
    }
    d += (open ? " L" : (d.empty() ? "M" : " M")) + px(xs.x(report.sections[e].coordinate)) + " " +
         px(p.y(values[e]));
    open = true;
  }
  w.line("<path class=\"curve\" data-run=\"" + std::to_string(run + 1) +
         "\" fill=\"none\" stroke=\"" + std::string(kRunColours[run]) +
         "\" stroke-width=\"1.2\" d=\"" + d + "\"><title>run " + std::to_string(run + 1) + ": " +
         xml_text(label) + "</title></path>");
}

void draw_heading(writer& w, std::span<const compared_run> runs, const picture_options& options) {
  const double required = options.required_life();
  w.line(text_at("title", kWidth / 2, kTitleY, "middle", 17,
                 "Comparison of " + std::to_string(runs.size()) +
                     " runs: largest damage and fatigue life along the riser",
                 " font-weight=\"bold\""));
  std::string subtitle = "damage and life on shared logarithmic axes";
  if (required > 0.0) {
    subtitle.append("; required life R = ").append(format_number(required));
    if (!options.life_unit.empty()) subtitle.append(" ").append(xml_text(options.life_unit));
  }
  w.line(text_at("subtitle", kWidth / 2, kSubtitleY, "middle", 13, subtitle, " fill=\"#222\""));
  w.line("<g class=\"legend\">");
  double y = kLegendTop;
  for (std::size_t k = 0; k < runs.size(); ++k, y += kLabelRow) {
    w.line("<line" + attr("x1", kLeft) + attr("y1", y) + attr("x2", kLeft + 16) + attr("y2", y) +
           " stroke=\"" + std::string(kRunColours[k]) + "\" stroke-width=\"2.5\"/>");
    w.line(text_at("legend-label", kLeft + 22, y + 4, "start", 11,
                   std::to_string(k + 1) + "  " + legend_label(runs[k].label)));
  }
  if (required > 0.0) {
    w.line("<line" + attr("x1", kLeft) + attr("y1", y) + attr("x2", kLeft + 16) + attr("y2", y) +
           " stroke=\"" + std::string(kRequiredLine) +
           "\" stroke-width=\"1.5\" stroke-dasharray=\"7 4\"/>");
    w.line(text_at("legend-label", kLeft + 22, y + 4, "start", 11, "required life R (1/R)"));
  }
  w.line("</g>");
}

// The table: per run its cases and sections, the minimum life with where it
// is, and with R the sections below it and the verdict.
void draw_table(writer& w, std::span<const compared_run> runs, double required, double top) {
  w.line("<g class=\"runs\">");
  constexpr std::array<double, 9> kColumns = {130, 200, 290, 420, 530, 610, 690, 790, 880};
  std::vector<std::string> heads = {"run",   "cases",   "sections", "minimum life",
                                    "S_Coo", "section", "hot spot"};
  if (required > 0.0) heads.insert(heads.end(), {"below R", "verdict"});
  for (std::size_t c = 0; c < heads.size(); ++c) {
    w.line(text_at("table-head", kColumns[c], top, "end", 12, heads[c], " font-weight=\"bold\""));
  }
  for (std::size_t k = 0; k < runs.size(); ++k) {
    const run_summary s = summarise(runs[k].report, required);
    const double y = top + static_cast<double>(k + 1) * kTableRow;
    const bool has_minimum = s.minimum_section >= 0;
    std::vector<std::string> cells = {
        std::to_string(k + 1),
        std::to_string(s.cases),
        std::to_string(s.sections),
        has_minimum ? fixed_decimals(s.minimum_life, 1) : "",
        has_minimum ? fixed_decimals(s.coordinate, 3) : "",
        has_minimum ? std::to_string(s.minimum_section + 1) : "",
        s.minimum_hot_spot >= 0 ? std::to_string(s.minimum_hot_spot + 1) : ""};
    if (required > 0.0)
      cells.insert(cells.end(), {std::to_string(s.below), s.below == 0 ? "pass" : "fail"});
    w.line("<line" + attr("x1", kColumns[0] - 40) + attr("y1", y - 4) +
           attr("x2", kColumns[0] - 24) + attr("y2", y - 4) + " stroke=\"" +
           std::string(kRunColours[k]) + "\" stroke-width=\"2.5\"/>");
    for (std::size_t c = 0; c < cells.size(); ++c) {
      w.line(text_at("table-cell", kColumns[c], y, "end", 12, cells[c]));
    }
  }
  w.line("</g>");
}

}  // namespace
}  // namespace svg

std::string render_compare_svg(std::span<const compared_run> runs, const picture_options& options) {
  using namespace svg;
  const double required = options.required_life();
  const compare_layout l = lay_out(runs, required);
  const std::string x_label = with_unit("S_Coo", options.length_unit);
  writer w;
  std::string title = "Comparison of ";
  title.append(std::to_string(runs.size())).append(" runs");
  open_document(w, l.height, title);
  draw_heading(w, runs, options);
  for (const bool life : {false, true}) {
    const panel& p = life ? l.life_panel : l.damage_panel;
    w.line(life ? "<g class=\"panel life\">" : "<g class=\"panel damage\">");
    draw_frame(w, l.xs, p,
               life ? (options.life_unit.empty() ? std::string("fatigue life = 1 / damage")
                                                 : with_unit("fatigue life", options.life_unit))
                    : std::string("damage"));
    for (std::size_t k = 0; k < runs.size(); ++k) {
      std::vector<double> values;
      for (const section_row& s : runs[k].report.sections)
        values.push_back(life ? s.life : s.damage);
      draw_curve(w, runs[k].report, l.xs, p, values, k, runs[k].label);
    }
    if (required > 0.0) {
      draw_level(w, p, life ? required : 1.0 / required, kRequiredLine, "7 4", "required");
    }
    w.line("</g>");
  }
  w.line(
      text_at("axis-label", (kLeft + kRight) / 2, l.life_panel.bottom + 38, "middle", 13, x_label));
  double y = l.notes_top;
  if (l.ratio) {
    w.line(text_at("ratio-title", kLeft, y, "start", 13,
                   "damage of each run divided by run 1's, section by section",
                   " font-weight=\"bold\""));
    y += kLabelRow;
  }
  for (const std::string& note : l.notes) {
    w.line(text_at("note", kLeft, y, "start", 12, note, " fill=\"#222\""));
    y += kLabelRow;
  }
  if (l.ratio) {
    w.line("<g class=\"panel ratio\">");
    draw_frame(w, l.xs, l.ratio_panel, "damage / run 1");
    draw_level(w, l.ratio_panel, 1.0, "#555555", "2 2", "unity");
    for (const std::size_t k : l.ratio_runs) {
      std::vector<double> values;
      for (std::size_t e = 0; e < runs[k].report.sections.size(); ++e) {
        values.push_back(ratio_of(runs[0].report, runs[k].report, e));
      }
      draw_curve(w, runs[k].report, l.xs, l.ratio_panel, values, k, runs[k].label);
    }
    w.line("</g>");
    w.line(text_at("axis-label", (kLeft + kRight) / 2, l.ratio_panel.bottom + 38, "middle", 13,
                   x_label));
  }
  draw_table(w, runs, required, l.table_top);
  w.line("</svg>");
  return std::move(w.text());
}

}  // namespace vantor::plot

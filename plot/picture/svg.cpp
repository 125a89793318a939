#include "plot/picture/svg.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include "plot/picture/axes.h"
#include "plot/picture/heat_map.h"
#include "plot/picture/panels.h"
#include "plot/picture/rank_labels.h"
#include "plot/picture/section_tips.h"
#include "plot/picture/svg_page.h"
#include "plot/run/required_life.h"
#include "plot/text/number_text.h"
#include "plot/text/xml_text.h"

namespace vantor::plot {
namespace svg {
namespace {

// The ten heaviest get a magnified inset when they lie within this share of
// the riser's length.
constexpr double kNarrowZone = 0.08;

// Where the parts of the picture go, settled before anything is written.
struct picture_layout {
  linear_axis xs;      // S_Coo of every section
  bool inset = false;  // the ten heaviest magnified in an inset
  linear_axis zs;      // S_Coo of the inset's zone
  std::vector<label_place> labels;
  int label_rows = 0;
  std::vector<int> order;  // every section, from 0
  std::vector<int> zone;   // the sections in the inset's zone
  double damage_top = 0.0;
  panel damage_panel;
  panel life_panel;
  double heat_top = 0.0;
  panel inset_panel;
  double table_top = 0.0;
  double height = 0.0;  // of the whole page
};

// The axes of the ten in a narrow zone: an inset when they are close together
// on a long riser.
void lay_out_zone(const accumulated_report& report, picture_layout& l) {
  double zone_lo = HUGE_VAL;
  double zone_hi = -HUGE_VAL;
  for (const int e : report.heaviest) {
    zone_lo = std::min(zone_lo, report.sections[static_cast<std::size_t>(e)].coordinate);
    zone_hi = std::max(zone_hi, report.sections[static_cast<std::size_t>(e)].coordinate);
  }
  const linear_axis& xs = l.xs;
  l.inset = report.heaviest.size() > 1 && report.sections.size() > 3 * report.heaviest.size() &&
            zone_hi - zone_lo < kNarrowZone * (xs.high - xs.low);
  if (l.inset) {
    const double pad = std::max((zone_hi - zone_lo) * 0.15, (xs.high - xs.low) * 0.002);
    l.zs = axis_over(zone_lo - pad, zone_hi + pad);
  }
}

picture_layout lay_out(const accumulated_report& report, double required) {
  picture_layout l;
  l.xs = coordinate_axis(report);
  lay_out_zone(report, l);
  // The ranks are labelled on the inset where there is one.
  l.labels = place_labels(report, l.inset ? l.zs : l.xs);
  for (const label_place& lp : l.labels) l.label_rows = std::max(l.label_rows, lp.row + 1);

  l.order.resize(report.sections.size());
  for (std::size_t e = 0; e < l.order.size(); ++e) l.order[e] = static_cast<int>(e);
  std::vector<double> damage;
  std::vector<double> life;
  for (const section_row& s : report.sections) {
    damage.push_back(s.damage);
    life.push_back(s.life);
  }
  if (required > 0.0) {
    damage.push_back(1.0 / required);
    life.push_back(required);
  }
  l.damage_top = l.inset ? kStripTop + 10.0 : kStripTop + l.label_rows * kLabelRow + 10.0;
  l.damage_panel = make_panel(l.damage_top, damage);
  l.life_panel = make_panel(l.damage_panel.bottom + kPanelGap, life);
  l.heat_top = l.life_panel.bottom + kPanelGap + 10.0;
  double next_top = l.heat_top + kHeatHeight + 60.0;
  if (l.inset) {
    std::vector<double> zone_damage;
    for (const int e : l.order) {
      const double c = report.sections[static_cast<std::size_t>(e)].coordinate;
      if (c >= l.zs.low && c <= l.zs.high) {
        l.zone.push_back(e);
        zone_damage.push_back(report.sections[static_cast<std::size_t>(e)].damage);
      }
    }
    if (required > 0.0) zone_damage.push_back(1.0 / required);
    l.inset_panel =
        make_panel(next_top + 24.0 + l.label_rows * kLabelRow + 10.0, zone_damage, kInsetHeight);
    next_top = l.inset_panel.bottom + 50.0;
  }
  l.table_top = next_top + 10.0;
  l.height = l.table_top + kTableRow * (static_cast<double>(report.heaviest.size()) + 1) + 20.0;
  return l;
}

// The summary line, the counts with the verdict against the required life,
// and the minimum fatigue life with where it is.
void draw_heading(writer& w, const accumulated_report& report, const picture_options& options) {
  const double required = options.required_life();
  // The summary line, with its runs of blanks closed up.
  std::string title;
  for (const char c : report.summary) {
    if (c != ' ' || (!title.empty() && title.back() != ' ')) title.push_back(c);
  }
  w.line(text_at("title", kWidth / 2, kTitleY, "middle", 17, xml_text(title),
                 " font-weight=\"bold\""));
  const std::string n = std::to_string(report.section_count);
  std::string life_unit;  // " years"
  if (!options.life_unit.empty()) life_unit = ' ' + xml_text(options.life_unit);
  std::string verdict =
      n + " sections, " + std::to_string(report.hot_spot_count) + " hot spots each";
  if (required > 0.0) {
    const std::size_t k = sections_below(report, required).size();
    const std::string r = "R = " + format_number(required) + life_unit;
    verdict +=
        k == 0 ? "; all " + n + " sections meet the required life " + r
               : "; " + std::to_string(k) + " of " + n + " sections below the required life " + r;
  }
  w.line(text_at("subtitle", kWidth / 2, kSubtitleY, "middle", 13, verdict, " fill=\"#222\""));
  if (!report.heaviest.empty()) {
    const int e = report.heaviest.front();
    const section_row& s = report.sections[static_cast<std::size_t>(e)];
    const int j = worst_hot_spot(report, e);
    w.line(text_at("minimum", kWidth / 2, kSubtitleY + 19, "middle", 13,
                   "minimum fatigue life " + format_number(s.life) + life_unit + " at S_Coo " +
                       fixed_decimals(s.coordinate, 3) +
                       xml_text(options.length_unit.empty() ? "" : " " + options.length_unit) +
                       " (section " + std::to_string(e + 1) +
                       (j >= 0 ? ", hot spot " + std::to_string(j + 1) : std::string()) + ")",
                   " font-weight=\"bold\" fill=\"" + std::string(kHeavyColour) + "\""));
  }
}

// The legend: every mark and line of the panels.
void draw_legend(writer& w, double required, bool inset) {
  const double y = kSubtitleY + 42;
  double x = kLeft;
  w.line("<g class=\"legend\">");
  const auto entry = [&](std::string_view symbol, std::string_view label, double width) {
    w.line(std::string(symbol));
    w.line(text_at("legend-label", x + 22, y + 4, "start", 11, label));
    x += width;
  };
  const auto line_symbol = [&](std::string_view colour, std::string_view dash) {
    return "<line" + attr("x1", x) + attr("y1", y) + attr("x2", x + 16) + attr("y2", y) +
           " stroke=\"" + std::string(colour) + "\" stroke-width=\"1.5\"" + std::string(dash) +
           "/>";
  };
  entry(line_symbol(kDamageColour, ""), "largest damage per section", 200);
  entry(line_symbol(kLifeColour, ""), "fatigue life", 110);
  entry("<circle" + attr("cx", x + 8) + attr("cy", y) + " r=\"5\" fill=\"none\" stroke=\"" +
            std::string(kHeavyColour) + "\" stroke-width=\"1.5\"/>",
        "ten heaviest, by rank", 170);
  if (required > 0.0) {
    entry(line_symbol(kRequiredColour, " stroke-dasharray=\"7 4\""), "required life R (1/R)", 170);
    entry("<circle" + attr("cx", x + 8) + attr("cy", y) + " r=\"3\" fill=\"" +
              std::string(kWarnColour) + "\"/>",
          "below R", 90);
  }
  if (inset) {
    entry("<rect" + attr("x", x) + attr("y", y - 6) + attr("width", 16) + attr("height", 12) +
              " fill=\"" + std::string(kHeavyColour) + "\" opacity=\"0.12\"/>",
          "zone magnified below", 150);
  }
  w.line("</g>");
}

// The damage panel (with the zone of the inset marked) and the life panel
// below it, along the whole riser.
void draw_damage_and_life(writer& w, const accumulated_report& report, const picture_layout& l,
                          double required, const std::string& life_label,
                          const std::string& x_label) {
  const bool all_marks = report.sections.size() <= 400;
  const panel_style damage_style{"damage", kDamageColour, false, required, all_marks};
  const panel_style life_style{"life", kLifeColour, true, required, all_marks};
  const linear_axis& xs = l.xs;
  w.line("<g class=\"panel damage\">");
  draw_frame(w, xs, l.damage_panel, "damage");
  if (l.inset) {
    w.line("<rect class=\"zone\"" + attr("x", xs.x(l.zs.low)) + attr("y", l.damage_panel.top) +
           attr("width", std::max(2.0, xs.x(l.zs.high) - xs.x(l.zs.low))) +
           attr("height", l.damage_panel.bottom - l.damage_panel.top) + " fill=\"" +
           std::string(kHeavyColour) + "\" opacity=\"0.12\"/>");
  }
  draw_values(w, report, xs, l.damage_panel, damage_style, l.order);
  w.line("</g>");
  if (!l.inset) draw_rank_labels(w, report, l.labels, l.damage_top, l.damage_panel);
  w.line("<g class=\"panel life\">");
  draw_frame(w, xs, l.life_panel, life_label);
  draw_values(w, report, xs, l.life_panel, life_style, l.order);
  w.line("</g>");
  w.line(
      text_at("axis-label", (kLeft + kRight) / 2, l.life_panel.bottom + 38, "middle", 13, x_label));
}

// The damage of the zone of the ten heaviest, magnified, with their ranks.
void draw_inset(writer& w, const accumulated_report& report, const picture_layout& l,
                double required, const std::string& x_label) {
  const linear_axis& zs = l.zs;
  w.line(text_at("inset-title", kLeft, l.inset_panel.top - 14 - l.label_rows * kLabelRow - 10,
                 "start", 13,
                 "the ten heaviest magnified: damage from S_Coo " + fixed_decimals(zs.low, 1) +
                     " to " + fixed_decimals(zs.high, 1),
                 " font-weight=\"bold\""));
  w.line("<g class=\"panel inset\">");
  draw_frame(w, zs, l.inset_panel, "damage");
  draw_values(w, report, zs, l.inset_panel, {"inset", kDamageColour, false, required, true},
              l.zone);
  w.line("</g>");
  draw_rank_labels(w, report, l.labels, l.inset_panel.top, l.inset_panel);
  w.line(text_at("axis-label", (kLeft + kRight) / 2, l.inset_panel.bottom + 38, "middle", 13,
                 x_label));
}

// The table of the heaviest: rank, S_Coo, section, worst hot spot, damage,
// life, and R / life where a required life is given.
void draw_ranking(writer& w, const accumulated_report& report, double required, double table_top) {
  w.line("<g class=\"ranking\">");
  constexpr std::array<double, 7> kColumns = {140, 260, 340, 420, 540, 700, 840};
  std::vector<std::string> heads = {"rank",     "S_Coo",  "section",
                                    "hot spot", "damage", "fatigue life"};
  if (required > 0.0) heads.push_back("R / life");
  for (std::size_t c = 0; c < heads.size(); ++c) {
    w.line(text_at("table-head", kColumns[c], table_top, "end", 12, heads[c],
                   " font-weight=\"bold\""));
  }
  int rank = 0;
  for (const int e : report.heaviest) {
    const section_row& s = report.sections[static_cast<std::size_t>(e)];
    ++rank;
    const int j = worst_hot_spot(report, e);
    const double y = table_top + rank * kTableRow;
    std::vector<std::string> cells = {
        std::to_string(rank),           fixed_decimals(s.coordinate, 3),
        std::to_string(e + 1),          j >= 0 ? std::to_string(j + 1) : "",
        exponent_decimals(s.damage, 4), fixed_decimals(s.life, 1)};
    if (required > 0.0) cells.push_back(fixed_decimals(required / s.life, 3));
    const bool below = below_required(s, required);
    for (std::size_t c = 0; c < cells.size(); ++c) {
      w.line(text_at("table-cell", kColumns[c], y, "end", 12, cells[c],
                     below ? " fill=\"" + std::string(kWarnColour) + "\"" : std::string()));
    }
  }
  w.line("</g>");
}

}  // namespace
}  // namespace svg

std::string render_svg(const accumulated_report& report, const picture_options& options) {
  using namespace svg;
  const double required = options.required_life();
  const std::string x_label = with_unit("S_Coo", options.length_unit);
  const std::string life_label = options.life_unit.empty()
                                     ? std::string("fatigue life = 1 / damage")
                                     : with_unit("fatigue life", options.life_unit);
  const picture_layout l = lay_out(report, required);

  writer w;
  open_document(w, l.height, xml_text(report.summary));
  draw_heading(w, report, options);
  draw_legend(w, required, l.inset);
  draw_damage_and_life(w, report, l, required, life_label, x_label);
  draw_heat_map(w, report, l.xs, l.heat_top, x_label);
  const tip_band bands[] = {{l.damage_panel.top, l.damage_panel.bottom},
                            {l.life_panel.top, l.life_panel.bottom},
                            {l.heat_top, l.heat_top + kHeatHeight}};
  draw_section_tips(w, report, l.xs, bands, options);
  if (l.inset) draw_inset(w, report, l, required, x_label);
  draw_ranking(w, report, required, l.table_top);
  w.line("</svg>");
  return std::move(w.text());
}

}  // namespace vantor::plot

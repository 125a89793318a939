// The picture of the total: the panels of one run for the total, the sources'
// curves beside it, and a linear panel of the sources' shares.
#include "plot/picture/total_svg.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "plot/picture/axes.h"
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

constexpr std::string_view kTotalColour = "#111111";
constexpr double kLegendTop = kSubtitleY + 24.0;
constexpr double kShareHeight = 200.0;

struct total_layout {
  linear_axis xs;
  std::vector<label_place> labels;
  std::vector<int> order;  // every section, from 0
  double damage_top = 0.0;
  panel damage_panel;
  panel life_panel;
  double share_top = 0.0;
  double height = 0.0;
};

// A source's own value at a section: its largest damage times its factor, or
// the life of that.
double source_value(const total_source& s, std::size_t e, bool life) {
  const double damage = s.factor * s.report.sections[e].damage;
  if (!life) return damage;
  return damage > 0.0 ? 1.0 / damage : HUGE_VAL;
}

// A source's share (percent) of the total at the total's worst hot spot; no
// number where the total is 0.
double share_of(const accumulated_report& total, const total_source& s, int e) {
  const double damage = total.sections[static_cast<std::size_t>(e)].damage;
  const int j = worst_hot_spot(total, e);
  if (!(damage > 0.0) || j < 0) return NAN;
  return 100.0 * s.damage(e, j) / damage;
}

total_layout lay_out(const accumulated_report& total, std::span<const total_source> sources,
                     double required) {
  total_layout l;
  l.xs = coordinate_axis(total);
  l.labels = place_labels(total, l.xs);
  int label_rows = 0;
  for (const label_place& lp : l.labels) label_rows = std::max(label_rows, lp.row + 1);
  std::vector<double> damage;
  std::vector<double> life;
  for (std::size_t e = 0; e < total.sections.size(); ++e) {
    l.order.push_back(static_cast<int>(e));
    damage.push_back(total.sections[e].damage);
    life.push_back(total.sections[e].life);
    for (const total_source& s : sources) {
      damage.push_back(source_value(s, e, false));
      life.push_back(source_value(s, e, true));
    }
  }
  if (required > 0.0) {
    damage.push_back(1.0 / required);
    life.push_back(required);
  }
  const double legend_rows = static_cast<double>(sources.size() + 1) + (required > 0.0 ? 1 : 0);
  l.damage_top = kLegendTop + legend_rows * kLabelRow + 14.0 + label_rows * kLabelRow;
  l.damage_panel = make_panel(l.damage_top, damage);
  l.life_panel = make_panel(l.damage_panel.bottom + kPanelGap, life);
  l.share_top = l.life_panel.bottom + kPanelGap + 40.0;
  l.height = l.share_top + kShareHeight + 60.0;
  return l;
}

void draw_heading(writer& w, const accumulated_report& total, std::span<const total_source> sources,
                  const picture_options& options) {
  const double required = options.required_life();
  w.line(text_at(
      "title", kWidth / 2, kTitleY, "middle", 17,
      "Total fatigue damage of " + std::to_string(sources.size()) + " sources along the riser",
      " font-weight=\"bold\""));
  std::string subtitle = "added hot spot by hot spot";
  if (required > 0.0) {
    std::size_t below = 0;
    for (const section_row& s : total.sections) below += below_required(s, required);
    subtitle.append("; required life R = ").append(format_number(required));
    if (!options.life_unit.empty()) subtitle.append(" ").append(xml_text(options.life_unit));
    subtitle.append(": ").append(below == 0 ? std::string("every section passes")
                                            : std::to_string(below) + " sections below R");
  }
  w.line(text_at("subtitle", kWidth / 2, kSubtitleY, "middle", 13, subtitle, " fill=\"#222\""));
  w.line("<g class=\"legend\">");
  double y = kLegendTop;
  const auto entry = [&](std::string_view colour, std::string_view width, std::string_view dash,
                         const std::string& label) {
    w.line("<line" + attr("x1", kLeft) + attr("y1", y) + attr("x2", kLeft + 16) + attr("y2", y) +
           " stroke=\"" + std::string(colour) + "\" stroke-width=\"" + std::string(width) + "\"" +
           (dash.empty() ? "" : " stroke-dasharray=\"" + std::string(dash) + "\"") + "/>");
    w.line(text_at("legend-label", kLeft + 22, y + 4, "start", 11, label));
    y += kLabelRow;
  };
  entry(kTotalColour, "3", "", "total");
  for (std::size_t k = 0; k < sources.size(); ++k) {
    const total_source& s = sources[k];
    entry(kRunColours[k], "2", "",
          xml_text(s.label) + (s.factor == 1.0 ? "" : " x " + format_number(s.factor)));
  }
  if (required > 0.0) entry(kRequiredColour, "1.5", "7 4", "required life R (1/R)");
  w.line("</g>");
}

// A curve of values along the riser in the colour of a source; a value that
// is no number breaks it.
void draw_source_curve(writer& w, const accumulated_report& total, const linear_axis& xs,
                       const std::vector<double>& values, std::size_t k, const std::string& label,
                       const auto& y_of) {
  std::string d;
  bool open = false;
  for (std::size_t e = 0; e < values.size(); ++e) {
    if (std::isnan(values[e])) {
      open = false;
      continue;
    }
    d += (open ? " L" : (d.empty() ? "M" : " M")) + px(xs.x(total.sections[e].coordinate)) + " " +
         px(y_of(values[e]));
    open = true;
  }
  w.line("<path class=\"source\" data-source=\"" + std::to_string(k + 1) +
         "\" fill=\"none\" stroke=\"" + std::string(kRunColours[k]) +
         "\" stroke-width=\"1.2\" d=\"" + d + "\"><title>" + xml_text(label) + "</title></path>");
}

// The shares of the sources (percent of the total at its worst hot spot),
// on a linear axis from 0 to 100.
void draw_shares(writer& w, const accumulated_report& total, std::span<const total_source> sources,
                 const total_layout& l, const std::string& x_label) {
  const double top = l.share_top;
  const double bottom = top + kShareHeight;
  const auto y_of = [&](double v) { return bottom - v / 100.0 * kShareHeight; };
  w.line(text_at("share-title", kLeft, top - 14, "start", 13,
                 "each source's share of the total at its worst hot spot",
                 " font-weight=\"bold\""));
  w.line("<g class=\"panel share\">");
  w.line("<rect" + attr("x", kLeft) + attr("y", top) + attr("width", kRight - kLeft) +
         attr("height", kShareHeight) + " fill=\"#fbfbfb\" stroke=\"#888\" stroke-width=\"1\"/>");
  for (int v = 0; v <= 100; v += 25) {
    const double y = y_of(v);
    w.line("<line" + attr("x1", kLeft) + attr("y1", y) + attr("x2", kRight) + attr("y2", y) +
           " stroke=\"#d8d8d8\" stroke-width=\"1\"/>");
    w.line(text_at("tick-label", kLeft - 6, y + 4, "end", 11, std::to_string(v) + " %"));
  }
  for (const double t : ticks(l.xs)) {
    w.line(text_at("tick-label", l.xs.x(t), bottom + 16, "middle", 11,
                   fixed_decimals(t, l.xs.decimals)));
  }
  for (std::size_t k = 0; k < sources.size(); ++k) {
    std::vector<double> values;
    for (std::size_t e = 0; e < total.sections.size(); ++e) {
      values.push_back(share_of(total, sources[k], static_cast<int>(e)));
    }
    draw_source_curve(w, total, l.xs, values, k, sources[k].label, y_of);
  }
  w.line("</g>");
  w.line(text_at("axis-label", (kLeft + kRight) / 2, bottom + 38, "middle", 13, x_label));
}

}  // namespace
}  // namespace svg

std::string render_total_svg(const accumulated_report& total, std::span<const total_source> sources,
                             const picture_options& options) {
  using namespace svg;
  const double required = options.required_life();
  const total_layout l = lay_out(total, sources, required);
  const std::string x_label = with_unit("S_Coo", options.length_unit);
  writer w;
  open_document(w, l.height, xml_text(total.summary));
  draw_heading(w, total, sources, options);
  const bool all_marks = total.sections.size() <= 400;
  for (const bool life : {false, true}) {
    const panel& p = life ? l.life_panel : l.damage_panel;
    w.line(life ? "<g class=\"panel life\">" : "<g class=\"panel damage\">");
    draw_frame(w, l.xs, p,
               life ? (options.life_unit.empty() ? std::string("fatigue life = 1 / damage")
                                                 : with_unit("fatigue life", options.life_unit))
                    : std::string("damage"));
    for (std::size_t k = 0; k < sources.size(); ++k) {
      std::vector<double> values;
      for (std::size_t e = 0; e < total.sections.size(); ++e) {
        values.push_back(source_value(sources[k], e, life));
      }
      draw_source_curve(w, total, l.xs, values, k, sources[k].label,
                        [&p](double v) { return p.y(v); });
    }
    draw_values(w, total, l.xs, p,
                {life ? "life" : "damage", kTotalColour, life, required, all_marks, "2.5"},
                l.order);
    w.line("</g>");
    if (!life) draw_rank_labels(w, total, l.labels, l.damage_top, l.damage_panel);
  }
  w.line(
      text_at("axis-label", (kLeft + kRight) / 2, l.life_panel.bottom + 38, "middle", 13, x_label));
  draw_shares(w, total, sources, l, x_label);
  const tip_band bands[] = {{l.damage_panel.top, l.damage_panel.bottom},
                            {l.life_panel.top, l.life_panel.bottom},
                            {l.share_top, l.share_top + kShareHeight}};
  draw_section_tips(w, total, l.xs, bands, options);
  w.line("</svg>");
  return std::move(w.text());
}

}  // namespace vantor::plot

#include "plot/picture/panels.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "plot/run/required_life.h"
#include "plot/text/number_text.h"

namespace vantor::plot::svg {

void draw_frame(writer& w, const linear_axis& xs, const panel& p, std::string_view axis_label) {
  w.line("<rect class=\"frame\"" + attr("x", kLeft) + attr("y", p.top) +
         attr("width", kRight - kLeft) + attr("height", p.bottom - p.top) +
         " fill=\"#fbfbfb\" stroke=\"#888\" stroke-width=\"1\"/>");
  for (int d = p.decades.low; d <= p.decades.high; d += p.decades.step) {
    const double y = p.decade_y(d);
    w.line("<line class=\"ytick\" data-decade=\"" + std::to_string(d) + "\"" +
           attr("x1", kLeft - 5) + attr("y1", y) + attr("x2", kRight) + attr("y2", y) +
           " stroke=\"#d8d8d8\" stroke-width=\"1\"/>");
    w.line(text_at("ytick-label", kLeft - 8, y + 4, "end", 12, decade_label(d)));
  }
  if (p.decades.step == 1) {
    for (int d = p.decades.low; d < p.decades.high; ++d) {
      for (int m = 2; m <= 9; ++m) {
        const double y = p.decade_y(d + std::log10(static_cast<double>(m)));
        w.line("<line class=\"minor-tick\"" + attr("x1", kLeft - 3) + attr("y1", y) +
               attr("x2", kLeft) + attr("y2", y) + " stroke=\"#888\" stroke-width=\"1\"/>");
      }
    }
  }
  const auto band = [&](double y, std::string_view label) {
    w.line("<line class=\"band\"" + attr("x1", kLeft) + attr("y1", y) + attr("x2", kRight) +
           attr("y2", y) + " stroke=\"#bbb\" stroke-dasharray=\"4 3\"/>");
    w.line(text_at("band-label", kLeft - 8, y + 4, "end", 12, label));
  };
  if (p.infinite_band) band(p.top + kBand / 2.0, "Infinity");
  if (p.zero_band) band(p.bottom - kBand / 2.0, "0");
  for (const double t : ticks(xs)) {
    const double x = xs.x(t);
    w.line("<line class=\"xtick\"" + attr("x1", x) + attr("y1", p.bottom) + attr("x2", x) +
           attr("y2", p.bottom + 5) + " stroke=\"#888\" stroke-width=\"1\"/>");
    w.line(text_at("xtick-label", x, p.bottom + 18, "middle", 12, fixed_decimals(t, xs.decimals)));
  }
  const double middle = (p.top + p.bottom) / 2.0;
  w.line(text_at("axis-label", 28, middle, "middle", 13, axis_label,
                 " transform=\"rotate(-90 " + px(28) + " " + px(middle) + ")\""));
}

void draw_level(writer& w, const panel& p, double level, std::string_view colour,
                std::string_view dash, std::string_view cls) {
  const double y = p.y(level);
  w.line("<line class=\"" + std::string(cls) + "\"" + attr("x1", kLeft) + attr("y1", y) +
         attr("x2", kRight) + attr("y2", y) + " stroke=\"" + std::string(colour) +
         "\" stroke-width=\"1.5\" stroke-dasharray=\"" + std::string(dash) + "\"/>");
}

void draw_values(writer& w, const accumulated_report& report, const linear_axis& xs, const panel& p,
                 const panel_style& style, std::span<const int> order) {
  const auto value_of = [&](const section_row& s) { return style.life ? s.life : s.damage; };
  if (!order.empty()) {
    std::string path = "<path class=\"curve\" fill=\"none\" stroke=\"" + std::string(style.colour) +
                       "\" stroke-width=\"" + std::string(style.stroke_width) + "\" d=\"";
    bool first = true;
    for (const int e : order) {
      const section_row& s = report.sections[static_cast<std::size_t>(e)];
      path += (first ? "M" : " L") + px(xs.x(s.coordinate)) + " " + px(p.y(value_of(s)));
      first = false;
    }
    w.line(path + "\"/>");
  }
  const double radius = std::clamp(
      (kRight - kLeft) / static_cast<double>(std::max<std::size_t>(order.size(), 1)) / 2.5, 1.0,
      2.6);
  for (const int e : order) {
    const section_row& s = report.sections[static_cast<std::size_t>(e)];
    const bool below = below_required(s, style.required);
    if (!style.all_marks && !below) continue;
    const double v = value_of(s);
    const bool off_axis = !(v > 0.0) || v == HUGE_VAL;
    const std::string colour(below ? kWarnColour : style.colour);
    w.line("<circle class=\"mark" + std::string(below ? " below" : "") + "\" data-section=\"" +
           std::to_string(e + 1) + "\"" + attr("cx", xs.x(s.coordinate)) + attr("cy", p.y(v)) +
           attr("r", below ? std::max(radius, 1.8) : radius) + " fill=\"" +
           (off_axis ? std::string("white") : colour) + "\" stroke=\"" + colour +
           "\" stroke-width=\"1\"/>");
  }
  if (style.required > 0.0) {
    const double level = style.life ? style.required : 1.0 / style.required;
    draw_level(w, p, level, kRequiredColour, "7 4", "required");
  }
  int rank = 0;
  for (const int e : report.heaviest) {
    const section_row& s = report.sections[static_cast<std::size_t>(e)];
    ++rank;
    if (s.coordinate < xs.low || s.coordinate > xs.high) continue;
    w.line("<circle class=\"heavy\" data-rank=\"" + std::to_string(rank) + "\"" +
           attr("cx", xs.x(s.coordinate)) + attr("cy", p.y(value_of(s))) +
           " r=\"5\" fill=\"none\" stroke=\"" + std::string(kHeavyColour) +
           "\" stroke-width=\"1.5\"><title>" + std::to_string(rank) + ": S_Coo " +
           fixed_decimals(s.coordinate, 3) + ", damage " + exponent_decimals(s.damage, 4) +
           ", fatigue life " + fixed_decimals(s.life, 1) + "</title></circle>");
  }
}

}  // namespace vantor::plot::svg

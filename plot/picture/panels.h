// The damage and life panels of the riser picture: the frame with its axes,
// and the values of the sections as a curve with marks.
#pragma once

#include <span>
#include <string_view>

#include "plot/picture/axes.h"
#include "plot/picture/svg_page.h"
#include "plot/run/report.h"

namespace vantor::plot::svg {

// The common look of a panel: frame, decade ticks and grid, bands, S_Coo ticks.
void draw_frame(writer& w, const linear_axis& xs, const panel& p, std::string_view axis_label);

// A dashed line across the panel at a level of its values (the required life,
// a ratio of one).
void draw_level(writer& w, const panel& p, double level, std::string_view colour,
                std::string_view dash, std::string_view cls);

// What a panel shows, and how.
struct panel_style {
  std::string_view name;
  std::string_view colour;
  bool life = false;
  double required = 0.0;                  // the required life R; 0 for none
  bool all_marks = true;                  // a mark per section, or only those below R
  std::string_view stroke_width = "1.2";  // of the curve
};

// The curve and marks of the sections of the order (from 0, along the riser),
// the line of the required life, and the ring of each heaviest one.
void draw_values(writer& w, const accumulated_report& report, const linear_axis& xs, const panel& p,
                 const panel_style& style, std::span<const int> order);

}  // namespace vantor::plot::svg

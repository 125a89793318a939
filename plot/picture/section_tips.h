// Values under the pointer, without scripts: over the damage panel, the life
// panel and the heat map, each section has an invisible strip (from half way
// to its neighbour on the left to half way to its neighbour on the right)
// carrying an SVG <title> with its section number, S_Coo, largest damage,
// fatigue life and worst hot spot, which viewers show as a tooltip. One
// element per section covers all the panels, so that a 3000-section picture
// stays small.
#pragma once

#include <span>
#include <string>

#include "plot/picture/axes.h"
#include "plot/picture/svg_page.h"
#include "plot/run/picture_options.h"
#include "plot/run/report.h"

namespace vantor::plot::svg {

// The tooltip of a section (from 0); rank 1 to 10 for the heaviest, 0 else.
std::string section_tip(const accumulated_report& report, int section, int rank,
                        const picture_options& options);

// A band of the picture, from top to bottom, that the strips cover.
struct tip_band {
  double top = 0.0;
  double bottom = 0.0;
};

// The strips of every section over the bands, in one group.
void draw_section_tips(writer& w, const accumulated_report& report, const linear_axis& xs,
                       std::span<const tip_band> bands, const picture_options& options);

}  // namespace vantor::plot::svg

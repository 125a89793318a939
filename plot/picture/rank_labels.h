// The rank labels of the heaviest sections: placed in rows above a panel so
// that none covers another or another's leader line, then drawn with leader
// lines down to the rings of the panel.
#pragma once

#include <string>
#include <vector>

#include "plot/picture/axes.h"
#include "plot/picture/svg_page.h"
#include "plot/run/report.h"

namespace vantor::plot::svg {

// Where the label of one of the heaviest sections goes: its row above the
// panel (row 0 nearest to it), its centre and the x of its mark.
struct label_place {
  int row = 0;
  double centre = 0.0;
  double mark_x = 0.0;
  std::string text;
};

// The places of the labels (the ranks, 1 for the heaviest) on the axis: rows
// above the damage panel, row 0 nearest to it, so that no label covers
// another or the leader line of another.
std::vector<label_place> place_labels(const accumulated_report& report, const linear_axis& xs);

// Rank labels in rows above the panel whose top is panel_top, with leader
// lines down to the rings of the panel p.
void draw_rank_labels(writer& w, const accumulated_report& report,
                      const std::vector<label_place>& labels, double panel_top, const panel& p);

}  // namespace vantor::plot::svg

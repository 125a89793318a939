// The record layouts of the run's output files, over the texts, widths and
// limits of formats/file_formats.h: each width a layout writes is checked
// against the width vantor-plot reads back.
#pragma once

#include <cstddef>

#include "formats/file_formats.h"
#include "textio/records/writer.h"

namespace vantor::driver {

// The width of a layout's item (counted from 0, edit descriptors included).
constexpr std::size_t width_of(const textio::layout& l, std::size_t item) {
  return static_cast<std::size_t>(l.items[item].w);
}

// Matrix rows: S_Coo in F13.3, then one 1PE12.4 damage per hot spot.
inline constexpr auto kRowLayout = textio::layout_of("(F13.3,1P,99E12.4)");
static_assert(width_of(kRowLayout, 0) == file_formats::kCoordinateWidth &&
              width_of(kRowLayout, 2) == file_formats::kDamageWidth);

// Weighted damage file header:
//   "#    Case no " I5.3 " for Project: " PREFIX "." DATE LF
//   "#    Probability for this case: " E12.4
inline constexpr auto kCaseHeader = textio::layout_of("(A,I5.3,A,A,A,A,A,A,1P,E12.4)");
static_assert(width_of(kCaseHeader, 1) == file_formats::kCaseNumberWidth);

// Report header: "#    Summary of" I4 " cases for: " PREFIX "." DATE
inline constexpr auto kSummaryLayout = textio::layout_of("(A,I4,A,A,A,A)");
static_assert(width_of(kSummaryLayout, 1) == file_formats::kCaseCountWidth);

// The section and hot spot counts, I5 each, then the separator lines.
inline constexpr auto kCountsLayout = textio::layout_of("(A,I5,A,A,I5,A,A,A,A,A)");

// "#    Print of  the " I3 " heaviest exposed sections."
inline constexpr auto kRankingLayout = textio::layout_of("(A,I3,A,A)");
static_assert(width_of(kRankingLayout, 1) == file_formats::kRankingLengthWidth);

// Ranking and section rows: S_Coo F13.3, damage E12.4, fatigue life F35.1.
inline constexpr auto kLifeRowLayout = textio::layout_of("(F13.3,1P,E12.4,0P,F35.1)");
static_assert(width_of(kLifeRowLayout, 0) == file_formats::kCoordinateWidth &&
              width_of(kLifeRowLayout, 2) == file_formats::kDamageWidth &&
              width_of(kLifeRowLayout, 4) == file_formats::kLifeWidth);

}  // namespace vantor::driver

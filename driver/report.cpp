// The accumulated damage report: the largest damage per section, the ranking
// of the heaviest sections, the fatigue lives and the full matrix.
#include <algorithm>
#include <span>
#include <string_view>

#include "driver/file_layouts.h"
#include "driver/helpers.h"
#include "driver/records.h"
#include "driver/run.h"
#include "driver/state.h"
#include "freeinput/text.h"
#include "textio/format/field.h"
#include "textio/records/writer.h"
#include "textio/units/units.h"

namespace vantor::driver {
namespace {

namespace ff = file_formats;

void write_life_row(const run_tables& t, std::size_t e) {
  const double damage = t.MAXDAM[e];
  textio::write(kUnitWrite, kLifeRowLayout, t.SCOO[e], damage, 1.0 / damage);
}

}  // namespace

void write_report(const case_range& cases, const case_naming& naming, const case_shape& shape,
                  run_tables& t, int LINCNT) {
  const std::string_view prefix = freeinput::trim_right(textio::view(naming.prefix));

  textio::field<256> name = naming.prefix;
  textio::field<256> suffix;
  textio::assign(suffix, ff::kReportSuffix);
  freeinput::CHRAPP(name, textio::view(suffix));
  int IERR = 0;
  open_named_file(textio::view(name), kUnitWrite, open_for::writing, IERR, LINCNT);

  const auto nelem = static_cast<std::size_t>(std::clamp(shape.NELEM, 0, kMostSections));
  const auto nhot = static_cast<std::size_t>(std::clamp(shape.NHOT, 0, kMostHotSpots));
  for (std::size_t e = 0; e < nelem; ++e) {
    double most = 0.0;  // in a register through the row
    for (std::size_t j = 0; j < nhot; ++j) {
      if (t.ACCDAM[e][j] > most) most = t.ACCDAM[e][j];
    }
    t.MAXDAM[e] = most;
  }
  SELEXT(t.MAXDAM, t.IHEAVY, shape.NELEM, kRankedSections, +1);

  write_header(kText, std::string_view("#  "));
  write_header(kSummaryLayout, ff::kSummaryHead, cases.NCASE, ff::kCasesFor, prefix,
               std::string_view("."), freeinput::trim_right(textio::view(naming.date_text)));
  write_header(kCountsLayout, ff::kSectionCountHead, shape.NELEM, kLineFeed, ff::kHotSpotCountHead,
               shape.NHOT, kLineFeed, ff::kHashBlanks, kLineFeed, ff::kSeparator);
  write_header(kRankingLayout, ff::kRankingHead, kRankedSections, ff::kRankingTail);
  write_header(kText, ff::kSeparator);
  write_header(kThreeTexts, ff::kCommentLead, kLineFeed, ff::kDamageHeading);
  for (int k = 1; k <= std::min(kRankedSections, static_cast<int>(nelem)); ++k) {
    const int e = t.IHEAVY[static_cast<std::size_t>(k - 1)];
    if (e >= 1) write_life_row(t, static_cast<std::size_t>(e - 1));
  }
  write_header(kThreeTexts, std::string_view("# "), kLineFeed, ff::kSeparator);
  write_header(kText, ff::kSectionTableHead);
  write_header(kText, ff::kSeparator);
  write_header(kThreeTexts, ff::kCommentLead, kLineFeed, ff::kDamageHeading);
  for (std::size_t e = 0; e < nelem; ++e) write_life_row(t, e);
  write_header(kThreeTexts, std::string_view("# "), kLineFeed, ff::kSeparator);
  write_header(kText, ff::kMatrixHead);
  write_header(kText, ff::kSeparator);
  write_matrix(ff::kReportMatrixHeading, t.SCOO, t.ACCDAM, nelem, nhot);
  textio::close_unit(kUnitWrite);
}

}  // namespace vantor::driver

// The accumulated damage report: the largest damage per section, the ranking
// of the heaviest sections, the fatigue lives and the full matrix.
#include <algorithm>
#include <span>
#include <string_view>

#include "driver/helpers.h"
#include "driver/records.h"
#include "driver/run.h"
#include "driver/state.h"
#include "freeinput/text.h"
#include "textio/field.h"
#include "textio/units.h"
#include "textio/writer.h"

namespace vantor::driver {
namespace {

using textio::layout_of;

constexpr auto kText = kRecordText;
constexpr auto kSummary = layout_of("(A,I4,A,A,A,A)");
constexpr auto kCounts = layout_of("(A,I5,A,A,I5,A,A,A,A,A)");
constexpr auto kRanking = layout_of("(A,I3,A,A)");
constexpr auto kLifeRow = layout_of("(F13.3,1P,E12.4,0P,F35.1)");

constexpr std::string_view kSeparator = "#  ------------------------------------------------------";
constexpr std::string_view kHashBlanks = "#                                              ";
constexpr std::string_view kDamageHeading =
    "#     S_Coo      Damage                          Fatigue Life";
static_assert(kSeparator.size() == 57);
static_assert(kHashBlanks.size() == 47);
static_assert(kDamageHeading.size() == 61);

void write_life_row(const run_state& s, std::size_t e) {
  const double damage = s.MAXDAM[e];
  textio::write(kUnitWrite, kLifeRow, s.SCOO[e], damage, 1.0 / damage);
}

}  // namespace

void write_report() {
  run_state& s = state();
  const auto p = static_cast<std::size_t>(prefix_length());

  s.name = s.prefix;
  textio::assign(s.suffix, ".AccDam");
  freeinput::CHRAPP(s.name, textio::view(s.suffix));
  s.IERR = 0;
  open_named_file(kUnitWrite, 0);

  const auto nelem = static_cast<std::size_t>(std::clamp(s.NELEM, 0, kMaxSections));
  const auto nhot = static_cast<std::size_t>(std::clamp(s.NHOT, 0, kMaxHotSpots));
  for (std::size_t e = 0; e < nelem; ++e) {
    s.MAXDAM[e] = 0.0;
    for (std::size_t j = 0; j < nhot; ++j) {
      if (s.ACCDAM[e][j] > s.MAXDAM[e]) s.MAXDAM[e] = s.ACCDAM[e][j];
    }
  }
  SELEXT(s.MAXDAM, s.IHEAVY, s.NELEM, kRanked, +1);

  const std::string_view prefix(s.prefix.data(), p);
  write_header(kText, std::string_view("#  "));
  write_header(kSummary, std::string_view("#    Summary of"), s.NCASE,
               std::string_view(" cases for: "), prefix, std::string_view("."),
               trimmed(textio::view(s.date_text)));
  write_header(kCounts, std::string_view("#    Number of Sections (elements)     : "), s.NELEM,
               kLineFeed, std::string_view("#    Number of HotSpots per section    : "), s.NHOT,
               kLineFeed, kHashBlanks, kLineFeed, kSeparator);
  write_header(kRanking, std::string_view("#    Print of  the "), kRanked,
               std::string_view(" heaviest exposed sections."));
  write_header(kText, kSeparator);
  write_header(kThreeTexts, std::string_view("#    "), kLineFeed, kDamageHeading);
  for (int k = 1; k <= std::min(kRanked, static_cast<int>(nelem)); ++k) {
    const int e = s.IHEAVY[static_cast<std::size_t>(k - 1)];
    if (e >= 1) write_life_row(s, static_cast<std::size_t>(e - 1));
  }
  write_header(kThreeTexts, std::string_view("# "), kLineFeed, kSeparator);
  write_header(kText, std::string_view("#    Print of Max Damage per Section along Riser "));
  write_header(kText, kSeparator);
  write_header(kThreeTexts, std::string_view("#    "), kLineFeed, kDamageHeading);
  for (std::size_t e = 0; e < nelem; ++e) write_life_row(s, e);
  write_header(kThreeTexts, std::string_view("# "), kLineFeed, kSeparator);
  write_header(kText, std::string_view("#    Print of full matrix."));
  write_header(kText, kSeparator);
  write_matrix("#     S_Coo        <---------------- Hot Spots ---------------> ", s.ACCDAM, nelem,
               nhot);
  textio::close_unit(kUnitWrite);
}

}  // namespace vantor::driver

// The case passes: pass 1 reads and checks every raw damage file, pass 2
// weights each case, accumulates it and writes its weighted damage file.
#include <algorithm>
#include <span>
#include <string_view>

#include "driver/case_planes.h"
#include "driver/records.h"
#include "driver/run.h"
#include "driver/state.h"
#include "driver/weighted_rows.h"
#include "freeinput/reader.h"
#include "freeinput/state.h"
#include "freeinput/text.h"
#include "textio/format/field.h"
#include "textio/format/writer.h"
#include "textio/units/units.h"

namespace vantor::driver {
namespace {

using file_formats::kRawSuffix;
using file_formats::kWeightedSuffix;

// Builds prefix + "_" + case number in NDIG digits + suffix in the name field.
void build_case_name(run_state& s, std::string_view suffix) {
  s.name = s.prefix;
  freeinput::CHRAPP(s.name, file_formats::kCaseSeparator);
  freeinput::CHARIN(s.name, textio::view(s.name), s.ICASE, s.NDIG, kUnitOut, s.IERR);
  textio::assign(s.suffix, suffix);
  freeinput::CHRAPP(s.name, textio::view(s.suffix));
}

void read_one_case(run_state& s) {
  const bool first_case = s.ICASE == s.IFIRST;
  const auto plane = static_cast<std::size_t>(s.ICASE - 1);
  s.LINCNT = 0;
  int e = 0;
  for (;;) {
    ++s.LINCNT;
    // The unit argument only has to be positive: the records come from the unit
    // the reader is bound to, this case's raw damage file. Both reading loops
    // pass the probability file's unit alike. Only the types and values of a
    // record are looked at here, so it asks for texts of no length: the reader
    // then has no 80 blanks per number to write (the items are the same).
    freeinput::RDMIX(s.count, s.types, s.values, {}, 0, kUnitProb, kUnitOut, s.IRDERR);
    if (s.IRDERR != 0) closing_steps(1);
    const int n = s.count;
    if (n < 0) break;
    if (n == 0) continue;
    ++e;
    if (first_case && e == 1) s.NHOT = n - 1;
    const bool kept = e <= kMostSections;
    if (first_case && kept) s.SCOO[static_cast<std::size_t>(e - 1)] = s.values[0];
    // Counted first (a loop without exits is vector work), found when there are any.
    int text_items = 0;
    for (int i = 2; i <= n; ++i)
      text_items += s.types[static_cast<std::size_t>(i - 1)] == freeinput::kTextItem ? 1 : 0;
    for (int i = 2; text_items > 0 && i <= n; ++i) {
      if (s.types[static_cast<std::size_t>(i - 1)] == freeinput::kTextItem) {
        raise_error("    Illegal Character found    ***",
                    {{"    Line Number                :  ", s.LINCNT},
                     {"    Parameter number           :  ", i}});
      }
    }
    // Sections beyond 3000 and hot spots beyond 20 are counted, not kept.
    if (kept) {
      const auto stored = std::min(static_cast<std::size_t>(n - 1), std::size_t{kMostHotSpots});
      std::copy_n(s.values.begin() + 1, stored,
                  s.RAWDAM[plane][static_cast<std::size_t>(e - 1)].begin());
    }
    if (n - 1 != s.NHOT) {
      raise_error("    HotSpot Data Missing !        ",
                  {{"    Case number                :  ", s.ICASE},
                   {"    Element Number             :  ", e},
                   {"    Number of hots found       :  ", n - 1},
                   {"    Number of hots expected    :  ", s.NHOT}});
    }
  }
  if (first_case) s.NELEM = e;
  if (e != s.NELEM) {
    raise_error("    Number of Element MisMatch!   ",
                {{"    Case number                :  ", s.ICASE},
                 {"    Number of elem. in Case 1  :  ", s.NELEM},
                 {"    Number of elem. found      :  ", e}});
  }
  if (s.NELEM > kMostSections) {
    raise_error("    Number of elements exceeded   ",
                {{"    Specified number of elems  :  ", s.NELEM},
                 {"    Maxumum available          :  ", kMostSections}});
  }
  if (s.NHOT > kMostHotSpots) {
    raise_error("    Number of HotSpots exceeded   ",
                {{"    Specified number of HotS   :  ", s.NHOT},
                 {"    Maxumum available          :  ", kMostHotSpots}});
  }
}

}  // namespace

void read_case_files() {
  run_state& s = state();
  for (s.ICASE = s.IFIRST; s.ICASE <= s.ILAST; ++s.ICASE) {
    build_case_name(s, kRawSuffix);
    open_named_file(kUnitRaw, open_for::reading);
    freeinput::INIFII_2(512, 8, kUnitRaw, kUnitOut, s.IRDERR);
    if (s.IRDERR != 0) closing_steps(1);
    textio::write(kUnitOut, kTwoTexts, std::string_view(" Processing File : "),
                  freeinput::trim_right(textio::view(s.name)));
    textio::flush_unit(kUnitOut);
    ready_case_plane(s.ICASE);
    read_one_case(s);
    if (s.ICASE == s.IFIRST) plan_case_planes();
    if (s.ICASE == s.ILAST) break;  // ILAST may be the largest integer
  }
}

void write_weighted_files() {
  run_state& s = state();
  const std::string_view prefix = freeinput::trim_right(textio::view(s.prefix));
  const std::string_view date = freeinput::trim_right(textio::view(s.date_text));
  const auto nelem = static_cast<std::size_t>(s.NELEM);
  const auto nhot = static_cast<std::size_t>(s.NHOT);
  // With a helper, the cases are weighed and their rows rendered ahead of the
  // files; every record is written here, in the same order.
  const bool ahead = start_weighted_rows();

  for (s.ICASE = s.IFIRST; s.ICASE <= s.ILAST; ++s.ICASE) {
    build_case_name(s, kWeightedSuffix);
    open_named_file(kUnitWrite, open_for::writing);
    const double w = s.PROB[static_cast<std::size_t>(s.ICASE - 1)];
    write_header(kCaseHeader, file_formats::kCaseHead, s.ICASE, file_formats::kForProject, prefix,
                 std::string_view("."), date, kLineFeed, file_formats::kProbabilityHead, w);
    if (ahead) {
      write_matrix_heading(file_formats::kWeightedMatrixHeading);
      write_next_weighted_rows(s.ICASE);
      write_matrix_end();
    } else {
      const auto& raw = s.RAWDAM[static_cast<std::size_t>(s.ICASE - 1)];
      for (std::size_t e = 0; e < nelem; ++e)
        weigh_row(w, raw[e], s.WGHDAM[e].data(), s.ACCDAM[e], nhot);
      write_matrix(file_formats::kWeightedMatrixHeading, s.WGHDAM, nelem, nhot);
    }
    textio::close_unit(kUnitWrite);
    if (s.ICASE == s.ILAST) break;
  }
}

}  // namespace vantor::driver

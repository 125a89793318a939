// The case passes: pass 1 reads and checks every raw damage file, pass 2
// weights each case, accumulates it and writes its weighted damage file.
#include <algorithm>
#include <span>
#include <string_view>

#include "driver/case_planes.h"
#include "driver/case_records.h"
#include "driver/cases_ahead.h"
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

// Builds prefix + "_" + case number icase in NDIG digits + suffix in name.
void build_case_name(run_state& s, int icase, std::string_view suffix, textio::field<256>& name) {
  name = s.prefix;
  freeinput::CHRAPP(name, file_formats::kCaseSeparator);
  freeinput::CHARIN(name, textio::view(name), icase, s.NDIG, kUnitOut, s.IERR);
  textio::assign(s.suffix, suffix);
  freeinput::CHRAPP(name, textio::view(s.suffix));
}

void build_case_name(run_state& s, std::string_view suffix) {
  build_case_name(s, s.ICASE, suffix, s.name);
}

// Hands the next case to the helper that reads cases ahead, once the first
// has been read and when its name takes the number without a report.
bool hand_next_case(run_state& s) {
  if (s.ICASE == s.IFIRST || s.ICASE >= s.ILAST || !freeinput::charin_fits(s.ICASE + 1, s.NDIG))
    return false;
  textio::field<256> name;
  build_case_name(s, s.ICASE + 1, kRawSuffix, name);
  return hand_case_ahead(s.ICASE + 1, freeinput::trim_right(textio::view(name)));
}

void read_one_case(run_state& s) {
  const bool first_case = s.ICASE == s.IFIRST;
  auto& plane = s.RAWDAM[static_cast<std::size_t>(s.ICASE - 1)];
  case_records r;
  read_case_records({s.count, s.types, s.values, kUnitOut}, plane, first_case, s.NHOT,
                    first_case ? std::span<double>(s.SCOO) : std::span<double>(), r);
  s.LINCNT = r.lines;
  const int e = r.sections;
  switch (r.fault) {
    case case_fault::none:
      break;
    case case_fault::read_failure:
      --s.IRDERR;
      closing_steps(1);
    case case_fault::illegal_character:
      raise_error("    Illegal Character found    ***",
                  {{"    Line Number                :  ", s.LINCNT},
                   {"    Parameter number           :  ", r.parameter}});
    case case_fault::hot_spots_missing:
      raise_error("    HotSpot Data Missing !        ",
                  {{"    Case number                :  ", s.ICASE},
                   {"    Element Number             :  ", e},
                   {"    Number of hots found       :  ", r.hots_found},
                   {"    Number of hots expected    :  ", s.NHOT}});
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
  bool handed = false;  // case ICASE was handed to the helper
  for (s.ICASE = s.IFIRST; s.ICASE <= s.ILAST; ++s.ICASE) {
    build_case_name(s, kRawSuffix);
    open_named_file(kUnitRaw, open_for::reading);
    freeinput::INIFII_2(kInputLineWidth, kInputKeywordLength, kUnitRaw, kUnitOut, s.IRDERR);
    if (s.IRDERR != 0) closing_steps(1);
    const std::string_view name = freeinput::trim_right(textio::view(s.name));
    textio::write(kUnitOut, kTwoTexts, std::string_view(" Processing File : "), name);
    textio::flush_unit(kUnitOut);
    ready_case_plane(s.ICASE);
    // A case read ahead whole and clean is taken as read; any other is read
    // here, in order, while the helper reads the next.
    if (!handed || !take_case_ahead(s.ICASE, name, s.LINCNT)) {
      handed = hand_next_case(s);
      read_one_case(s);
    } else {
      handed = false;
    }
    if (s.ICASE == s.IFIRST) {
      plan_case_planes();
      plan_cases_ahead();
    }
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

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
#include "textio/records/writer.h"
#include "textio/units/units.h"

namespace vantor::driver {
namespace {

using file_formats::kRawSuffix;
using file_formats::kWeightedSuffix;

// The step's data: the run's cases and names, the tables, the case under
// way and its name, the error code of naming and opening.
struct pass {
  const case_range& cases;
  const case_naming& naming;
  run_tables& t;
  int ICASE = 0;
  textio::field<256> name{};
  int IERR = 0;
};

// Builds prefix + "_" + case number icase in NDIG digits + suffix in name.
void build_case_name(const case_naming& naming, int icase, std::string_view suffix,
                     textio::field<256>& name, int& IERR) {
  name = naming.prefix;
  freeinput::CHRAPP(name, file_formats::kCaseSeparator);
  freeinput::CHARIN(name, textio::view(name), icase, naming.NDIG, kUnitOut, IERR);
  textio::field<256> suffix_field;
  textio::assign(suffix_field, suffix);
  freeinput::CHRAPP(name, textio::view(suffix_field));
}

// Names the case under way and opens its file on the unit.
void open_case_file(pass& p, std::string_view suffix, int unit, open_for use, int LINCNT) {
  build_case_name(p.naming, p.ICASE, suffix, p.name, p.IERR);
  open_named_file(textio::view(p.name), unit, use, p.IERR, LINCNT);
}

// Hands the next case to the helper that reads cases ahead, once the first
// has been read and when its name takes the number without a report.
bool hand_next_case(const pass& p) {
  const case_range& r = p.cases;
  if (p.ICASE == r.IFIRST || p.ICASE >= r.ILAST ||
      !freeinput::charin_fits(p.ICASE + 1, p.naming.NDIG))
    return false;
  textio::field<256> name;
  int unused = 0;  // the number fits: CHARIN reports nothing
  build_case_name(p.naming, p.ICASE + 1, kRawSuffix, name, unused);
  return hand_case_ahead(p.ICASE + 1, freeinput::trim_right(textio::view(name)));
}

// Reads case ICASE in order; the first case sets the shape, any other is
// checked against it. A fault ends the run with its error block.
void read_one_case(pass& p, case_shape& shape, int& LINCNT) {
  const int ICASE = p.ICASE;
  const bool first_case = ICASE == p.cases.IFIRST;
  run_tables& t = p.t;
  auto& plane = t.RAWDAM[static_cast<std::size_t>(ICASE - 1)];
  case_records r;
  read_case_records({t.count, t.types, t.values, kUnitOut}, plane, first_case, shape.NHOT,
                    first_case ? std::span<double>(t.SCOO) : std::span<double>(), r);
  LINCNT = r.lines;
  const int e = r.sections;
  switch (r.fault) {
    case case_fault::none:
      break;
    case case_fault::read_failure:
      // The reader has reported; IRDERR would now be -1.
      closing_steps(LINCNT, 1);
    case case_fault::illegal_character:
      raise_error(LINCNT, "    Illegal Character found    ***",
                  {{"    Line Number                :  ", LINCNT},
                   {"    Parameter number           :  ", r.parameter}});
    case case_fault::hot_spots_missing:
      raise_error(LINCNT, "    HotSpot Data Missing !        ",
                  {{"    Case number                :  ", ICASE},
                   {"    Element Number             :  ", e},
                   {"    Number of hots found       :  ", r.hots_found},
                   {"    Number of hots expected    :  ", shape.NHOT}});
  }
  if (first_case) shape.NELEM = e;
  if (e != shape.NELEM) {
    raise_error(LINCNT, "    Number of Element MisMatch!   ",
                {{"    Case number                :  ", ICASE},
                 {"    Number of elem. in Case 1  :  ", shape.NELEM},
                 {"    Number of elem. found      :  ", e}});
  }
  if (shape.NELEM > kMostSections) {
    raise_error(LINCNT, "    Number of elements exceeded   ",
                {{"    Specified number of elems  :  ", shape.NELEM},
                 {"    Maxumum available          :  ", kMostSections}});
  }
  if (shape.NHOT > kMostHotSpots) {
    raise_error(LINCNT, "    Number of HotSpots exceeded   ",
                {{"    Specified number of HotS   :  ", shape.NHOT},
                 {"    Maxumum available          :  ", kMostHotSpots}});
  }
}

}  // namespace

case_shape read_case_files(const case_range& cases, const case_naming& naming, run_tables& t,
                           int& LINCNT) {
  pass p{cases, naming, t};
  case_shape shape;
  bool handed = false;  // case ICASE was handed to the helper
  for (p.ICASE = cases.IFIRST; p.ICASE <= cases.ILAST; ++p.ICASE) {
    open_case_file(p, kRawSuffix, kUnitRaw, open_for::reading, LINCNT);
    int IRDERR = 0;
    freeinput::INIFII_2(kInputLineWidth, kInputKeywordLength, kUnitRaw, kUnitOut, IRDERR);
    if (IRDERR != 0) closing_steps(LINCNT, 1);
    const std::string_view name = freeinput::trim_right(textio::view(p.name));
    textio::write(kUnitOut, kTwoTexts, std::string_view(" Processing File : "), name);
    textio::flush_unit(kUnitOut);
    ready_case_plane(t, p.ICASE);
    // A case read ahead whole and clean is taken as read; any other is read
    // here, in order, while the helper reads the next.
    if (!handed || !take_case_ahead(p.ICASE, name, LINCNT)) {
      handed = hand_next_case(p);
      read_one_case(p, shape, LINCNT);
    } else {
      handed = false;
    }
    if (p.ICASE == cases.IFIRST) {
      plan_case_planes(t, p.ICASE, cases.ILAST, shape.NELEM);
      plan_cases_ahead(t, p.ICASE, cases.ILAST, shape);
    }
    if (p.ICASE == cases.ILAST) break;  // ILAST may be the largest integer
  }
  return shape;
}

void write_weighted_files(const case_range& cases, const case_naming& naming,
                          const case_shape& shape, run_tables& t, int LINCNT) {
  const std::string_view prefix = freeinput::trim_right(textio::view(naming.prefix));
  const std::string_view date = freeinput::trim_right(textio::view(naming.date_text));
  const auto nelem = static_cast<std::size_t>(shape.NELEM);
  const auto nhot = static_cast<std::size_t>(shape.NHOT);
  // With a helper, the cases are weighed and their rows rendered ahead of the
  // files; every record is written here, in the same order.
  const bool ahead = start_weighted_rows(t, cases, shape);

  pass p{cases, naming, t};
  for (p.ICASE = cases.IFIRST; p.ICASE <= cases.ILAST; ++p.ICASE) {
    open_case_file(p, kWeightedSuffix, kUnitWrite, open_for::writing, LINCNT);
    const double w = t.PROB[static_cast<std::size_t>(p.ICASE - 1)];
    write_header(kCaseHeader, file_formats::kCaseHead, p.ICASE, file_formats::kForProject, prefix,
                 std::string_view("."), date, kLineFeed, file_formats::kProbabilityHead, w);
    if (ahead) {
      write_matrix_heading(file_formats::kWeightedMatrixHeading);
      write_next_weighted_rows(t, p.ICASE);
      write_matrix_end();
    } else {
      const auto& raw = t.RAWDAM[static_cast<std::size_t>(p.ICASE - 1)];
      for (std::size_t e = 0; e < nelem; ++e)
        weigh_row(w, raw[e], t.WGHDAM[e].data(), t.ACCDAM[e], nhot);
      write_matrix(file_formats::kWeightedMatrixHeading, t.SCOO, t.WGHDAM, nelem, nhot);
    }
    textio::close_unit(kUnitWrite);
    if (p.ICASE == cases.ILAST) break;
  }
}

}  // namespace vantor::driver

#include "driver/run.h"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "driver/dialogue.h"
#include "driver/helpers.h"
#include "driver/records.h"
#include "driver/state.h"
#include "freeinput/date.h"
#include "freeinput/files.h"
#include "freeinput/text.h"
#include "textio/console/console.h"
#include "textio/units/run_end.h"
#include "textio/format/field.h"
#include "textio/records/writer.h"
#include "textio/units/units.h"

namespace vantor::driver {
namespace {

using textio::layout_of;

constexpr auto kEmpty = layout_of("(/)");
constexpr auto kAssume = layout_of("(/,A,I8,A,/)");
constexpr auto kCount = layout_of("(/,I6,A,/)");
constexpr auto kErrorHeader = layout_of("(/,TR2,'*** ERROR IN Vantor    ***')");
constexpr auto kBlockTitle = layout_of("(/,TR2,A)");
constexpr auto kBlockValue = layout_of("(TR2,A,I8)");

constexpr std::string_view kFull = "------------------------------------------------";
constexpr std::string_view kFrame = "-----                                     ------";
constexpr std::array<std::string_view, 14> kBanner{
    kFull,
    kFull,
    kFull,
    kFrame,
    "-----         V  a  n  t  o  r            ------",
    kFrame,
    "-----    Reads \"nCase\" result files,      ------",
    "-----         weights results &           ------",
    "-----    Computes accumulated Damage.     ------",
    kFrame,
    "-----      Version 1.2 / Jan 31, 2008     ------",
    "-----  Riser fatigue damage summation     ------",
    kFull,
    kFull,
};

constexpr bool banner_is_framed() {
  for (const std::string_view line : kBanner) {
    if (line.size() != 48) return false;
  }
  return true;
}
static_assert(banner_is_framed(), "every banner line is 48 characters");

void write_banner() {
  textio::write(kUnitOut, kEmpty);
  for (const std::string_view line : kBanner) textio::write(kUnitOut, kText, line);
}

// Case numbers outside the tables end the run before anything is read; no
// file has been read, so the count line gives 0.
void check_case_range(const case_range& r) {
  if (r.NCASE >= 1 && (r.IFIRST < 1 || r.ILAST > kMostCases)) {
    raise_error(0, "    Number of cases exceeded   ***",
                {{"    Specified number of cases  :  ", r.ILAST > kMostCases ? r.ILAST : r.IFIRST},
                 {"    Maxumum available          :  ", kMostCases}});
  }
}

}  // namespace

void closing_steps(int LINCNT, int status) {
  textio::write(kUnitOut, kCount, LINCNT, std::string_view(" lines with plot data found"));
  textio::close_unit(kUnitWrite);
  textio::stop(status);
}

void raise_error(int LINCNT, std::string_view title, std::initializer_list<block_value> values) {
  textio::write(kUnitOut, kErrorHeader);
  textio::write(kUnitOut, kBlockTitle, title);
  for (const block_value& v : values) textio::write(kUnitOut, kBlockValue, v.label, v.value);
  closing_steps(LINCNT, 1);
}

void raise_cannot_open(std::string_view name, int LINCNT) {
  textio::write(kUnitOut, kTwoTexts, std::string_view(" Cannot Open : "),
                freeinput::trim_right(name));
  textio::write(kUnitOut, kErrorHeader);
  closing_steps(LINCNT, 1);
}

void open_named_file(std::string_view name, int unit, open_for use, int& IERR, int LINCNT) {
  textio::close_unit(unit);
  freeinput::OPNSEQ(freeinput::trim_right(name), unit, static_cast<int>(use), IERR);
  if (IERR != 0) raise_cannot_open(name, LINCNT);
}

case_range ask_case_range(const answer_options& options) {
  write_banner();
  case_range r;
  ask_integer(question_id::first_case, options, r.IFIRST);
  ask_integer(question_id::last_case, options, r.ILAST);
  r.NCASE = static_cast<int>(static_cast<std::uint32_t>(r.ILAST) -
                             static_cast<std::uint32_t>(r.IFIRST) + 1U);
  check_case_range(r);
  return r;
}

case_naming ask_case_naming(const textio::field<256>& date_text, const answer_options& options) {
  case_naming naming;
  naming.date_text = date_text;
  ask_line(question_id::prefix, options, naming.prefix);
  textio::field<256> answer;
  ask_line(question_id::digits, options, answer);
  if (textio::is_blank(textio::view(answer))) {
    naming.NDIG = 3;
  } else {
    textio::readInteger(textio::view(answer), naming.NDIG);
  }
  textio::write(kUnitOut, kAssume, std::string_view(" Assumning"), naming.NDIG,
                std::string_view(" digits in Case nos"));
  return naming;
}

int run(const answer_options& options) {
  run_tables& t = reserved_tables();
  textio::install_console_handlers();

  // The accumulated damage and the largest damage per section start at zero;
  // the date stamp of every header is taken once.
  DFILL(std::span(t.ACCDAM.front().data(), kMostSections * kMostHotSpots), kMostSections,
        kMostHotSpots, 0.0);
  DFILL(t.MAXDAM, kMostSections, 1, 0.0);
  std::array<char, 80> date80;
  freeinput::DATTXT(date80, 6);
  textio::field<256> date_text;
  textio::assign(date_text, std::string_view(date80.data(), date80.size()));

  // The five questions: the cases (checked against the tables before
  // anything is read), the probability file (opened at once), the prefix of
  // the case files and the digits of their case numbers.
  const case_range cases = ask_case_range(options);
  ask_probability_file(options);
  const case_naming naming = ask_case_naming(date_text, options);

  // The probability of every case; pass 1 reads and checks every raw damage
  // file, pass 2 weights each case, adds it up and writes its weighted damage
  // file; then the accumulated damage report.
  int LINCNT = build_probability_table(cases, t, options);
  case_shape shape;
  if (cases.NCASE >= 1) {
    shape = read_case_files(cases, naming, t, LINCNT);
    write_weighted_files(cases, naming, shape, t, LINCNT);
  }
  write_report(cases, naming, shape, t, LINCNT);

  // The count line, unit 90 closed, the stop with status 0.
  closing_steps(LINCNT, 0);
}

}  // namespace vantor::driver

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
#include "textio/console/run_end.h"
#include "textio/format/field.h"
#include "textio/format/writer.h"
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

constexpr std::string_view kAskFirst = prompt_of(question_id::first_case);
constexpr std::string_view kAskLast = prompt_of(question_id::last_case);
constexpr std::string_view kAskPrefix = prompt_of(question_id::prefix);
constexpr std::string_view kAskDigits = prompt_of(question_id::digits);

void write_banner() {
  textio::write(kUnitOut, kEmpty);
  for (const std::string_view line : kBanner) textio::write(kUnitOut, kText, line);
}

void ask(std::string_view question) {
  PROMPT(kUnitOut, question, static_cast<int>(question.size()));
}

// Case numbers outside the tables end the run before anything is read.
void check_case_range(const run_state& s) {
  if (s.NCASE >= 1 && (s.IFIRST < 1 || s.ILAST > kMostCases)) {
    raise_error("    Number of cases exceeded   ***",
                {{"    Specified number of cases  :  ", s.ILAST > kMostCases ? s.ILAST : s.IFIRST},
                 {"    Maxumum available          :  ", kMostCases}});
  }
}

}  // namespace

void closing_steps(int status) {
  textio::write(kUnitOut, kCount, state().LINCNT, std::string_view(" lines with plot data found"));
  textio::close_unit(kUnitWrite);
  textio::stop(status);
}

void raise_error(std::string_view title, std::initializer_list<block_value> values) {
  textio::write(kUnitOut, kErrorHeader);
  textio::write(kUnitOut, kBlockTitle, title);
  for (const block_value& v : values) textio::write(kUnitOut, kBlockValue, v.label, v.value);
  closing_steps(1);
}

void raise_cannot_open() {
  run_state& s = state();
  textio::write(kUnitOut, kTwoTexts, std::string_view(" Cannot Open : "),
                freeinput::trim_right(textio::view(s.name)));
  textio::write(kUnitOut, kErrorHeader);
  closing_steps(1);
}

void open_named_file(int unit, open_for use) {
  run_state& s = state();
  textio::close_unit(unit);
  freeinput::OPNSEQ(freeinput::trim_right(textio::view(s.name)), unit, static_cast<int>(use),
                    s.IERR);
  if (s.IERR != 0) raise_cannot_open();
}

int run() {
  run_state& s = state();
  textio::install_console_handlers();

  // The accumulated damage and the largest damage per section start at zero;
  // the date stamp of every header is taken once.
  DFILL(std::span(s.ACCDAM.front().data(), kMostSections * kMostHotSpots), kMostSections,
        kMostHotSpots, 0.0);
  DFILL(s.MAXDAM, kMostSections, 1, 0.0);
  std::array<char, 80> date80;
  freeinput::DATTXT(date80, 6);
  textio::assign(s.date_text, std::string_view(date80.data(), date80.size()));

  // The banner, then the first and last case numbers, checked against the
  // tables before anything is read.
  write_banner();
  ask(kAskFirst);
  textio::readInteger(s.IFIRST);
  ask(kAskLast);
  textio::readInteger(s.ILAST);
  s.NCASE = static_cast<int>(static_cast<std::uint32_t>(s.ILAST) -
                             static_cast<std::uint32_t>(s.IFIRST) + 1U);
  check_case_range(s);

  // The name of the probability file, which is opened at once.
  ask_probability_file();

  // The common prefix of the case files, and the digits of their case
  // numbers (3 for a blank answer).
  textio::blank_fill(s.prefix);
  ask(kAskPrefix);
  textio::readLine(s.prefix);
  textio::blank_fill(s.answer);
  ask(kAskDigits);
  textio::readLine(s.answer);
  if (textio::is_blank(textio::view(s.answer))) {
    s.NDIG = 3;
  } else {
    textio::readInteger(textio::view(s.answer), s.NDIG);
  }
  textio::write(kUnitOut, kAssume, std::string_view(" Assumning"), s.NDIG,
                std::string_view(" digits in Case nos"));

  // The probability of every case; pass 1 reads and checks every raw damage
  // file, pass 2 weights each case, adds it up and writes its weighted damage
  // file; then the accumulated damage report.
  build_probability_table();
  if (s.NCASE >= 1) {
    read_case_files();
    write_weighted_files();
  }
  write_report();

  // The count line, unit 90 closed, the stop with status 0.
  closing_steps(0);
}

}  // namespace vantor::driver

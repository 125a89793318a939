// The case probability table: the question for the probability file, the
// reading of its values, the count check, the sum check and the scaling.
#include <span>
#include <string_view>

#include "driver/dialogue.h"
#include "driver/helpers.h"
#include "driver/records.h"
#include "driver/run.h"
#include "driver/state.h"
#include "freeinput/files.h"
#include "freeinput/reader.h"
#include "freeinput/state.h"
#include "textio/console/console.h"
#include "textio/format/field.h"
#include "textio/format/writer.h"

namespace vantor::driver {
namespace {

using textio::layout_of;

constexpr std::string_view kAskFile = prompt_of(question_id::probability_file);
constexpr std::string_view kAskScale = prompt_of(question_id::scale);
constexpr auto kSpacer = layout_of("(/,/,A)");
constexpr auto kSum = layout_of("(A,F12.3)");
constexpr auto kScaled = layout_of("(/,A,F12.3)");
constexpr double kTolerance = 0.001;
constexpr double kReference = 1.0;

void open_probability_file(run_state& s) {
  s.IERR = 0;
  // The console unit negated: the library writes nothing, the dialogue reports.
  freeinput::FIIOPN(textio::view(s.probability_name), kUnitProb, freeinput::kStatusOld,
                    freeinput::kAccessSequential, freeinput::kFormFormatted, freeinput::kBlankNull,
                    freeinput::kNoRecordWords, freeinput::kNoReport, -kUnitOut, s.IERR);
}

void ask_name(run_state& s) {
  textio::blank_fill(s.probability_name);
  PROMPT(kUnitOut, kAskFile, static_cast<int>(kAskFile.size()));
  textio::readLine(s.probability_name);
}

}  // namespace

void ask_probability_file() {
  run_state& s = state();
  ask_name(s);
  open_probability_file(s);
  while (s.IERR != 0) {
    textio::write(kUnitOut, kTwoTexts, std::string_view(" Nonexisting file :"),
                  textio::view(s.probability_name));
    ask_name(s);
    open_probability_file(s);
  }
}

void build_probability_table() {
  run_state& s = state();
  freeinput::INIFII_2(kInputLineWidth, kInputKeywordLength, kUnitProb, kUnitOut, s.IRDERR);
  if (s.IRDERR != 0) closing_steps(1);

  s.LINCNT = 0;
  s.ICASE = 0;
  for (;;) {
    ++s.LINCNT;
    freeinput::RDMIX(s.count, s.types, s.values, s.texts, kTextElementLength, kUnitProb, kUnitOut,
                     s.IRDERR);
    if (s.IRDERR != 0) closing_steps(1);
    if (s.count < 0) break;
    for (int i = 1; i <= s.count; ++i) {
      if (s.types[static_cast<std::size_t>(i - 1)] == freeinput::kTextItem) {
        raise_error("    Illegal Character found    ***",
                    {{"    Line Number                :  ", s.LINCNT},
                     {"    Parameter number           :  ", i}});
      }
      ++s.ICASE;
      // Values beyond the table are counted, not stored.
      if (s.ICASE >= 1 && s.ICASE <= kMostCases) {
        s.PROB[static_cast<std::size_t>(s.ICASE - 1)] = s.values[static_cast<std::size_t>(i - 1)];
      }
    }
  }

  if (s.ICASE < s.ILAST) {
    raise_error("    Number of case mis-match      ",
                {{"    Specified no of cases      :  ", s.NCASE},
                 {"    Acual no of probs given    :  ", s.ICASE}});
  }

  double sum = 0.0;
  for (int c = s.IFIRST; c <= s.ILAST && s.NCASE >= 1; ++c) {
    sum += s.PROB[static_cast<std::size_t>(c - 1)];
  }
  const double factor = 1.0 / sum;
  if (!EQTOL(sum, kReference, kTolerance)) {
    textio::write(kUnitOut, kSpacer, std::string_view(" "));
    textio::write(kUnitOut, kSum, std::string_view(" Sum of Probs not equal 1!  :"), sum);
    textio::blank_fill(s.answer);
    PROMPT(kUnitOut, kAskScale, static_cast<int>(kAskScale.size()));
    textio::readLine(s.answer);
    bool yes = textio::is_blank(textio::view(s.answer));
    if (!yes) {
      UPCASE(s.answer, static_cast<int>(s.answer.size()));
      yes = s.answer[0] == 'Y';
    }
    if (yes) {
      textio::write(kUnitOut, kScaled, std::string_view(" Scaled with following fac. :"), factor);
      for (int c = s.IFIRST; c <= s.ILAST && s.NCASE >= 1; ++c) {
        s.PROB[static_cast<std::size_t>(c - 1)] *= factor;
      }
    }
  }
  textio::write(kUnitOut, kSpacer, std::string_view(" "));
  s.ICASE = s.IFIRST;
}

}  // namespace vantor::driver

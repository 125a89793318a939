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
#include "textio/records/writer.h"

namespace vantor::driver {
namespace {

using textio::layout_of;

constexpr auto kSpacer = layout_of("(/,/,A)");
constexpr auto kSum = layout_of("(A,F12.3)");
constexpr auto kScaled = layout_of("(/,A,F12.3)");
constexpr double kTolerance = 0.001;
constexpr double kReference = 1.0;

void open_probability_file(const textio::field<256>& name, int& IERR) {
  IERR = 0;
  // The console unit negated: the library writes nothing, the dialogue reports.
  freeinput::FIIOPN(textio::view(name), kUnitProb, freeinput::kStatusOld,
                    freeinput::kAccessSequential, freeinput::kFormFormatted, freeinput::kBlankNull,
                    freeinput::kNoRecordWords, freeinput::kNoReport, -kUnitOut, IERR);
}

// A sum other than 1 within the tolerance: the sum, the question, and on a
// blank or "Y..." answer every probability of the run scaled by 1 / sum.
void offer_scaling(const case_range& r, run_tables& t, double sum, const answer_options& options) {
  const double factor = 1.0 / sum;
  textio::write(kUnitOut, kSpacer, std::string_view(" "));
  textio::write(kUnitOut, kSum, std::string_view(" Sum of Probs not equal 1!  :"), sum);
  textio::field<256> answer;
  ask_line(question_id::scale, options, answer);
  bool yes = textio::is_blank(textio::view(answer));
  if (!yes) {
    UPCASE(answer, static_cast<int>(answer.size()));
    yes = answer[0] == 'Y';
  }
  if (yes) {
    textio::write(kUnitOut, kScaled, std::string_view(" Scaled with following fac. :"), factor);
    for (int c = r.IFIRST; c <= r.ILAST && r.NCASE >= 1; ++c) {
      t.PROB[static_cast<std::size_t>(c - 1)] *= factor;
    }
  }
}

}  // namespace

// A name given as an option that does not open is reported as a typed one
// is, and the question is then asked on the console.
void ask_probability_file(const answer_options& options) {
  textio::field<256> name;
  int IERR = 0;
  ask_line(question_id::probability_file, options, name);
  open_probability_file(name, IERR);
  while (IERR != 0) {
    textio::write(kUnitOut, kTwoTexts, std::string_view(" Nonexisting file :"), textio::view(name));
    ask_line(question_id::probability_file, {}, name);
    open_probability_file(name, IERR);
  }
}

int build_probability_table(const case_range& r, run_tables& t, const answer_options& options) {
  int IRDERR = 0;
  freeinput::INIFII_2(kInputLineWidth, kInputKeywordLength, kUnitProb, kUnitOut, IRDERR);
  if (IRDERR != 0) closing_steps(0, 1);

  // ICASE counts the values of the file, each the probability of the case of
  // that number; LINCNT the records, the end of the file included.
  int LINCNT = 0;
  int ICASE = 0;
  for (;;) {
    ++LINCNT;
    freeinput::RDMIX(t.count, t.types, t.values, t.texts, kTextElementLength, kUnitProb, kUnitOut,
                     IRDERR);
    if (IRDERR != 0) closing_steps(LINCNT, 1);
    if (t.count < 0) break;
    for (int i = 1; i <= t.count; ++i) {
      if (t.types[static_cast<std::size_t>(i - 1)] == freeinput::kTextItem) {
        raise_error(LINCNT, "    Illegal Character found    ***",
                    {{"    Line Number                :  ", LINCNT},
                     {"    Parameter number           :  ", i}});
      }
      ++ICASE;
      // Values beyond the table are counted, not stored.
      if (ICASE >= 1 && ICASE <= kMostCases) {
        t.PROB[static_cast<std::size_t>(ICASE - 1)] = t.values[static_cast<std::size_t>(i - 1)];
      }
    }
  }

  if (ICASE < r.ILAST) {
    raise_error(LINCNT, "    Number of case mis-match      ",
                {{"    Specified no of cases      :  ", r.NCASE},
                 {"    Acual no of probs given    :  ", ICASE}});
  }

  double sum = 0.0;
  for (int c = r.IFIRST; c <= r.ILAST && r.NCASE >= 1; ++c) {
    sum += t.PROB[static_cast<std::size_t>(c - 1)];
  }
  if (!EQTOL(sum, kReference, kTolerance)) offer_scaling(r, t, sum, options);
  textio::write(kUnitOut, kSpacer, std::string_view(" "));
  return LINCNT;
}

}  // namespace vantor::driver

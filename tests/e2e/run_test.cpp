// End-to-end runs of the real program: console dialogue, files written, exit
// status, for a complete run and for the error endings.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "driver/dialogue.h"
#include "tests/e2e/harness.h"
#include "tests/support/answers.h"
#include "tests/support/expected.h"

namespace vantor::testing {
namespace {

const std::string kBanner = records({
    "",
    "",
    "------------------------------------------------",
    "------------------------------------------------",
    "------------------------------------------------",
    "-----                                     ------",
    "-----         V  a  n  t  o  r            ------",
    "-----                                     ------",
    "-----    Reads \"nCase\" result files,      ------",
    "-----         weights results &           ------",
    "-----    Computes accumulated Damage.     ------",
    "-----                                     ------",
    "-----      Version 1.2 / Jan 31, 2008     ------",
    "-----  Riser fatigue damage summation     ------",
    "------------------------------------------------",
    "------------------------------------------------",
});

using driver::question_id;

// A question as the console shows it: the prompt after the record's blank.
std::string asked(question_id id) {
  return std::string(" ").append(driver::prompt_of(id));
}

const std::string kAskFirst = asked(question_id::first_case);
const std::string kAskLast = asked(question_id::last_case);
const std::string kAskFile = asked(question_id::probability_file);
const std::string kAskPrefix = asked(question_id::prefix);
const std::string kAskDigits = asked(question_id::digits);
const std::string kAskScale = asked(question_id::scale);
const std::string kAllQuestions = kAskFirst + kAskLast + kAskFile + kAskPrefix + kAskDigits;
const std::string kOneCase = dialogue_answers{.last = "1"}.text();
const std::string kSeparator = "\r\n\r\n \r\n";

std::string assume(int digits) {
  return "\r\n Assumning" + pad_left(std::to_string(digits), 8) + " digits in Case nos\r\n\r\n";
}
std::string processing(std::string_view name) {
  return " Processing File : " + std::string(name) + "\r\n";
}

std::string life_row(std::string_view coord, std::string_view damage, std::string_view life) {
  return pad_left(coord, 13) + pad_left(damage, 12) + pad_left(life, 35);
}

TEST(EndToEnd, TypicalRunWritesEveryFile) {
  scratch_dir dir;
  write_typical_run(dir);
  const run_result r = run_vantor(dir.path(), kTypicalAnswers);

  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, kBanner + kAllQuestions + assume(3) + kSeparator +
                       processing("riser_001.RawDam") + processing("riser_002.RawDam") +
                       processing("riser_003.RawDam") + count_line(4));

  const std::string hot_heading = "#  S_Coo        <---------------- Hot Spots --------------->";
  const std::string eof_line = "#  ------------------------  E O F  ------------------------";
  EXPECT_EQ(mask_date(dir.read("riser_001.WghDam")),
            "#    Case no   001 for Project: riser. Date : YYYY-MM-DD hh:mm:ss\n"
            "#    Probability for this case:   5.0000E-01\r\n"
            "#    \n" +
                hot_heading + "\r\n" +
                "       10.000  5.0000E-04  1.0000E-03\r\n"
                "       20.000  2.0000E-03  5.0000E-04\r\n"
                "#    \n" +
                eof_line + "\r\n");
  EXPECT_EQ(mask_date(dir.read("riser_003.WghDam")),
            "#    Case no   003 for Project: riser. Date : YYYY-MM-DD hh:mm:ss\n"
            "#    Probability for this case:   2.0000E-01\r\n"
            "#    \n" +
                hot_heading + "\r\n" +
                "       10.000  1.0000E-03  0.0000E+00\r\n"
                "       20.000  0.0000E+00  2.0000E-03\r\n"
                "#    \n" +
                eof_line + "\r\n");

  const std::string sep = "#  ------------------------------------------------------";
  const std::string life_heading = "#     S_Coo      Damage                          Fatigue Life";
  EXPECT_EQ(mask_date(dir.read("riser.AccDam")),
            records({"#", "#    Summary of   3 cases for: riser. Date : YYYY-MM-DD hh:mm:ss"}) +
                "#    Number of Sections (elements)     :     2\n"
                "#    Number of HotSpots per section    :     2\n"
                "#                                              \n" +
                records({sep, "#    Print of  the  10 heaviest exposed sections.", sep}) +
                "#    \n" +
                records({life_heading, life_row("20.000", "2.8000E-03", "357.1"),
                         life_row("10.000", "2.1000E-03", "476.2")}) +
                "# \n" + records({sep, "#    Print of Max Damage per Section along Riser", sep}) +
                "#    \n" +
                records({life_heading, life_row("10.000", "2.1000E-03", "476.2"),
                         life_row("20.000", "2.8000E-03", "357.1")}) +
                "# \n" + records({sep, "#    Print of full matrix.", sep}) + "#    \n" +
                records({"#     S_Coo        <---------------- Hot Spots --------------->",
                         "       10.000  2.1000E-03  1.6000E-03",
                         "       20.000  2.3000E-03  2.8000E-03"}) +
                "#    \n" + records({eof_line}));
}

// Error endings: a run set up by `files`, answered by `answers`, must write
// exactly `tail` after the dialogue and exit with status 1.
struct error_case {
  const char* name;
  std::vector<std::pair<std::string, std::string>> files;
  std::string answers;
  std::string expected_out;  // whole standard output
};

std::string typical_prefix() {
  return kBanner + kAllQuestions + assume(3) + kSeparator;
}

std::vector<error_case> error_cases() {
  const std::string two_cases = dialogue_answers{.last = "2"}.text();
  const std::vector<std::pair<std::string, std::string>> probs = {{"probs.txt", "0.5 0.5\n"}};
  auto with = [&](std::vector<std::pair<std::string, std::string>> extra) {
    auto all = probs;
    all.insert(all.end(), extra.begin(), extra.end());
    return all;
  };
  return {
      {"count mis-match",
       {{"probs.txt", "0.2 0.3 0.5\n"}},
       dialogue_answers{.last = "5"}.text(),
       kBanner + kAllQuestions + assume(3) +
           block("    Number of case mis-match      ",
                 {{"    Specified no of cases      :  ", 5},
                  {"    Acual no of probs given    :  ", 3}}) +
           count_line(2)},
      {"cases 3 to 4 with three values",
       {{"probs.txt", "0.2\n0.3\n\n0.5\n"}},
       dialogue_answers{.first = "3", .last = "4"}.text(),
       kBanner + kAllQuestions + assume(3) +
           block("    Number of case mis-match      ",
                 {{"    Specified no of cases      :  ", 2},
                  {"    Acual no of probs given    :  ", 3}}) +
           count_line(4)},
      {"illegal character in probability file",
       {{"probs.txt", "0.5\n0.25 abc 0.25\n"}},
       kTypicalAnswers,
       kBanner + kAllQuestions + assume(3) +
           block("    Illegal Character found    ***",
                 {{"    Line Number                :  ", 2},
                  {"    Parameter number           :  ", 2}}) +
           count_line(2)},
      {"element mismatch",
       with({{"riser_001.RawDam", "1 1E-3\n2 1E-3\n3 1E-3\n4 1E-3\n5 1E-3\n"},
             {"riser_002.RawDam", "1 1E-3\n2 1E-3\n3 1E-3\n4 1E-3\n"}}),
       two_cases,
       typical_prefix() + processing("riser_001.RawDam") + processing("riser_002.RawDam") +
           block("    Number of Element MisMatch!   ",
                 {{"    Case number                :  ", 2},
                  {"    Number of elem. in Case 1  :  ", 5},
                  {"    Number of elem. found      :  ", 4}}) +
           count_line(5)},
      {"hot-spot data missing",
       with({{"riser_001.RawDam", "1 1E-3 2E-3\n2 1E-3 2E-3\n"},
             {"riser_002.RawDam", "# head\n1 1E-3 2E-3\n\n2 1E-3\n"}}),
       two_cases,
       typical_prefix() + processing("riser_001.RawDam") + processing("riser_002.RawDam") +
           block("    HotSpot Data Missing !        ",
                 {{"    Case number                :  ", 2},
                  {"    Element Number             :  ", 2},
                  {"    Number of hots found       :  ", 1},
                  {"    Number of hots expected    :  ", 2}}) +
           count_line(3)},
      {"illegal character in a damage file",
       with({{"riser_001.RawDam", "TOP 1E-3 2E-3\n2 1E-3 X1\n"}}), two_cases,
       typical_prefix() + processing("riser_001.RawDam") +
           block("    Illegal Character found    ***",
                 {{"    Line Number                :  ", 2},
                  {"    Parameter number           :  ", 3}}) +
           count_line(2)},
      {"hot spots exceeded",
       with({{"riser_001.RawDam",
              "1 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21\n"
              "2 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21\n"}}),
       two_cases,
       typical_prefix() + processing("riser_001.RawDam") +
           block("    Number of HotSpots exceeded   ",
                 {{"    Specified number of HotS   :  ", 21},
                  {"    Maxumum available          :  ", 20}}) +
           count_line(3)},
      {"missing case file", with({{"riser_001.RawDam", "1 1E-3\n"}}), two_cases,
       typical_prefix() + processing("riser_001.RawDam") + " Cannot Open : riser_002.RawDam\r\n" +
           kErrorHeader + count_line(2)},
      {"case number wider than the digits",
       {{"probs.txt", "0 0 0 0 0 0 0 0 0.1 0.9\n"}, {"riser_9.RawDam", "1 1E-3\n"}},
       dialogue_answers{.first = "9", .last = "10", .digits = "1"}.text(),
       kBanner + kAllQuestions + assume(1) + kSeparator + processing("riser_9.RawDam") +
           "\r\n  *** ERROR IN CHARIN ***\r\n" +
           "\r\n\r\n   Actual integer number          :           10\r\n" +
           "   has more digits than specified :          1\r\n" +
           " Cannot Open : riser_.RawDam\r\n" + kErrorHeader + count_line(2)},
      {"case numbers beyond the tables", probs, "999\n1001\n",
       kBanner + kAskFirst + kAskLast +
           block("    Number of cases exceeded   ***",
                 {{"    Specified number of cases  :  ", 1001},
                  {"    Maxumum available          :  ", 1000}}) +
           count_line(0)},
      {"first case below 1", probs, "0\n2\n",
       kBanner + kAskFirst + kAskLast +
           block("    Number of cases exceeded   ***",
                 {{"    Specified number of cases  :  ", 0},
                  {"    Maxumum available          :  ", 1000}}) +
           count_line(0)},
  };
}

TEST(EndToEnd, ErrorEndingsReportAndExitWithOne) {
  for (const error_case& c : error_cases()) {
    SCOPED_TRACE(c.name);
    scratch_dir dir;
    for (const auto& [name, content] : c.files) dir.write(name, content);
    const run_result r = run_vantor(dir.path(), c.answers);
    EXPECT_EQ(r.out, c.expected_out);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 1);
  }
}

TEST(EndToEnd, ElementsExceededAfterTheWholeFile) {
  scratch_dir dir;
  std::string raw;
  for (int e = 1; e <= 3001; ++e) raw += std::to_string(e) + " 1.0E-3 2.0E-3\n";
  dir.write("probs.txt", "1.0\n");
  dir.write("riser_001.RawDam", raw);
  const run_result r = run_vantor(dir.path(), kOneCase);
  EXPECT_EQ(r.out, typical_prefix() + processing("riser_001.RawDam") +
                       block("    Number of elements exceeded   ",
                             {{"    Specified number of elems  :  ", 3001},
                              {"    Maxumum available          :  ", 3000}}) +
                       count_line(3002));
  EXPECT_EQ(r.status, 1);
}

TEST(EndToEnd, NonexistingProbabilityFileIsAskedAgain) {
  scratch_dir dir;
  write_typical_run(dir);
  const run_result r =
      run_vantor(dir.path(), dialogue_answers{.refused_files = {"nope.txt"}}.text());
  const std::string echo = " Nonexisting file :nope.txt" + std::string(248, ' ') + "\r\n";
  EXPECT_EQ(r.out, kBanner + kAskFirst + kAskLast + kAskFile + echo + kAskFile + kAskPrefix +
                       kAskDigits + assume(3) + kSeparator + processing("riser_001.RawDam") +
                       processing("riser_002.RawDam") + processing("riser_003.RawDam") +
                       count_line(4));
  EXPECT_EQ(r.status, 0);
}

TEST(EndToEnd, ScaleQuestionYesAndNo) {
  struct scale_case {
    const char* answer;
    bool scaled;
  };
  for (const scale_case& c : {scale_case{"", true}, scale_case{"yeah", true},
                              scale_case{"n", false}, scale_case{" y", false}}) {
    SCOPED_TRACE(c.answer);
    scratch_dir dir;
    dir.write("probs.txt", "0.5 0.25 0.25\n");
    dir.write("riser_002.RawDam", "1.0 1.0E-3\n");
    dir.write("riser_003.RawDam", "1.0 2.0E-3\n");
    const run_result r =
        run_vantor(dir.path(), dialogue_answers{.first = "2", .scale = c.answer}.text());
    std::string expected = kBanner + kAllQuestions + assume(3) +
                           "\r\n\r\n \r\n Sum of Probs not equal 1!  :       0.500\r\n" + kAskScale;
    if (c.scaled) expected += "\r\n Scaled with following fac. :       2.000\r\n";
    expected += kSeparator + processing("riser_002.RawDam") + processing("riser_003.RawDam") +
                count_line(2);
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.status, 0);
    // Every case of the run scaled, the last included; each file names its case.
    for (const char* n : {"002", "003"}) {
      const std::string weighted = dir.read(std::string("riser_") + n + ".WghDam");
      EXPECT_EQ(weighted.rfind(std::string("#    Case no   ") + n + " for Project: riser.", 0), 0u);
      EXPECT_NE(weighted.find(c.scaled ? "5.0000E-01" : "2.5000E-01"), std::string::npos);
    }
  }
}

// The sum is taken as 1 within 0.1 %: 1 / sum strictly between 0.999 and 1.001.
TEST(EndToEnd, ProbabilitySumTolerance) {
  for (const auto& [sum, asked] :
       {std::pair{"1.0009", false}, std::pair{"1.0011", true}, std::pair{"0.9991", false},
        std::pair{"0.9989", true}, std::pair{"1.0019", true}, std::pair{"0.9981", true}}) {
    SCOPED_TRACE(sum);
    scratch_dir dir;
    dir.write("probs.txt", std::string(sum) + "\n");
    dir.write("riser_001.RawDam", "1.0 1.0E-3\n");
    const run_result r = run_vantor(dir.path(), dialogue_answers{.last = "1", .scale = "n"}.text());
    EXPECT_EQ(r.out.find(" Sum of Probs not equal 1!") != std::string::npos, asked);
    EXPECT_EQ(r.status, 0);
  }
}

TEST(EndToEnd, LastCaseBelowFirstWritesAnEmptyReport) {
  scratch_dir dir;
  dir.write("probs.txt", "0.5 0.5\n");
  const run_result r =
      run_vantor(dir.path(), dialogue_answers{.first = "3", .last = "2", .scale = "y"}.text());
  EXPECT_EQ(r.out, kBanner + kAllQuestions + assume(3) +
                       "\r\n\r\n \r\n Sum of Probs not equal 1!  :       0.000\r\n" + kAskScale +
                       "\r\n Scaled with following fac. : Infinity   \r\n" + kSeparator +
                       count_line(2));
  EXPECT_EQ(r.status, 0);
  const std::string report = mask_date(dir.read("riser.AccDam"));
  EXPECT_NE(report.find("#    Summary of   0 cases for: riser."), std::string::npos);
  EXPECT_NE(report.find("(elements)     :     0\n"), std::string::npos);
  EXPECT_FALSE(dir.exists("riser_002.WghDam"));
}

TEST(EndToEnd, RankingTieAndLimitLives) {
  scratch_dir dir;
  dir.write("probs.txt", "1.0\n");
  // Sections 2 and 3 tie; section 5 has no positive damage (infinite life);
  // section 6 has a life too wide for its field.
  dir.write("riser_001.RawDam", "1 3.0E-3\n2 5.0E-3\n3 5.0E-3\n4 1.0E-3\n5 -1.0E-3\n6 1.0E-40\n");
  const run_result r = run_vantor(dir.path(), kOneCase);
  ASSERT_EQ(r.status, 0);
  const std::string report = dir.read("riser.AccDam");
  const std::string ranking = records({
      life_row("2.000", "5.0000E-03", "200.0"),
      life_row("3.000", "5.0000E-03", "200.0"),
      life_row("1.000", "3.0000E-03", "333.3"),
      life_row("4.000", "1.0000E-03", "1000.0"),
      life_row("6.000", "1.0000E-40", std::string(35, '*')),
      pad_left("5.000", 13) + pad_left("0.0000E+00", 12) + " Infinity" + std::string(26, ' '),
  });
  EXPECT_NE(report.find(ranking), std::string::npos) << report;
}

// SIN, COS and ** come from freeinput/math, not the C library: the same
// values on every platform, also where C libraries disagree (huge arguments,
// last bits amplified by subtracting the leading digits).
TEST(EndToEnd, ExpressionFunctionsGiveTheSameValuesEverywhere) {
  scratch_dir dir;
  dir.write("probs.txt", "1.0\n");
  dir.write("riser_001.RawDam",
            "1 SIN(1E300)\n"
            "2 COS(1E22)\n"
            "3 SIN(1E5)-.0357487979720165*1E18\n"
            "4 SIN(3.14159)*1E6-2.65358979335273*1E11\n"
            "5 COS(1E5)+.999840807438737*1E17\n"
            "6 SIN(5.3193726483265E255)-1*1E18\n"
            "7 COS(5.3193726483265E255)*1E18\n"
            "8 2**0.5-1.41421356237309*1E17\n"
            "9 1.0000001**1E7-2.71828169*1E9\n"
            "10 .5**1074*1E300*1E24\n"
            "11 7.5**13.25\n"
            "12 0-2**3\n"
            "13 SIN(-1E300)+COS(2**60)\n");
  const run_result r = run_vantor(dir.path(), kOneCase);
  ASSERT_EQ(r.status, 0);
  const std::string weighted = dir.read("riser_001.WghDam");
  EXPECT_NE(
      weighted.find(records(
          {"        1.000 -8.1788E-01", "        2.000  5.2321E-01", "        3.000  1.3878E+01",
           "        4.000  0.0000E+00", "        5.000  4.8000E+13", "        6.000 -1.7389E+18",
           "        7.000  6.7383E+17", "        8.000  5.1070E+02", "        9.000  4.1321E+00",
           "       10.000  4.9407E+00", "       11.000  3.9315E+11", "       12.000 -8.0000E+00",
           "       13.000  2.6109E-01"})),
      std::string::npos)
      << weighted;
}

TEST(EndToEnd, ProbabilitiesBeyondTheTableAreCountedNotStored) {
  scratch_dir dir;
  std::string probs = "1.0\n";
  for (int i = 0; i < 1500; ++i) probs += "0.0\n";
  dir.write("probs.txt", probs);
  dir.write("riser_001.RawDam", "1 1E-3\n");
  const run_result r = run_vantor(dir.path(), kOneCase);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, typical_prefix() + processing("riser_001.RawDam") + count_line(2));
}

// The end of the console input at each question asked on every run: fatal 24
// after the question.
TEST(EndToEnd, EndOfInputAtEachQuestion) {
  const std::vector<answer_line> lines = dialogue_answers{}.lines();
  std::string answers;
  std::string questions;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    questions += asked(lines[i].id);
    SCOPED_TRACE(answers);
    scratch_dir dir;
    write_typical_run(dir);
    const run_result r = run_vantor(dir.path(), answers);
    EXPECT_EQ(r.out, kBanner + questions);
    EXPECT_EQ(r.err, "forrtl: severe (24): end-of-file during read, unit 5, file CONIN$\n");
    EXPECT_EQ(r.status, 24);
    answers += lines[i].text + "\n";
  }
}

TEST(EndToEnd, UnreadableAnswersAreFatal) {
  const std::vector<std::tuple<std::string, std::string, int>> cases = {
      {"abc\n", "forrtl: severe (59): list-directed I/O syntax error, unit 5, file CONIN$\n", 59},
      {"99999999999\n", "forrtl: severe (64): input conversion error, unit 5, file CONIN$\n", 64},
      {dialogue_answers{.digits = "x"}.text(),
       "forrtl: severe (59): list-directed I/O syntax error, unit -5, file Internal List-Directed "
       "Read\n",
       59},
  };
  for (const auto& [answers, err, status] : cases) {
    SCOPED_TRACE(answers);
    scratch_dir dir;
    write_typical_run(dir);
    const run_result r = run_vantor(dir.path(), answers);
    EXPECT_EQ(r.err, err);
    EXPECT_EQ(r.status, status);
  }
}

// Only "--help" and "--version", each alone, are looked at; any other command
// line runs the dialogue as without arguments.
TEST(EndToEnd, CommandLine) {
  scratch_dir dir;
  const run_result help = run_vantor(dir.path(), "", {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.err, "");
  EXPECT_EQ(help.out.rfind("Usage: vantor ", 0), 0u);
  for (const char* text : {"Give First case", "Give Last  case", "probabilities", "Prefix",
                           "digits", ".RawDam", ".WghDam", ".AccDam", "vantor < answers.txt"}) {
    EXPECT_NE(help.out.find(text), std::string::npos) << text;
  }
  // Every question of the dialogue's table: its label and description on one
  // line, its condition and its example answer.
  for (const driver::question& q : driver::kDialogue) {
    const std::size_t at = help.out.find("\n  " + std::string(driver::label_of(q)) + " ");
    ASSERT_NE(at, std::string::npos) << q.prompt;
    const std::string line = help.out.substr(at + 1, help.out.find('\n', at + 1) - at - 1);
    EXPECT_NE(line.find(q.help.substr(0, q.help.find('\n'))), std::string::npos) << line;
    if (!q.when.empty()) {
      EXPECT_NE(help.out.find(q.when), std::string::npos) << q.when;
    }
    if (!q.example.empty()) {
      EXPECT_NE(help.out.find("\n  " + std::string(q.example) + "\n"), std::string::npos);
    }
    EXPECT_NE(help.out.find("\n  " + std::string(q.option) + " " + std::string(q.value) + " "),
              std::string::npos)
        << q.option;
  }
  const run_result version = run_vantor(dir.path(), "", {"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "vantor " VANTOR_VERSION "\n");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--help", "--version"}, {"-h"}, {"--HELP"}, {"--version "}, {"x"}}) {
    const run_result r = run_vantor(dir.path(), "", args);
    EXPECT_EQ(r.out, kBanner + kAskFirst) << args.front();
    EXPECT_EQ(r.status, 24);
  }
}

TEST(EndToEnd, InterruptWhileWaitingForAnAnswer) {
  if (test_launcher() != nullptr) GTEST_SKIP() << kNoSignalsThroughLauncher;
  struct signal_case {
    int signal;
    const char* event;
  };
  for (const signal_case& c :
       {signal_case{SIGINT, "control-C"}, signal_case{SIGQUIT, "control-BREAK"},
        signal_case{SIGHUP, "window-CLOSE"}, signal_case{SIGTERM, "window-CLOSE"}}) {
    SCOPED_TRACE(c.event);
    scratch_dir dir;
    const auto p = start(dir.path());
    // Wait until the first question is on the console.
    std::string out;
    char buf[4096];
    while (out.find(kAskFirst) == std::string::npos) {
      const ssize_t n = ::read(p->output(), buf, sizeof buf);
      ASSERT_GT(n, 0);
      out.append(buf, static_cast<std::size_t>(n));
    }
    ::kill(p->pid(), c.signal);
    out += slurp_fd(p->output());
    const std::string err = slurp_fd(p->error());
    EXPECT_EQ(p->wait().status, 128 + c.signal);
    EXPECT_EQ(out, kBanner + kAskFirst);
    EXPECT_EQ(err,
              std::string("forrtl: error (200): program aborting due to ") + c.event + " event\n");
  }
}

}  // namespace
}  // namespace vantor::testing

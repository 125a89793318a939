// Runs scripted with answer options against the same answers typed: the same
// files and status, and the console of a terminal session (each answer shown
// after its question); malformed options refused before anything happens.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/dialogue.h"
#include "tests/e2e/harness.h"
#include "tests/support/answers.h"
#include "tests/support/expected.h"

namespace vantor::testing {
namespace {

using driver::question_id;

const std::vector<std::string> kRunFiles = {"riser_001.WghDam", "riser_002.WghDam",
                                            "riser_003.WghDam", "riser.AccDam"};

// The console of the typed run with each answer given as an option written
// after its question, the line then ended.
std::string with_echoes(std::string typed, const dialogue_answers& a,
                        const std::vector<question_id>& by_option) {
  std::size_t from = 0;
  for (const answer_line& line : a.lines()) {
    const std::string prompt(driver::prompt_of(line.id));
    const std::size_t at = typed.find(prompt, from);
    if (at == std::string::npos) break;  // the run ended before this question
    from = at + prompt.size();
    if (!dialogue_answers::answered_by(by_option, line.id)) continue;
    typed.insert(from, line.text + "\r\n");
    from += line.text.size() + 2;
  }
  return typed;
}

TEST(AnswerOptions, SameFilesAndStatusAsTheAnswersTyped) {
  const std::vector<question_id> all = {question_id::first_case,       question_id::last_case,
                                        question_id::probability_file, question_id::prefix,
                                        question_id::digits,           question_id::scale};
  struct option_case {
    const char* what;
    dialogue_answers answers;
    std::vector<question_id> by_option;
    const char* probabilities = "0.5 0.3 0.2\n";
  };
  const option_case cases[] = {
      {"every answer", {}, all},
      {"digits given", {.digits = "3"}, all},
      {"the cases only", {}, {question_id::first_case, question_id::last_case}},
      {"prefix and digits", {.digits = "003"}, {question_id::prefix, question_id::digits}},
      {"scaled", {.scale = "yes"}, all, "0.25 0.25 0.25\n"},
      {"not scaled", {.scale = "no"}, all, "0.25 0.25 0.25\n"},
      {"first case out of range", {.first = "0"}, all},
      {"digits too few", {.digits = "0"}, all},
      {"unknown prefix", {.prefix = "pipe"}, all},
  };
  for (const option_case& c : cases) {
    SCOPED_TRACE(c.what);
    scratch_dir typed_dir;
    scratch_dir option_dir;
    for (const scratch_dir* d : {&typed_dir, &option_dir}) {
      write_typical_run(*d);
      d->write("probs.txt", c.probabilities);
    }
    const run_result typed = run_vantor(typed_dir.path(), c.answers.text());
    const run_result scripted = run_vantor(option_dir.path(), c.answers.text_without(c.by_option),
                                           c.answers.options(c.by_option));
    EXPECT_EQ(scripted.status, typed.status);
    EXPECT_EQ(scripted.err, typed.err);
    EXPECT_EQ(scripted.out, with_echoes(typed.out, c.answers, c.by_option));
    for (const std::string& name : kRunFiles) {
      EXPECT_EQ(option_dir.exists(name), typed_dir.exists(name)) << name;
      EXPECT_EQ(mask_date(option_dir.read(name)), mask_date(typed_dir.read(name))) << name;
    }
  }
}

// The shipped example (5 cases, 120 sections, 8 hot spots) scripted: the files
// of its answers file, byte for byte but the date stamps.
TEST(AnswerOptions, ShippedExampleAsOptions) {
  scratch_dir typed_dir;
  scratch_dir option_dir;
  const fs::path example = fs::path(VANTOR_SOURCE_DIR) / "examples/riser";
  for (const auto& file : fs::directory_iterator(example)) {
    for (const scratch_dir* d : {&typed_dir, &option_dir}) {
      fs::copy_file(file.path(), d->path() / file.path().filename());
    }
  }
  const run_result typed = run_vantor(typed_dir.path(), typed_dir.read("answers.txt"));
  const run_result scripted = run_vantor(option_dir.path(), "",
                                         {"--first", "1", "--last", "5", "--probabilities",
                                          "probs.txt", "--prefix", "riser", "--digits", ""});
  ASSERT_EQ(typed.status, 0);
  EXPECT_EQ(scripted.status, 0) << scripted.err;
  for (const auto& file : fs::directory_iterator(typed_dir.path())) {
    const std::string name = file.path().filename().string();
    EXPECT_EQ(mask_date(option_dir.read(name)), mask_date(typed_dir.read(name))) << name;
  }
}

// A probability file named by its option that does not open is reported as
// a typed one is, and then asked for on the console.
TEST(AnswerOptions, ProbabilityFileThatDoesNotOpenIsAskedAgain) {
  scratch_dir dir;
  write_typical_run(dir);
  const run_result r = run_vantor(dir.path(), "probs.txt\n",
                                  {"--probabilities", "nope.txt", "--first", "1", "--last", "3",
                                   "--prefix", "riser", "--digits", "3"});
  EXPECT_EQ(r.status, 0);
  const std::string ask_file(driver::prompt_of(question_id::probability_file));
  EXPECT_NE(r.out.find(ask_file + "nope.txt\r\n Nonexisting file :nope.txt"), std::string::npos);
  EXPECT_TRUE(dir.exists("riser.AccDam"));
}

TEST(AnswerOptions, MalformedOptionsEndWithStatusTwoBeforeAnything) {
  const std::vector<std::vector<std::string>> refused = {
      {"--first", "x"},          {"--first", "1.5"},    {"--last", "99999999999"},
      {"--digits", "three"},     {"--scale", "maybe"},  {"--scale", "Y"},
      {"--first", "1", "extra"}, {"--first"},           {"--last", "2", "--last", "3"},
      {"--prefix", "a\nb"},      {"--first", "1", "-h"}};
  for (const std::vector<std::string>& args : refused) {
    SCOPED_TRACE(args.front() + " " + (args.size() > 1 ? args[1] : ""));
    scratch_dir dir;
    write_typical_run(dir);
    const run_result r = run_vantor(dir.path(), kTypicalAnswers, args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("vantor: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("\nUsage: vantor [--first N]"), std::string::npos) << r.err;
    EXPECT_FALSE(dir.exists("riser.AccDam"));
  }
}

}  // namespace
}  // namespace vantor::testing

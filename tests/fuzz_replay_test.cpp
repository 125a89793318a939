// The fuzz targets (fuzz/targets.h) over their seed corpus and over the
// regression inputs of every fault the fuzzers found. Each input runs in a child
// process, since a target changes the current directory and the unit table;
// the child must end cleanly, and the runs named below must end as stated.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/targets.h"
#include "tests/e2e/harness.h"
#include "tests/support/answers.h"
#include "textio/records/writer.h"

namespace vantor::fuzz {
namespace {

using vantor::testing::dialogue_answers;

enum class target { reader, dialogue, run };

struct outcome {
  bool clean = false;  // the child ended by itself, with no report of a broken promise
  int status = -2;     // exit status of the run (-1 when it was not run)
  std::string err;     // what the child wrote on standard error
};

// The child's exit code carries the run status, moved clear of the codes of
// the sanitizers (1) and of the shell (126, 127).
constexpr int kStatusBase = 130;

outcome replay(target t, const std::string& input) {
  testing::scratch_dir folder;
  testing::child_spec spec;
  spec.out = testing::stream::to_file("/dev/null");
  spec.body = [&] {
    enter_work_folder(folder.path());
    const std::span<const std::uint8_t> data(reinterpret_cast<const std::uint8_t*>(input.data()),
                                             input.size());
    int status = -1;
    switch (t) {
      case target::reader:
        read_to_end(data);
        break;
      case target::dialogue:
        status = dialogue(data);
        break;
      case target::run:
        status = whole_run(data);
        break;
    }
    return kStatusBase + status;
  };
  const testing::child_result r = testing::run_child(spec);
  outcome o;
  o.err = r.err;
  if (r.status >= kStatusBase - 1 && r.status < 1000) {
    o.clean = true;
    o.status = r.status - kStatusBase;
  }
  return o;
}

std::vector<std::filesystem::path> inputs_of(const char* name) {
  std::vector<std::filesystem::path> files;
  const std::filesystem::path fuzz = std::filesystem::path(VANTOR_SOURCE_DIR) / "fuzz";
  for (const char* kind : {"corpus", "regressions"}) {
    for (const auto& entry : std::filesystem::directory_iterator(fuzz / kind / name)) {
      files.push_back(entry.path());
    }
  }
  return files;
}

TEST(FuzzReplay, EveryCorpusAndRegressionInputRunsClean) {
  const std::pair<target, const char*> targets[] = {
      {target::reader, "reader"}, {target::dialogue, "dialogue"}, {target::run, "run"}};
  for (const auto& [t, name] : targets) {
    const std::vector<std::filesystem::path> files = inputs_of(name);
    EXPECT_GT(files.size(), 1U) << name;
    for (const auto& file : files) {
      SCOPED_TRACE(file.string());
      const outcome o = replay(t, get_file(file));
      EXPECT_TRUE(o.clean) << o.err;
    }
  }
}

// The targets see the endings of the runs they drive: a harness that lost the
// run (status -1) or its console would check nothing.
TEST(FuzzReplay, TargetsSeeHowTheRunEnded) {
  struct status_case {
    target t;
    const char* seed;
    int status;
  };
  const status_case cases[] = {
      {target::dialogue, "typical", 0},
      {target::dialogue, "asked_again", 0},
      {target::dialogue, "beyond_tables", 1},
      {target::dialogue, "digits_too_few", 1},
      {target::dialogue, "odd_answers", textio::kErrSyntax},
      {target::dialogue, "long_prefix", textio::kErrOverflow},
      {target::run, "typical", 0},
      {target::run, "thirds", 0},
      {target::run, "hot_spot_missing", 1},
      {target::run, "hot_spots_exceeded", 1},
      {target::run, "element_mismatch", 1},
  };
  const std::filesystem::path corpus = std::filesystem::path(VANTOR_SOURCE_DIR) / "fuzz/corpus";
  for (const status_case& c : cases) {
    SCOPED_TRACE(c.seed);
    const char* folder = c.t == target::run ? "run" : "dialogue";
    const outcome o = replay(c.t, get_file(corpus / folder / c.seed));
    EXPECT_TRUE(o.clean) << o.err;
    EXPECT_EQ(o.status, c.status) << o.err;
  }
}

TEST(FuzzReplay, EndOfAnswersAndPathsInAnswers) {
  struct answer_case {
    std::string answers;
    int status;
  };
  const answer_case cases[] = {
      {"", textio::kErrEndOfFile},
      {dialogue_answers{}.text(driver::question_id::probability_file), textio::kErrEndOfFile},
      {"1\n/\n", textio::kErrEndOfFile},
      // Typed paths leave the work folder: not run.
      {dialogue_answers{.probability_file = "../probs.txt"}.text(), -1},
      {dialogue_answers{.prefix = "/tmp/riser"}.text(), -1},
  };
  for (const answer_case& c : cases) {
    SCOPED_TRACE(c.answers);
    const outcome o = replay(target::dialogue, c.answers);
    EXPECT_TRUE(o.clean) << o.err;
    EXPECT_EQ(o.status, c.status) << o.err;
  }
}

// A write that fails in the middle of a statement (a record of it written,
// the next one pending) ends the run once under the harness: the report once,
// the status returned, no second fatal while the statement unwinds.
TEST(FuzzReplay, WriteFailingInTheMiddleOfAStatement) {
  testing::scratch_dir folder;
  testing::child_spec spec;
  spec.body = [&] {
    enter_work_folder(folder.path());
    const int status = until_run_ends([] {
      textio::open_spec spec;
      spec.name = "/dev/full";
      if (textio::open_unit(kReadUnit, spec) != 0) std::abort();
      static constexpr auto kTwoRecords = textio::layout_of("(A,/,A)");
      const std::string text(4096, 'x');
      for (;;)
        textio::write(kReadUnit, kTwoRecords, std::string_view(text), std::string_view(text));
    });
    return kStatusBase + status;
  };
  const int status = testing::run_child(spec).status;
  ASSERT_LT(status, 1000) << "ended by signal " << status - 1000;
  EXPECT_EQ(status, kStatusBase + textio::kErrWrite);
}

}  // namespace
}  // namespace vantor::fuzz

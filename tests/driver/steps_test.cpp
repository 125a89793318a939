// Steps of a run called in the test's process, on the reserved tables: what
// each takes and gives, without a console dialogue.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "driver/run.h"
#include "driver/state.h"
#include "freeinput/files.h"
#include "fuzz/fuzz_support.h"
#include "textio/units/units.h"

namespace vantor::driver {
namespace {

namespace fs = std::filesystem;

class RunSteps : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::path(::testing::TempDir()) / "vantor_steps_XXXXXX").native();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    reset_run_tables();
  }
  void TearDown() override {
    textio::close_unit(kUnitProb);
    reset_run_tables();
    fs::remove_all(dir_);
  }
  std::string path(const std::string& name) const { return (dir_ / name).native(); }

  fs::path dir_;
};

// LINCNT counts the records of the file, its end included, but not its
// comment lines; ICASE's count of values is checked against ILAST.
TEST_F(RunSteps, ProbabilityStepGivesTheRecordCountAndFillsTheTable) {
  std::ofstream(path("prob.txt")) << "' cases 1 to 3\n0.5 0.25\n\n0.25\n";
  int ierr = 0;
  freeinput::OPNSEQ(path("prob.txt"), kUnitProb, 1, ierr);
  ASSERT_EQ(ierr, 0);
  run_tables& t = reserved_tables();
  EXPECT_EQ(build_probability_table({1, 3, 3}, t, {}), 3);
  EXPECT_EQ(t.PROB[0], 0.5);
  EXPECT_EQ(t.PROB[1], 0.25);
  EXPECT_EQ(t.PROB[2], 0.25);
  EXPECT_EQ(t.PROB[3], 0.0);
}

// The report takes the accumulated damage and gives the largest damage of
// each section and the ranking, heaviest first, ties to the lower section.
TEST_F(RunSteps, ReportRanksSectionsByTheirHeaviestHotSpot) {
  run_tables& t = reserved_tables();
  const case_shape shape{12, 2};
  for (int e = 0; e < shape.NELEM; ++e) {
    t.SCOO[static_cast<std::size_t>(e)] = 10.0 * e;
    t.ACCDAM[static_cast<std::size_t>(e)][0] = 1e-4 * (e % 5);
    t.ACCDAM[static_cast<std::size_t>(e)][1] = e == 7 ? 9e-4 : 0.0;
  }
  case_naming naming;
  textio::assign(naming.prefix, path("riser"));
  textio::blank_fill(naming.date_text);
  write_report({1, 2, 2}, naming, shape, t, 0);

  EXPECT_EQ(t.MAXDAM[7], 9e-4);
  EXPECT_EQ(t.MAXDAM[4], 4e-4);
  const int expected[] = {8, 5, 10, 4, 9};  // section numbers, from 1
  for (std::size_t k = 0; k < std::size(expected); ++k) EXPECT_EQ(t.IHEAVY[k], expected[k]) << k;
  // The ranked rows come before the table of every section in order.
  std::stringstream text;
  text << std::ifstream(path("riser.AccDam")).rdbuf();
  const std::string report = text.str();
  EXPECT_LT(report.find("       70.000"), report.find("       50.000"));
  EXPECT_EQ(report.back(), '\n');
}

}  // namespace
}  // namespace vantor::driver

// vantor-plot --total: the fatigue sources of one riser added hot spot by hot
// spot, checked against the sum taken here from the sources' reports; sources
// of another riser refused.
#include <algorithm>
#include <string>
#include <vector>

#include "tests/plot/plot_support.h"

namespace vantor::testing {
namespace {

// A finished run "pipe" in its own folder of dir: the cases of make_run with
// the raw damage of each case reshaped by the arguments.
void make_source(const scratch_dir& dir, const std::string& folder, const std::string& probs,
                 int sections = kSections, int hot_spots = kHotSpots, double shift = 0.0,
                 double sign = 1.0) {
  std::filesystem::create_directory(dir.path() / folder);
  for (int c = 1; c <= kCases; ++c) {
    dir.write(folder + "/" + case_file_name("pipe", c, 3, ".RawDam"),
              raw_damage_text({c, sections, hot_spots,
                               [shift](int e) { return e * 2.5 + (e == 5 ? shift : 0.0); },
                               [c, sign](int e, int j) {
                                 return sign * (1 + (c * 7 + e * 13 + j * 5) % 17) * 1e-4;
                               }}));
  }
  dir.write(folder + "/probs.txt", probs);
  const run_result r = run_vantor(dir.path() / folder, "1\n3\nprobs.txt\npipe\n\n");
  ASSERT_EQ(r.status, 0) << r.out;
}

std::vector<double> csv_numbers(const std::string& line) {
  std::vector<double> out;
  for (const std::string& cell : split(line, ','))
    out.push_back(std::strtod(cell.c_str(), nullptr));
  return out;
}

TEST(PlotTotal, SumsTheReportsMatricesHotSpotByHotSpot) {
  scratch_dir dir;
  make_source(dir, "wave", "0.5 0.3 0.2\n");
  make_source(dir, "viv", "0.1 0.1 0.8\n");
  const run_result r =
      run_plot(dir.path(), {"--total", "--label", "wave", "--label", "viv", "--factor", "1",
                            "--factor", "3", "--design-life", "1000", "wave/pipe", "viv/pipe"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "vantor-plot: wrote total.svg, total.sections.csv, total.matrix.csv and total.html\n");
  std::string why;
  EXPECT_TRUE(well_formed(dir.read("total.svg"), why)) << why;

  const auto wave = rows_after(dir.read("wave/pipe.AccDam"), "#    Print of full matrix.");
  const auto viv = rows_after(dir.read("viv/pipe.AccDam"), "#    Print of full matrix.");
  const std::vector<std::string> matrix = lines_of(dir.read("total.matrix.csv"));
  const std::vector<std::string> sections = lines_of(dir.read("total.sections.csv"));
  ASSERT_EQ(matrix.size(), kSections + 1u);
  ASSERT_EQ(sections.size(), kSections + 1u);
  EXPECT_EQ(sections[0],
            "section,S_Coo,worst hot spot,total damage,fatigue life,wave damage,wave share (%),"
            "viv damage,viv share (%),R / life,result");
  for (std::size_t e = 0; e < kSections; ++e) {
    const std::vector<double> row = csv_numbers(matrix[e + 1]);
    ASSERT_EQ(row.size(), 2u + kHotSpots);
    EXPECT_EQ(row[1], wave[e][0]);
    std::vector<double> expected;
    for (std::size_t j = 1; j <= kHotSpots; ++j) expected.push_back(wave[e][j] + 3.0 * viv[e][j]);
    EXPECT_EQ(std::vector<double>(row.begin() + 2, row.end()), expected) << e;

    // Sections are in S_Coo order, which is the section order here.
    const std::vector<std::string> cells = split(sections[e + 1], ',');
    ASSERT_EQ(cells.size(), 11u);
    const auto worst = std::max_element(expected.begin(), expected.end()) - expected.begin();
    EXPECT_EQ(cells[2], std::to_string(worst + 1));
    EXPECT_EQ(std::strtod(cells[3].c_str(), nullptr), expected[static_cast<std::size_t>(worst)]);
    EXPECT_NEAR(std::strtod(cells[6].c_str(), nullptr) + std::strtod(cells[8].c_str(), nullptr),
                100.0, 1e-9);
    EXPECT_EQ(cells[10], std::strtod(cells[4].c_str(), nullptr) < 1000.0 ? "fail" : "pass");
  }
}

TEST(PlotTotal, SourcesOfAnotherRiserAreRefused) {
  struct mismatch {
    const char* what;
    int sections;
    int hot_spots;
    double shift;
    double sign;
    const char* message;
  };
  for (const mismatch& m : {
           mismatch{"sections", kSections - 1, kHotSpots, 0.0, 1.0, "29 sections, a has 30"},
           mismatch{"hot spots", kSections, kHotSpots + 1, 0.0, 1.0, "5 hot spots, a has 4"},
           mismatch{"S_Coo", kSections, kHotSpots, 0.5, 1.0,
                    "section 6 at S_Coo 13.000, a has 12.500"},
           mismatch{"negative damage", kSections, kHotSpots, 0.0, -1.0,
                    "section 1, hot spot 1: the damage"},
       }) {
    SCOPED_TRACE(m.what);
    scratch_dir dir;
    make_source(dir, "a", "0.5 0.3 0.2\n");
    make_source(dir, "b", "0.5 0.3 0.2\n", m.sections, m.hot_spots, m.shift, m.sign);
    const run_result r =
        run_plot(dir.path(), {"--total", "--label", "a", "--label", "b", "a/pipe", "b/pipe"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("vantor-plot: b/pipe.AccDam: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(m.message), std::string::npos) << r.err;
    EXPECT_FALSE(dir.exists("total.matrix.csv"));
  }
}

}  // namespace
}  // namespace vantor::testing

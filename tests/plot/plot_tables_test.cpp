// The whole riser as a table (PREFIX.sections.csv) against the report's
// section table, and the comparison of runs (--compare): its picture's
// panels, curves and table against each run's own report.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#ifdef VANTOR_PLOT_BINARY

#include "tests/plot/plot_support.h"

namespace vantor::testing {
namespace {

// A finished generated run of that shape in dir/folder, prefix "riser".
void make_generated_run(const scratch_dir& dir, const std::string& folder, run_shape shape) {
  write_realistic_run(dir.path() / folder, shape);
  const run_result v = run_vantor(dir.path() / folder, dir.read(folder + "/answers.txt"));
  ASSERT_EQ(v.status, 0) << v.err;
}

// Every row against the report's section table, read as numbers, on a
// 3000-section run with a required life: S_Coo, damage and life exactly,
// infinite lives as "inf", the worst hot spot from the matrix.
TEST(PlotTables, SectionsCsvHoldsTheReportsSectionTable) {
  scratch_dir d;
  make_generated_run(d, "run", {2, 3000, 20});
  const fs::path run = d.path() / "run";
  ASSERT_EQ(run_plot(run, {"--design-life", "25", "--dff", "3", "riser"}).status, 0);
  const std::string report = d.read("run/riser.AccDam");
  const auto sections = rows_after(report, "#    Print of Max Damage");
  const auto matrix = rows_after(report, "#    Print of full matrix.");
  const std::vector<std::string> lines = lines_of(d.read("run/riser.sections.csv"));
  ASSERT_EQ(sections.size(), 3000u);
  ASSERT_EQ(matrix.size(), 3000u);
  ASSERT_EQ(lines.size(), 3001u);
  EXPECT_EQ(lines[0], "section,S_Coo,worst hot spot,damage,fatigue life,R / life,result");
  for (std::size_t k = 0; k < sections.size(); ++k) {
    const std::vector<std::string> cells = split(lines[k + 1], ',');
    ASSERT_EQ(cells.size(), 7u) << lines[k + 1];
    EXPECT_EQ(cells[0], std::to_string(k + 1));
    EXPECT_EQ(std::strtod(cells[1].c_str(), nullptr), sections[k][0]) << lines[k + 1];
    EXPECT_EQ(std::strtod(cells[3].c_str(), nullptr), sections[k][1]) << lines[k + 1];
    const double life = std::strtod(cells[4].c_str(), nullptr);
    if (sections[k].size() > 2) {
      EXPECT_EQ(life, sections[k][2]) << lines[k + 1];
    }
    const auto worst = std::max_element(matrix[k].begin() + 1, matrix[k].end()) - matrix[k].begin();
    EXPECT_EQ(cells[2], std::to_string(worst)) << lines[k + 1];
    EXPECT_EQ(std::strtod(cells[5].c_str(), nullptr), 75.0 / life) << lines[k + 1];
    EXPECT_EQ(cells[6], life < 75.0 ? "fail" : "pass") << lines[k + 1];
  }
}

// The header names the units given; a section without damage has an
// infinite life, written so that CSV readers take it as a number.
TEST_F(PlotRun, SectionsCsvHeaderAndInfiniteLife) {
  const struct {
    std::vector<std::string> args;
    std::string header;
  } cases[] = {
      {{}, "section,S_Coo,worst hot spot,damage,fatigue life"},
      {{"--length-unit", "m", "--life-unit", "years, \"calendar\""},
       "section,S_Coo (m),worst hot spot,damage,\"fatigue life (years, \"\"calendar\"\")\""},
      {{"--design-life", "25"}, "section,S_Coo,worst hot spot,damage,fatigue life,R / life,result"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args;
    args.push_back("pipe");
    ASSERT_EQ(run_plot(dir_.path(), args).status, 0);
    const std::string csv = dir_.read("pipe.sections.csv");
    const std::vector<std::string> lines = lines_of(csv);
    ASSERT_EQ(lines.size(), 1u + kSections);
    EXPECT_EQ(lines[0], c.header);
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\r'), 1 + kSections);
    EXPECT_EQ(split(lines[1 + kNoDamage], ',')[4], "inf");
  }
}

// Two runs of the same sections (other seeds) and runs of other section
// counts: the panels, a curve per run and panel, the ratio only where the
// sections are shared, and the table as each run's own report gives it.
TEST(PlotCompare, RunsSideBySide) {
  const struct {
    const char* name;
    std::vector<run_shape> shapes;
    std::vector<std::string> extra;
    std::string note;  // the line why there is no ratio panel; empty where there is one
  } cases[] = {
      {"other seeds", {{3, 120, 8}, {3, 120, 8, 7}}, {}, ""},
      {"other section counts",
       {{3, 120, 8}, {2, 80, 8}},
       {"--label", "stress joint", "--output", "joint.svg"},
       "no damage ratio of run 2 to run 1: 80 sections against 120"},
  };
  for (const auto& c : cases) {
    scratch_dir d;
    std::vector<std::string> args = c.extra;
    args.push_back("--compare");
    for (std::size_t k = 0; k < c.shapes.size(); ++k) {
      args.push_back("run" + std::to_string(k + 1));
      make_generated_run(d, args.back(), c.shapes[k]);
    }
    const run_result r = run_plot(d.path(), args);
    ASSERT_EQ(r.status, 0) << c.name << ": " << r.err;
    const std::string name = c.note.empty() ? "compare" : "joint";
    EXPECT_EQ(r.out, "vantor-plot: wrote " + name + ".svg and " + name + ".html\n") << c.name;
    const std::string svg = d.read(name + ".svg");
    std::string why;
    EXPECT_TRUE(well_formed(svg, why)) << c.name << ": " << why;
    EXPECT_NE(d.read(name + ".html").find("<figure id=\"picture\">\n<svg "), std::string::npos);
    const std::string first_label = c.note.empty() ? "riser in run1" : "stress joint";
    EXPECT_NE(svg.find(">1  " + first_label + "</text>"), std::string::npos) << c.name;
    EXPECT_NE(svg.find(">2  riser in run2</text>"), std::string::npos) << c.name;
    for (const std::string panel : {"damage", "life"}) {
      EXPECT_EQ(count_of(panel_of(svg, panel), "<path class=\"curve\""), c.shapes.size())
          << c.name << " " << panel;
    }
    EXPECT_EQ(panel_of(svg, "ratio").empty(), !c.note.empty()) << c.name;
    if (!c.note.empty()) {
      EXPECT_NE(svg.find(">" + c.note + "</text>"), std::string::npos) << c.name;
    }
    // The table: run, cases, sections, minimum life, its S_Coo, section, hot
    // spot; minimum life and S_Coo as the run's report writes its heaviest.
    std::vector<std::string> cells;
    const std::regex cell(R"re(<text class="table-cell"[^>]*>([^<]*)</text>)re");
    for (std::sregex_iterator it(svg.begin(), svg.end(), cell), end; it != end; ++it) {
      cells.push_back((*it)[1]);
    }
    ASSERT_EQ(cells.size(), 7 * c.shapes.size()) << c.name;
    for (std::size_t k = 0; k < c.shapes.size(); ++k) {
      const std::vector<std::string> report =
          lines_of(d.read("run" + std::to_string(k + 1) + "/riser.AccDam"));
      const auto first = std::find_if(report.begin() + 9, report.end(),
                                      [](const std::string& l) { return !l.starts_with("#"); });
      ASSERT_NE(first, report.end());
      std::istringstream heaviest(*first);
      std::string coordinate, damage, life;
      heaviest >> coordinate >> damage >> life;
      const auto row = cells.begin() + static_cast<std::ptrdiff_t>(7 * k);
      EXPECT_EQ(row[1], std::to_string(c.shapes[k].cases)) << c.name;
      EXPECT_EQ(row[2], std::to_string(c.shapes[k].sections)) << c.name;
      EXPECT_EQ(row[3], life) << c.name << " run " << k + 1;
      EXPECT_EQ(row[4], coordinate) << c.name << " run " << k + 1;
      // Generated runs have their sections 10 apart.
      const double at = std::strtod(coordinate.c_str(), nullptr) / 10.0 *
                        (c.shapes[k].sections - 1) / c.shapes[k].sections;
      EXPECT_EQ(row[5], std::to_string(std::lround(at) + 1)) << c.name;
    }
  }
}

}  // namespace
}  // namespace vantor::testing

#endif  // VANTOR_PLOT_BINARY

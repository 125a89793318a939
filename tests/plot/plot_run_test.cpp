// vantor-plot over real runs of vantor: the CSV's numbers against sums made
// here from the weighted damage files, the SVG's structure, the outputs'
// names, and the command's own answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#ifdef VANTOR_PLOT_BINARY

#include "tests/plot/plot_support.h"

namespace vantor::testing {
namespace {

TEST_F(PlotRun, SharesAddUpFromTheWeightedFiles) {
  const run_result r = run_plot(dir_.path(), {"pipe"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "vantor-plot: wrote pipe.svg, pipe.Contrib.csv, pipe.sections.csv and pipe.html\n");

  const std::string report = dir_.read("pipe.AccDam");
  const auto ranking = rows_after(report, "#    Print of  the");
  const auto matrix = rows_after(report, "#    Print of full matrix.");
  ASSERT_EQ(ranking.size(), 10u);
  ASSERT_EQ(matrix.size(), static_cast<std::size_t>(kSections));
  std::vector<std::vector<std::vector<double>>> weighted;
  for (int c = 1; c <= kCases; ++c) {
    weighted.push_back(rows_after(dir_.read("pipe_00" + std::to_string(c) + ".WghDam"), ""));
  }

  const std::string csv = dir_.read("pipe.Contrib.csv");
  EXPECT_NE(csv.find("\r\n"), std::string::npos);
  const std::vector<std::string> lines = lines_of(csv);
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[0],
            "rank,section,S_Coo,worst hot spot,damage,fatigue life,case 001 (%),case 002 (%),case "
            "003 (%)");
  std::vector<std::vector<double>> shares;  // by rank, then case
  for (std::size_t k = 0; k < 10; ++k) {
    const std::vector<std::string> all = split(lines[k + 1], ',');
    ASSERT_EQ(all.size(), 6u + kCases) << lines[k + 1];
    EXPECT_EQ(all[0], std::to_string(k + 1));
    const double coordinate = std::strtod(all[2].c_str(), nullptr);
    EXPECT_EQ(all[1], std::to_string(std::lround(coordinate / 2.5) + 1));
    // The round trip gives the report's values.
    EXPECT_EQ(coordinate, ranking[k][0]);
    EXPECT_EQ(std::strtod(all[4].c_str(), nullptr), ranking[k][1]);
    if (ranking[k].size() > 2) {
      EXPECT_EQ(std::strtod(all[5].c_str(), nullptr), ranking[k][2]);
    }
    // The old layout from here on: S_Coo, hot spot, damage, shares.
    std::vector<std::string> cells = {all[2], all[3], all[4]};
    cells.insert(cells.end(), all.begin() + 6, all.end());
    const auto e = static_cast<std::size_t>(std::lround(coordinate / 2.5));
    ASSERT_EQ(matrix[e][0], coordinate);
    const auto worst = static_cast<std::size_t>(
        std::max_element(matrix[e].begin() + 1, matrix[e].end()) - matrix[e].begin());
    EXPECT_EQ(cells[1], std::to_string(worst));
    double total = 0.0;
    for (int c = 0; c < kCases; ++c) total += weighted[c][e][worst];
    double sum = 0.0;
    shares.emplace_back();
    for (int c = 0; c < kCases; ++c) {
      const double share = std::strtod(cells[3 + c].c_str(), nullptr);
      shares.back().push_back(share);
      EXPECT_NEAR(share, 100.0 * weighted[c][e][worst] / total, 0.0005) << lines[k + 1];
      sum += share;
    }
    EXPECT_NEAR(sum, 100.0, 0.002) << lines[k + 1];
  }

  // The long form: one row per (rank, case), by rank and decreasing share.
  ASSERT_EQ(run_plot(dir_.path(), {"--long", "pipe"}).status, 0);
  const std::vector<std::string> rows = lines_of(dir_.read("pipe.Contrib.csv"));
  ASSERT_EQ(rows.size(), 1u + 10 * kCases);
  EXPECT_EQ(rows[0], "rank,section,S_Coo,case,probability,weighted damage,share (%)");
  const std::vector<double> probabilities = {0.5, 0.3, 0.2};
  for (std::size_t i = 1; i < rows.size(); ++i) {
    const std::vector<std::string> cells = split(rows[i], ',');
    ASSERT_EQ(cells.size(), 7u) << rows[i];
    const std::size_t rank = std::stoul(cells[0]);
    const int c = std::stoi(cells[3]);
    ASSERT_TRUE(rank >= 1 && rank <= 10 && c >= 1 && c <= kCases) << rows[i];
    EXPECT_EQ(rank, (i - 1) / kCases + 1) << rows[i];
    EXPECT_EQ(std::strtod(cells[4].c_str(), nullptr), probabilities[c - 1]) << rows[i];
    EXPECT_EQ(std::strtod(cells[6].c_str(), nullptr), shares[rank - 1][c - 1]) << rows[i];
    if ((i - 1) % kCases != 0) {
      EXPECT_LE(std::strtod(cells[6].c_str(), nullptr),
                std::strtod(split(rows[i - 1], ',')[6].c_str(), nullptr))
          << rows[i];
    }
  }
}

TEST_F(PlotRun, PictureStructure) {
  ASSERT_EQ(run_plot(dir_.path(), {"pipe.AccDam"}).status, 0);
  const std::string svg = dir_.read("pipe.svg");
  std::string why;
  EXPECT_TRUE(well_formed(svg, why)) << why;
  EXPECT_NE(svg.find(">Summary of 3 cases for: pipe. Date : "), std::string::npos);
  for (const char* label : {">damage<", ">fatigue life = 1 / damage<", ">S_Coo<", ">hot spot<"}) {
    EXPECT_NE(svg.find(label), std::string::npos) << label;
  }

  const auto sections = rows_after(dir_.read("pipe.AccDam"), "#    Print of Max Damage");
  const auto ranking = rows_after(dir_.read("pipe.AccDam"), "#    Print of  the");
  ASSERT_EQ(sections.size(), static_cast<std::size_t>(kSections));
  EXPECT_EQ(sections[kNoDamage][2], HUGE_VAL);
  EXPECT_EQ(sections[kTinyDamage].size(), 2u);  // the life is asterisks

  // Ten labels, the ranks in the ranking's order at its sections.
  std::vector<std::string> labels;
  const std::regex label(R"re(<text class="label rank"[^>]*>([^<]*)</text>)re");
  for (std::sregex_iterator it(svg.begin(), svg.end(), label), end; it != end; ++it) {
    labels.push_back((*it)[1]);
  }
  ASSERT_EQ(labels.size(), 10u);
  for (std::size_t k = 0; k < 10; ++k) {
    EXPECT_EQ(labels[k], std::to_string(k + 1));
    char coordinate[32];
    std::snprintf(coordinate, sizeof coordinate, "%.3f", ranking[k][0]);
    EXPECT_NE(svg.find(">" + std::to_string(k + 1) + ": S_Coo " + coordinate + ","),
              std::string::npos);
  }

  for (const std::string name : {"damage", "life"}) {
    const std::string panel = panel_of(svg, name);
    EXPECT_EQ(count_of(panel, "<circle class=\"mark\""), static_cast<std::size_t>(kSections));
    // Decade ticks: consecutive decades, evenly spaced, upwards.
    std::vector<std::pair<int, double>> ticks;
    const std::regex tick(R"re(<line class="ytick" data-decade="(-?\d+)"[^>]* y1="([-\d.]+)")re");
    for (std::sregex_iterator it(panel.begin(), panel.end(), tick), end; it != end; ++it) {
      ticks.emplace_back(std::stoi((*it)[1]), std::stod((*it)[2]));
    }
    ASSERT_GE(ticks.size(), 3u) << name;
    const int step = ticks[1].first - ticks[0].first;
    const double spacing = ticks[1].second - ticks[0].second;
    EXPECT_GT(step, 0);
    EXPECT_LT(spacing, 0.0);
    for (std::size_t k = 1; k < ticks.size(); ++k) {
      EXPECT_EQ(ticks[k].first - ticks[k - 1].first, step);
      EXPECT_NEAR(ticks[k].second - ticks[k - 1].second, spacing, 0.02);
    }
    // Each mark sits at its value on that axis; no damage and infinite life
    // stand in their bands outside it.
    const std::regex mark(R"re(<circle class="mark" data-section="(\d+)"[^>]*>)re");
    for (std::sregex_iterator it(panel.begin(), panel.end(), mark), end; it != end; ++it) {
      const int e = std::stoi((*it)[1]) - 1;
      const std::vector<double>& row = sections[static_cast<std::size_t>(e)];
      const double v = name == "damage" ? row[1] : (row.size() > 2 ? row[2] : 1.0 / row[1]);
      const double y = attribute(it->str(), "cy");
      if (v > 0.0 && v != HUGE_VAL) {
        const double expected = ticks[0].second + (std::log10(v) - ticks[0].first) / step * spacing;
        EXPECT_NEAR(y, expected, 0.05) << name << " section " << e + 1;
      } else if (v == HUGE_VAL) {
        EXPECT_LT(y, ticks.back().second) << name << " section " << e + 1;
      } else {
        EXPECT_GT(y, ticks.front().second) << name << " section " << e + 1;
      }
    }
  }
  EXPECT_NE(panel_of(svg, "life").find(">Infinity</text>"), std::string::npos);
  EXPECT_NE(panel_of(svg, "damage").find(">0</text>"), std::string::npos);

  // Values under the pointer: a strip per section over the damage panel, the
  // life panel and the heat map, side by side across the plot area, whose
  // tooltip gives the section's values as the report does.
  const std::regex tip(
      R"re(<path class="tip" d="M([\d.]+) [\d.]+H([\d.]+)V[^"]*"><title>(rank \d+, )?section (\d+), S_Coo ([\d.]+): damage ([^,]+), fatigue life ([^,]+)(, worst hot spot (\d+))?</title></path>)re");
  double right = 100.0;
  int strips = 0;
  int ranked = 0;
  for (std::sregex_iterator it(svg.begin(), svg.end(), tip), end; it != end; ++it, ++strips) {
    const auto& m = *it;
    const std::string element = m.str();
    EXPECT_EQ(std::stod(m[1]), right) << element;
    right = std::stod(m[2]);
    EXPECT_EQ(std::count(element.begin(), element.end(), 'M'), 3) << element;
    const auto e = static_cast<std::size_t>(std::stoi(m[4]) - 1);
    ASSERT_LT(e, sections.size()) << element;
    EXPECT_EQ(std::stod(m[5]), sections[e][0]) << element;
    EXPECT_EQ(std::stod(m[6]), sections[e][1]) << element;
    if (sections[e].size() > 2) {
      EXPECT_EQ(std::stod(m[7]), sections[e][2]) << element;
    }
    ranked += m[3].matched ? 1 : 0;
  }
  EXPECT_EQ(ranked, 10);
  EXPECT_EQ(strips, kSections);
  EXPECT_EQ(right, 970.0);
}

TEST_F(PlotRun, ChosenCasesAndOtherOutput) {
  dir_.write("pipe_004.WghDam", "# not of this run\n");
  const run_result r = run_plot(dir_.path(), {"--cases", "1-2", "--output", "out.svg", "."});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> lines = lines_of(dir_.read("out.Contrib.csv"));
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[0],
            "rank,section,S_Coo,worst hot spot,damage,fatigue life,case 001 (%),case 002 (%)");
  EXPECT_TRUE(dir_.exists("out.html"));
  EXPECT_TRUE(dir_.exists("out.svg"));
  EXPECT_FALSE(dir_.exists("pipe.svg"));
  // A folder named like the prefix does not hide the run.
  fs::create_directory(dir_.path() / "pipe");
  EXPECT_EQ(run_plot(dir_.path(), {"--cases", "1-3", "pipe"}).status, 0);
  EXPECT_TRUE(dir_.exists("pipe.svg"));
}

TEST(PlotCommand, HelpAndVersion) {
  scratch_dir d;
  const run_result help = run_plot(d.path(), {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: vantor-plot ", 0), 0u);
  const run_result version = run_plot(d.path(), {"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "vantor-plot 1.2\n");
}

// Names as the operator writes them, in UTF-8 (on Windows the programs' code
// page): the run as with an ASCII prefix, the prefix in its files as written,
// and its picture drawn.
TEST(PlotCommand, NonAsciiNames) {
  const std::string prefix = "\xC3\x85sgard";  // Åsgard
  const auto renamed = [&](std::string text) {
    for (std::size_t at = 0; (at = text.find("pipe", at)) != std::string::npos;) {
      text.replace(at, 4, prefix);
      at += prefix.size();
    }
    return text;
  };
  scratch_dir ascii;
  make_run(ascii);
  scratch_dir named;
  for (int c = 1; c <= kCases; ++c) {
    named.write(case_file_name(prefix, c, 3, ".RawDam"), raw_damage_file(c));
  }
  named.write("probs.txt", "0.5 0.3 0.2\n");
  const run_result r = run_vantor(named.path(), "1\n3\nprobs.txt\n" + prefix + "\n\n");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out, renamed(run_vantor(ascii.path(), "1\n3\nprobs.txt\npipe\n\n").out));
  for (const std::string suffix : {"_001.WghDam", "_003.WghDam", ".AccDam"}) {
    EXPECT_EQ(mask_date(named.read(prefix + suffix)),
              renamed(mask_date(ascii.read("pipe" + suffix))))
        << suffix;
  }
  const run_result plot = run_plot(named.path(), {prefix});
  EXPECT_EQ(plot.status, 0) << plot.err;
  EXPECT_EQ(plot.out, "vantor-plot: wrote " + prefix + ".svg, " + prefix + ".Contrib.csv, " +
                          prefix + ".sections.csv and " + prefix + ".html\n");
  EXPECT_NE(named.read(prefix + ".html").find(prefix), std::string::npos);
}

}  // namespace
}  // namespace vantor::testing

#endif  // VANTOR_PLOT_BINARY

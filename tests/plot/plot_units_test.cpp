// The plot program's pieces: reading back an accumulated damage report (good
// ones and damaged ones), the decades of a logarithmic axis, XML text and the
// command line.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "plot/cli/app.h"
#include "plot/picture/axes.h"
#include "plot/picture/svg.h"
#include "plot/run/report.h"
#include "plot/table/contributions_csv.h"
#include "plot/table/sections_csv.h"
#include "plot/text/xml_text.h"

namespace vantor::plot {
namespace {

namespace fs = std::filesystem;

// A report of 3 sections and 2 hot spots as the run writes it (lines 1 to 33).
std::vector<std::string> good_report() {
  const std::string sep = "#  ------------------------------------------------------";
  const std::string heading = "#     S_Coo      Damage                          Fatigue Life";
  return {
      "#",
      "#    Summary of   2 cases for: pipe. Date : 2026-12-07 21:15:48",
      "#    Number of Sections (elements)     :     3",
      "#    Number of HotSpots per section    :     2",
      "#                                              ",
      sep,
      "#    Print of  the  10 heaviest exposed sections.",
      sep,
      "#    ",
      heading,
      "        5.000  4.0000E-03                              250.0",  // 11
      "        0.000  1.2500E-03                              800.0",
      "       10.000  0.0000E+00 Infinity                          ",
      "# ",
      sep,
      "#    Print of Max Damage per Section along Riser",
      sep,
      "#    ",
      heading,
      "        0.000  1.2500E-03                              800.0",  // 20
      "        5.000  4.0000E-03                              250.0",
      "       10.000  0.0000E+00 Infinity                          ",
      "# ",
      sep,
      "#    Print of full matrix.",
      sep,
      "#    ",
      "#     S_Coo        <---------------- Hot Spots --------------->",
      "        0.000  1.0000E-03  1.2500E-03",  // 29
      "        5.000  4.0000E-03  2.0000E-03",
      "       10.000  0.0000E+00 -1.0000E-05",
      "#    ",
      "#  ------------------------  E O F  ------------------------",  // 33
  };
}

class scratch_file {
 public:
  explicit scratch_file(const std::vector<std::string>& lines) {
    std::string pattern = (fs::temp_directory_path() / "vantor_plot_XXXXXX").string();
    const int fd = ::mkstemp(pattern.data());
    if (fd >= 0) ::close(fd);
    path_ = pattern;
    std::ofstream f(path_, std::ios::binary);
    for (const std::string& l : lines) f << l << "\r\n";
  }
  ~scratch_file() { std::remove(path_.c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

TEST(PlotReport, ReadsAGoodReport) {
  const scratch_file file(good_report());
  accumulated_report r;
  plot_error error;
  ASSERT_TRUE(read_report(file.path(), r, error)) << describe(error);
  EXPECT_EQ(r.summary, "Summary of   2 cases for: pipe. Date : 2026-12-07 21:15:48");
  EXPECT_EQ(r.run_label, "pipe. Date : 2026-12-07 21:15:48");
  EXPECT_EQ(r.case_count, 2);
  ASSERT_EQ(r.sections.size(), 3u);
  EXPECT_EQ(r.heaviest, (std::vector<int>{1, 0, 2}));
  EXPECT_EQ(r.sections[0].life, 800.0);
  EXPECT_TRUE(std::isinf(r.sections[2].life));
  EXPECT_EQ(r.accumulated(2, 1), -1.0E-05);
  EXPECT_EQ(worst_hot_spot(r, 0), 1);
  EXPECT_EQ(worst_hot_spot(r, 1), 0);
  EXPECT_EQ(worst_hot_spot(r, 2), 0);
}

TEST(PlotReport, LifeTooWideForItsFieldIsComputed) {
  std::vector<std::string> lines = good_report();
  const std::string stars(35, '*');
  lines[19] = "        0.000  1.2500E-03" + stars;
  lines[11] = "        0.000  1.2500E-03" + stars;
  const scratch_file file(lines);
  accumulated_report r;
  plot_error error;
  ASSERT_TRUE(read_report(file.path(), r, error)) << describe(error);
  EXPECT_EQ(r.sections[0].life, 1.0 / 1.25E-03);
}

TEST(PlotReport, EqualSectionsRankInSectionOrder) {
  std::vector<std::string> lines = good_report();
  // Sections 1 and 2 alike: the ranking's first row is section 1, then 2.
  lines[19] = lines[20];
  lines[28] = lines[29];
  lines[11] = lines[10];
  const scratch_file file(lines);
  accumulated_report r;
  plot_error error;
  ASSERT_TRUE(read_report(file.path(), r, error)) << describe(error);
  EXPECT_EQ(r.heaviest, (std::vector<int>{0, 1, 2}));
}

struct bad_report_case {
  const char* name;
  std::function<void(std::vector<std::string>&)> damage;
  int line;
  const char* fragment;
};

TEST(PlotReport, DamagedReportsNameFileAndLine) {
  const std::vector<bad_report_case> cases = {
      {"empty", [](auto& l) { l.clear(); }, 0, "empty file"},
      {"cut in the matrix", [](auto& l) { l.resize(30); }, 30,
       "truncated: it ends in the matrix (2 of 3"},
      {"cut before the ranking", [](auto& l) { l.resize(5); }, 5, "ends before the ranking"},
      {"no end line", [](auto& l) { l.resize(32); }, 32, "without the end line"},
      {"section row missing", [](auto& l) { l.erase(l.begin() + 21); }, 24,
       "section table ends here after 2 of its 3"},
      {"extra ranking row", [](auto& l) { l.insert(l.begin() + 11, l[10]); }, 14, "more rows"},
      {"hot spot missing", [](auto& l) { l[29] = "        5.000  4.0000E-03"; }, 30,
       "1 hot spot values where the report has 2"},
      {"matrix disagrees", [](auto& l) { l[29] = "        5.000  3.0000E-03  2.0000E-03"; }, 30,
       "largest damage of the row"},
      {"coordinate disagrees", [](auto& l) { l[29] = "        6.000  4.0000E-03  2.0000E-03"; }, 30,
       "S_Coo 6.000 differs from 5.000"},
      {"ranking row of no section", [](auto& l) { l[11] = "        0.000  1.2600E-03  800.0"; }, 12,
       "matches no row"},
      {"text for a damage", [](auto& l) { l[20] = "        5.000  abc  250.0"; }, 21,
       "damage is not a number"},
      {"stars without a damage",
       [](auto& l) { l[20] = "        5.000  4.000xE-03" + std::string(35, '*'); }, 21,
       "damage is not a number"},
      {"stars in a short row", [](auto& l) { l[20] = "        5.000  4.0000E-03 ****"; }, 21,
       "2 values where"},
      {"unreadable coordinate", [](auto& l) { l[20] = "*************  4.0000E-03  250.0"; }, 21,
       "without a readable first value"},
      {"counts beyond the rows",
       [](auto& l) {
         l[2] = "#    Number of Sections (elements)     : 3000";
         l[3] = "#    Number of HotSpots per section    :   20";
       },
       16, "the ranking ends here after 3 of its 10 rows"},
      {"row after the end", [](auto& l) { l.push_back(l[28]); }, 34, "after the end line"},
      {"no summary", [](auto& l) { l.erase(l.begin() + 1); }, 2, "out of its place"},
      {"not a report",
       [](auto& l) {
         l = {"1 2 3", "4 5 6"};
       },
       1, "before the tables"},
  };
  for (const bad_report_case& c : cases) {
    std::vector<std::string> lines = good_report();
    c.damage(lines);
    const scratch_file file(lines);
    accumulated_report r;
    plot_error error;
    EXPECT_FALSE(read_report(file.path(), r, error)) << c.name;
    EXPECT_EQ(error.file, file.path()) << c.name;
    EXPECT_EQ(error.line, c.line) << c.name << ": " << error.message;
    EXPECT_NE(error.message.find(c.fragment), std::string::npos) << c.name << ": " << error.message;
  }
}

TEST(PlotReport, MissingReport) {
  accumulated_report r;
  plot_error error;
  EXPECT_FALSE(read_report("/nonexistent/run.AccDam", r, error));
  EXPECT_EQ(describe(error), "vantor-plot: /nonexistent/run.AccDam: no such file");
}

TEST(PlotSvg, DecadesOfALogAxis) {
  struct decade_case {
    std::vector<double> values;
    int low, high, step;
  };
  const double inf = HUGE_VAL;
  const std::vector<decade_case> cases = {
      {{2e-3, 5e-8, 1e-4}, -8, -2, 1}, {{1e-3}, -3, -2, 1},
      {{1e-3, 1e-2}, -3, -2, 1},       {{}, 0, 1, 1},
      {{0.0, -1.0, inf}, 0, 1, 1},     {{482.0, inf, 6.3e8}, 2, 9, 1},
      {{1e-20, 0.1}, -20, 0, 5},       {{1e-300, 1e300}, -300, 300, 100},
      {{4.9e-324}, -324, -323, 1},
  };
  for (const decade_case& c : cases) {
    const decade_range r = decades_for(c.values);
    EXPECT_EQ(r.low, c.low) << c.values.size();
    EXPECT_EQ(r.high, c.high) << c.values.size();
    EXPECT_EQ(r.step, c.step) << c.values.size();
  }
}

TEST(PlotSvg, CrowdedLabelsKeepApart) {
  // 3000 sections, the ten heaviest side by side: their rank labels, in the
  // magnified inset, stack up in rows and no two of a row overlap.
  accumulated_report r;
  r.section_count = 3000;
  for (int e = 0; e < r.section_count; ++e) {
    const double damage = e >= 1500 && e < 1510 ? 1e-2 / (e - 1499) : 1e-6;
    r.sections.push_back({e * 0.5, damage, 1.0 / damage});
    if (e >= 1500 && e < 1510) r.heaviest.push_back(e);
  }
  const std::string svg = render_svg(r);
  EXPECT_NE(svg.find("<g class=\"panel inset\">"), std::string::npos);
  const std::regex label(R"re(<text class="label rank" x="([\d.]+)" y="([\d.]+)"[^>]*>([^<]*)<)re");
  std::vector<std::tuple<double, double, double>> placed;  // x, y, half width
  for (std::sregex_iterator it(svg.begin(), svg.end(), label), end; it != end; ++it) {
    placed.emplace_back(std::stod((*it)[1]), std::stod((*it)[2]),
                        static_cast<double>((*it)[3].length()) * 3.2 + 3.0);
  }
  ASSERT_EQ(placed.size(), 10u);
  for (std::size_t i = 0; i < placed.size(); ++i) {
    for (std::size_t k = i + 1; k < placed.size(); ++k) {
      const auto [xi, yi, wi] = placed[i];
      const auto [xk, yk, wk] = placed[k];
      if (yi == yk) {
        EXPECT_GE(std::fabs(xi - xk), wi + wk) << i << " " << k;
      }
    }
  }
}

TEST(PlotSvg, XmlText) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"riser. Date : 2026", "riser. Date : 2026"},
      {"a&b<c>\"d\"", "a&amp;b&lt;c&gt;&quot;d&quot;"},
      {"caf\xC3\xA9", "caf\xC3\xA9"},
      {"bad\xFF byte", "bad? byte"},
      {"overlong \xC0\xAF", "overlong ??"},
      {"cut \xE2\x88", "cut ??"},
      {"bell\x07", "bell?"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(xml_text(in), out);
}

// A section without damage has an infinite life: "inf" in every CSV file.
TEST(PlotTables, InfiniteLifeIsInfInEveryCsv) {
  accumulated_report report;
  report.section_count = 1;
  report.hot_spot_count = 1;
  report.sections = {{10.0, 0.0, HUGE_VAL}};
  report.matrix = {0.0};
  const contribution_row row{0, 10.0, 0, 0.0, HUGE_VAL, {std::nan("")}};
  case_damage one;
  one.file.digits = "001";
  one.at_picks = {0.0};
  const std::string csvs[] = {render_sections_csv(report, {}),
                              render_csv({&row, 1}, {&one, 1}, false)};
  EXPECT_EQ(csvs[0].substr(csvs[0].find('\n') + 1), "1,10,1,0,inf\r\n");
  EXPECT_EQ(csvs[1].substr(csvs[1].find('\n') + 1), "1,1,10,1,0,inf,\r\n");
}

TEST(PlotCommandLine, Arguments) {
  struct cli_case {
    std::vector<std::string_view> args;
    bool ok;
    std::string operand, output;
    int first, last;
  };
  const std::vector<cli_case> cases = {
      {{"riser"}, true, "riser", "", 0, 0},
      {{"--cases", "2-4", "run/riser.AccDam"}, true, "run/riser.AccDam", "", 2, 4},
      {{"--cases=7", "-o", "pic.svg", "riser"}, true, "riser", "pic.svg", 7, 7},
      {{"--output=x.svg", "--", "-odd"}, true, "-odd", "x.svg", 0, 0},
      {{}, false, "", "", 0, 0},
      {{"a", "b"}, false, "", "", 0, 0},
      {{"--cases", "4-2", "riser"}, false, "", "", 0, 0},
      {{"--cases", "x", "riser"}, false, "", "", 0, 0},
      {{"--cases"}, false, "", "", 0, 0},
      {{"--colour", "riser"}, false, "", "", 0, 0},
      {{"-o", "riser_001.WghDam", "riser"}, false, "", "", 0, 0},
  };
  for (const cli_case& c : cases) {
    plot_options o;
    std::string message;
    const bool ok = parse_command_line(c.args, o, message);
    EXPECT_EQ(ok, c.ok) << c.args.size() << " " << message;
    if (!ok || !c.ok) continue;
    EXPECT_EQ(o.operand, c.operand);
    EXPECT_EQ(o.output, c.output);
    EXPECT_EQ(o.first_case, c.first);
    EXPECT_EQ(o.last_case, c.last);
  }
  // --compare: every operand a run, two to eight of them, no more labels than
  // runs, none of the options of one run's cases; 0 runs for a usage error.
  const struct {
    std::vector<std::string_view> args;
    std::size_t runs;
  } compare_cases[] = {
      {{"--compare", "a", "b"}, 2},
      {{"a", "--compare", "--label", "A", "b", "c"}, 3},
      {{"--compare", "a"}, 0},
      {{"--compare", "a", "b", "c", "d", "e", "f", "g", "h", "i"}, 0},
      {{"--compare", "--label", "A", "--label", "B", "--label", "C", "a", "b"}, 0},
      {{"--compare", "--cases", "1-2", "a", "b"}, 0},
      {{"--compare", "--long", "a", "b"}, 0},
      {{"--label", "A", "a"}, 0},
  };
  for (const auto& c : compare_cases) {
    plot_options o;
    std::string message;
    EXPECT_EQ(parse_command_line(c.args, o, message), c.runs > 0) << c.args.size() << message;
    EXPECT_EQ(o.runs.size(), c.runs) << c.args.size();
  }
}

// Every option of the table is in --help with its argument, and the parser
// takes it in each of its spellings (an example value for an argument).
TEST(PlotCommandLine, EveryOptionInHelpAndAccepted) {
  const std::string help = help_text();
  const std::map<std::string_view, std::string_view> examples = {
      {"FILE", "pic.svg"}, {"FIRST-LAST", "1-2"}, {"YEARS", "20"},
      {"FACTOR", "3"},     {"TEXT", "m"},         {"F", "2"}};
  for (const option_entry& e : option_table()) {
    const std::string head =
        (e.short_name.empty() ? std::string("    ") : std::string(e.short_name) + ", ") +
        std::string(e.name) + (e.argument.empty() ? "" : " " + std::string(e.argument));
    EXPECT_NE(help.find("\n  " + head + " "), std::string::npos) << head;
    ASSERT_TRUE(e.argument.empty() || examples.contains(e.argument)) << e.argument;
    const std::string_view value = e.argument.empty() ? "" : examples.at(e.argument);
    const std::string joined = std::string(e.name) + "=" + std::string(value);
    std::vector<std::vector<std::string_view>> spellings = {{e.name}};
    if (!e.short_name.empty()) spellings.push_back({e.short_name});
    if (!e.argument.empty()) {
      for (auto& s : spellings) s.push_back(value);
      spellings.push_back({joined});
    }
    for (auto args : spellings) {
      args.insert(args.end(), {"--compare", "a", "b"});
      plot_options o;
      std::string message;
      parse_command_line(args, o, message);
      for (const std::string_view refused : {"unknown option", "needs a value", " wants "}) {
        EXPECT_EQ(message.find(refused), std::string::npos) << args.front() << ": " << message;
      }
    }
  }
}

TEST(PlotCommandLine, OutputNames) {
  struct names_case {
    std::string operand, output, report, svg, csv;
  };
  const std::vector<names_case> cases = {
      {"riser", "", "riser.AccDam", "riser.svg", "riser.Contrib.csv"},
      {"run/riser.AccDam", "", "run/riser.AccDam", "run/riser.svg", "run/riser.Contrib.csv"},
      {"riser", "out/pic.svg", "riser.AccDam", "out/pic.svg", "out/pic.Contrib.csv"},
      {"riser", "pic", "riser.AccDam", "pic", "pic.Contrib.csv"},
  };
  for (const names_case& c : cases) {
    plot_options o;
    o.operand = c.operand;
    o.output = c.output;
    run_names n;
    plot_error error;
    ASSERT_TRUE(resolve_names(o, n, error));
    EXPECT_EQ(n.report, c.report);
    EXPECT_EQ(n.svg, c.svg);
    EXPECT_EQ(n.csv, c.csv);
    EXPECT_EQ(n.sections, c.csv.substr(0, c.csv.size() - 12) + ".sections.csv");
  }
}

}  // namespace
}  // namespace vantor::plot

// vantor-plot over real runs of vantor: the CSV's numbers against sums made
// here from the weighted damage files, the SVG's structure, the error endings,
// and (where Chromium is installed) the picture rendered to pixels.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/harness.h"
#include "tests/support/generate_run.h"

#ifdef VANTOR_PLOT_BINARY

namespace vantor::testing {
namespace {

constexpr int kCases = 3;
constexpr int kSections = 30;
constexpr int kHotSpots = 4;
constexpr int kNoDamage = 7;    // a section without damage: infinite life
constexpr int kTinyDamage = 9;  // a life too wide for its field

std::string raw_damage_file(int c) {
  return raw_damage_text({c, kSections, kHotSpots, [](int e) { return e * 2.5; },
                          [c](int e, int j) {
                            if (e == kNoDamage) return 0.0;
                            if (e == kTinyDamage) return j == 2 ? 1e-40 : 0.0;
                            return (1 + (c * 7 + e * 13 + j * 5) % 17) *
                                   std::pow(10.0, -2 - (e * 7) % 5);
                          }});
}

// A finished run of cases 1 to 3, prefix "pipe", in dir.
void make_run(const scratch_dir& dir) {
  for (int c = 1; c <= kCases; ++c) {
    dir.write(case_file_name("pipe", c, 3, ".RawDam"), raw_damage_file(c));
  }
  dir.write("probs.txt", "0.5 0.3 0.2\n");
  const run_result r = run_vantor(dir.path(), "1\n3\nprobs.txt\npipe\n\n");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
}

run_result run_plot(const fs::path& dir, std::vector<std::string> args,
                    const std::function<void()>& in_child = {}) {
  child_spec spec;
  spec.command = command(env_or("VANTOR_TEST_PLOT_BINARY", VANTOR_PLOT_BINARY), std::move(args));
  spec.folder = dir;
  spec.in = {stream::kind::closed};
  spec.in_child = in_child;
  const child_result r = run_child(spec);
  return {r.out, r.err, r.status};
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, sep)) parts.push_back(part);
  if (!text.empty() && text.back() == sep) parts.emplace_back();
  return parts;
}

std::vector<double> numbers(const std::string& line) {
  std::vector<double> v;
  std::istringstream in(line);
  std::string word;
  while (in >> word)
    v.push_back(word == "Infinity" ? HUGE_VAL : std::strtod(word.c_str(), nullptr));
  return v;
}

// The number rows of a file after the heading line that starts with `from`.
std::vector<std::vector<double>> rows_after(const std::string& text, const std::string& from) {
  std::vector<std::vector<double>> rows;
  bool on = from.empty();
  for (const std::string& l : lines_of(text)) {
    if (l.rfind(from, 0) == 0 && !from.empty()) {
      on = true;
      continue;
    }
    if (!on) continue;
    if (!l.empty() && l[0] == '#') {
      if (!rows.empty()) break;
      continue;
    }
    rows.push_back(numbers(l));
  }
  return rows;
}

class PlotRun : public ::testing::Test {
 protected:
  void SetUp() override { make_run(dir_); }
  scratch_dir dir_;
};

TEST_F(PlotRun, SharesAddUpFromTheWeightedFiles) {
  const run_result r = run_plot(dir_.path(), {"pipe"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "vantor-plot: wrote pipe.svg, pipe.Contrib.csv and pipe.html\n");

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

// Well-formed XML: every tag closed in order, attributes quoted, entities known.
bool well_formed(const std::string& xml, std::string& why) {
  static const std::regex tag(
      R"re(<(/?)([A-Za-z_][\w.-]*)((?:\s+[\w:.-]+\s*=\s*"[^"<]*")*)\s*(/?)>)re");
  std::vector<std::string> open;
  std::size_t pos = xml.find("?>");
  if (xml.rfind("<?xml", 0) != 0 || pos == std::string::npos) return why = "no declaration", false;
  pos += 2;
  while (pos < xml.size()) {
    const std::size_t lt = xml.find('<', pos);
    const std::string text =
        xml.substr(pos, lt == std::string::npos ? std::string::npos : lt - pos);
    for (std::size_t a = text.find('&'); a != std::string::npos; a = text.find('&', a + 1)) {
      if (!std::regex_search(text.substr(a), std::regex("^&(amp|lt|gt|quot|apos);"))) {
        return why = "bad entity in " + text, false;
      }
    }
    if (lt == std::string::npos) break;
    std::smatch m;
    const std::string rest = xml.substr(lt, 4096);
    if (!std::regex_search(rest, m, tag, std::regex_constants::match_continuous)) {
      return why = "bad tag at " + rest.substr(0, 60), false;
    }
    if (m[1].length() > 0) {
      if (open.empty() || open.back() != m[2]) return why = "unbalanced " + m[2].str(), false;
      open.pop_back();
    } else if (m[4].length() == 0) {
      open.push_back(m[2]);
    }
    if (open.empty() && m[1].length() > 0 && lt + m.length() < xml.size() &&
        xml.find_first_not_of("\r\n", lt + m.length()) != std::string::npos) {
      return why = "content after the root", false;
    }
    pos = lt + static_cast<std::size_t>(m.length());
  }
  if (!open.empty()) return why = "unclosed " + open.back(), false;
  return true;
}

std::string panel_of(const std::string& svg, const std::string& name) {
  const std::size_t begin = svg.find("<g class=\"panel " + name + "\">");
  const std::size_t end = svg.find("</g>", begin);
  return begin == std::string::npos ? "" : svg.substr(begin, end - begin);
}

std::size_t count_of(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

double attribute(const std::string& element, const std::string& name) {
  const std::size_t p = element.find(" " + name + "=\"");
  return p == std::string::npos ? NAN : std::strtod(element.c_str() + p + name.size() + 3, nullptr);
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
}

struct error_case {
  const char* name;
  std::function<void(const scratch_dir&)> change;
  std::vector<std::string> args;
  int status;
  std::string message;  // the whole of standard error
};

TEST_F(PlotRun, ErrorEndings) {
  const auto cut = [](const scratch_dir& d, const std::string& file, std::size_t keep) {
    std::vector<std::string> lines = lines_of(d.read(file));
    lines.resize(keep);
    std::string text;
    for (const std::string& l : lines) text += l + "\r\n";
    d.write(file, text);
  };
  const auto edit = [](const scratch_dir& d, const std::string& file, std::size_t line,
                       const std::string& text) {
    std::vector<std::string> lines = lines_of(d.read(file));
    lines[line - 1] = text;
    std::string all;
    for (const std::string& l : lines) all += l + "\r\n";
    d.write(file, all);
  };
  const auto nothing = [](const scratch_dir&) {};
  // Weighted files: lines 1 and 2 the case and probability, 3 and 4 the heading, rows from 5.
  const std::vector<error_case> cases = {
      {"no report", nothing, {"nothing"}, 1, "vantor-plot: nothing.AccDam: no such file\n"},
      {"folder without a run",
       [](const scratch_dir& d) { fs::create_directory(d.path() / "empty"); },
       {"empty"},
       1,
       "vantor-plot: empty: no finished run in this folder (no *.AccDam report)\n"},
      {"truncated report",
       [&](const scratch_dir& d) { cut(d, "pipe.AccDam", 40); },
       {"pipe"},
       1,
       "vantor-plot: pipe.AccDam:40: the report is truncated: it ends in the section table (14 "
       "of 30 rows) without the end line\n"},
      {"weighted file short of a row",
       [&](const scratch_dir& d) { cut(d, "pipe_002.WghDam", 20); },
       {"pipe"},
       1,
       "vantor-plot: pipe_002.WghDam:20: the file is truncated: it ends after 16 of 30 rows "
       "without the end line\n"},
      {"weighted file with a hot spot less",
       [&](const scratch_dir& d) { edit(d, "pipe_003.WghDam", 9, "       10.000  1.0E-03"); },
       {"pipe"},
       1,
       "vantor-plot: pipe_003.WghDam:9: 1 hot spot values where the report pipe.AccDam has 4\n"},
      {"weighted file of another run",
       [&](const scratch_dir& d) {
         d.write("pipe_004.WghDam", d.read("pipe_001.WghDam"));
         edit(d, "pipe_004.WghDam", 1,
              "#    Case no   004 for Project: pipe. Date : 2001-01-01 00:00:00");
       },
       {"pipe"},
       1,
       "vantor-plot: pipe_004.WghDam:1: the file is of another run (\"pipe. Date : 2001-01-01 "
       "00:00:00\", the report of \"{LABEL}\"); choose this run's cases with --cases\n"},
      {"a case missing",
       [](const scratch_dir& d) { fs::remove(d.path() / "pipe_002.WghDam"); },
       {"pipe"},
       1,
       "vantor-plot: pipe_*.WghDam: 2 weighted damage files of this run, but the report sums 3 "
       "cases; choose the cases with --cases\n"},
      {"case range beyond the files",
       nothing,
       {"--cases", "2-4", "pipe"},
       1,
       "vantor-plot: pipe_*.WghDam: no weighted damage file of case 4\n"},
      {"no operand",
       nothing,
       {},
       2,
       "vantor-plot: no run named: give PREFIX, PREFIX.AccDam or a folder (see vantor-plot "
       "--help)\n"},
      {"bad range",
       nothing,
       {"--cases", "3-1", "pipe"},
       2,
       "vantor-plot: --cases wants FIRST-LAST, two case numbers with FIRST <= LAST, not \"3-1\" "
       "(see vantor-plot --help)\n"},
      {"required life beyond numbers",
       nothing,
       {"--design-life", "1e308", "--dff", "10", "pipe"},
       2,
       "vantor-plot: the required life R = 1e+308 x 10 = Infinity is not a positive finite number "
       "(see vantor-plot --help)\n"},
      {"required life below numbers",
       nothing,
       {"--design-life", "1e-200", "--dff", "1e-200", "pipe"},
       2,
       "vantor-plot: the required life R = 1e-200 x 1e-200 = 0 is not a positive finite number "
       "(see vantor-plot --help)\n"},
  };
  // The report's run label: the prefix, "." and the run's date stamp.
  const std::string label = lines_of(dir_.read("pipe.AccDam"))[1].substr(31);
  for (const error_case& c : cases) {
    scratch_dir d;
    for (const auto& entry : fs::directory_iterator(dir_.path())) {
      fs::copy(entry.path(), d.path() / entry.path().filename());
    }
    c.change(d);
    const run_result r = run_plot(d.path(), c.args);
    EXPECT_EQ(r.status, c.status) << c.name;
    EXPECT_EQ(r.err, std::regex_replace(c.message, std::regex("\\{LABEL\\}"), label)) << c.name;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.name;
    EXPECT_FALSE(d.exists("pipe.svg")) << c.name;
  }
}

// Hostile surroundings: links planted where temporary files might go, an
// endless report, counts beyond a run's tables, a file-size limit.
struct fault_case {
  const char* name;
  std::function<void(const scratch_dir&)> change;
  std::function<void()> in_child;
  int status;
  std::string message;  // the whole of standard error
};

TEST_F(PlotRun, FaultEndings) {
  const auto set_line = [](const scratch_dir& d, std::size_t line, const std::string& text) {
    std::vector<std::string> lines = lines_of(d.read("pipe.AccDam"));
    lines[line - 1] = text;
    std::string all;
    for (const std::string& l : lines) all += l + "\r\n";
    d.write("pipe.AccDam", all);
  };
  // A file-size limit that the picture and the table fit in but the page
  // (which holds the picture) does not.
  rlim_t below_the_page = 0;
  const auto old_outputs = [&](const scratch_dir& d) {
    scratch_dir sizes;
    for (const auto& entry : fs::directory_iterator(d.path())) {
      fs::copy(entry.path(), sizes.path() / entry.path().filename());
    }
    ASSERT_EQ(run_plot(sizes.path(), {"pipe"}).status, 0);
    below_the_page = std::max(fs::file_size(sizes.path() / "pipe.svg"),
                              fs::file_size(sizes.path() / "pipe.Contrib.csv"));
    ASSERT_LT(below_the_page, fs::file_size(sizes.path() / "pipe.html"));
    for (const char* name : {"pipe.svg", "pipe.Contrib.csv", "pipe.html"}) {
      d.write(name, std::string("an earlier ") + name);
    }
  };
  const std::vector<fault_case> cases = {
      {"links planted beside the outputs",
       [](const scratch_dir& d) {
         d.write("victim", "kept");
         for (const char* name : {"pipe.svg.part", "pipe.Contrib.csv.part"}) {
           fs::create_symlink(d.path() / "victim", d.path() / name);
         }
       },
       {},
       0,
       ""},
      {"report linked to an endless device",
       [](const scratch_dir& d) {
         fs::remove(d.path() / "pipe.AccDam");
         fs::create_symlink("/dev/urandom", d.path() / "pipe.AccDam");
       },
       {},
       1,
       // The line named depends on where the random bytes hold a line feed.
       "vantor-plot: pipe.AccDam:"},
      {"sections beyond a run",
       [&](const scratch_dir& d) {
         set_line(d, 3, "#    Number of Sections (elements)     :  3001");
       },
       {},
       1,
       "vantor-plot: pipe.AccDam:3: 3001 sections; a run holds at most 3000\n"},
      {"hot spots beyond a run",
       [&](const scratch_dir& d) {
         set_line(d, 4, "#    Number of HotSpots per section    :    21");
       },
       {},
       1,
       "vantor-plot: pipe.AccDam:4: 21 hot spots; a run holds at most 20\n"},
      {"cases beyond a run",
       [&](const scratch_dir& d) {
         std::string second = lines_of(d.read("pipe.AccDam"))[1];
         second.replace(15, 4, "1001");
         set_line(d, 2, second);
       },
       {},
       1,
       "vantor-plot: pipe.AccDam:2: 1001 cases; a run holds at most 1000\n"},
      {"file-size limit",
       {},
       [] {
         const rlimit limit{1024, 1024};
         ::setrlimit(RLIMIT_FSIZE, &limit);
       },
       1,
       "vantor-plot: pipe.svg: cannot be written\n"},
      {"file-size limit at the third output: the earlier outputs stay as well", old_outputs,
       [&] {
         const rlimit limit{below_the_page, below_the_page};
         ::setrlimit(RLIMIT_FSIZE, &limit);
       },
       1, "vantor-plot: pipe.html: cannot be written\n"},
  };
  for (const fault_case& c : cases) {
    // A file-size limit ends a program under Wine by its signal: the Windows
    // program cannot ignore it.
    if (std::string_view(c.name).starts_with("file-size limit") && test_launcher() != nullptr) {
      continue;
    }
    scratch_dir d;
    for (const auto& entry : fs::directory_iterator(dir_.path())) {
      fs::copy(entry.path(), d.path() / entry.path().filename());
    }
    if (c.change) c.change(d);
    // A failed run leaves every output as it was.
    std::map<std::string, std::string> before;
    for (const char* name : {"pipe.svg", "pipe.Contrib.csv", "pipe.html"}) {
      if (d.exists(name)) before[name] = d.read(name);
    }
    const auto start = std::chrono::steady_clock::now();
    const run_result r = run_plot(d.path(), {"pipe"}, c.in_child);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(r.status, c.status) << c.name << ": " << r.err;
    EXPECT_EQ(r.err.substr(0, c.message.size()), c.message) << c.name;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), c.status == 0 ? 0 : 1) << c.name;
    EXPECT_LT(seconds, 10.0) << c.name;
    EXPECT_EQ(d.exists("pipe.svg"), c.status == 0 || before.contains("pipe.svg")) << c.name;
    for (const auto& [name, text] : before) {
      if (c.status != 0) {
        EXPECT_EQ(d.read(name), text) << c.name << ": " << name;
      }
    }
    for (const auto& entry : fs::directory_iterator(d.path())) {
      const std::string name = entry.path().filename().string();
      if (name.ends_with(".part")) {
        EXPECT_TRUE(fs::is_symlink(entry.symlink_status())) << name;
      }
    }
    if (d.exists("victim")) {
      EXPECT_EQ(d.read("victim"), "kept") << c.name;
    }
  }
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

// The PATH entry holding an executable chromium, empty when there is none.
std::string find_chromium() {
  const char* path = std::getenv("PATH");
  for (const std::string& dir : split(path != nullptr ? path : "", ':')) {
    const fs::path candidate = fs::path(dir.empty() ? "." : dir) / "chromium";
    if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
  }
  return "";
}

struct image {
  std::size_t width = 0;
  std::size_t height = 0;
  std::vector<unsigned char> rgb;  // 3 bytes per pixel, rows top down
};

// Decodes an 8-bit RGB or RGBA, non-interlaced PNG with the system's zlib.
bool decode_png(const std::string& data, image& img, std::string& why) {
  const auto be32 = [&](std::size_t p) {
    std::uint32_t v = 0;
    for (std::size_t k = 0; k < 4; ++k) v = (v << 8) | static_cast<unsigned char>(data[p + k]);
    return v;
  };
  if (data.size() < 8 || data.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return why = "no PNG", false;
  std::string idat;
  int depth = 0, colour = 0, interlace = 0;
  for (std::size_t pos = 8; pos + 12 <= data.size();) {
    const std::size_t length = be32(pos);
    if (pos + 12 + length > data.size()) return why = "cut chunk", false;
    const std::string type = data.substr(pos + 4, 4);
    if (type == "IHDR") {
      img.width = be32(pos + 8);
      img.height = be32(pos + 12);
      depth = static_cast<unsigned char>(data[pos + 16]);
      colour = static_cast<unsigned char>(data[pos + 17]);
      interlace = static_cast<unsigned char>(data[pos + 20]);
    } else if (type == "IDAT") {
      idat.append(data, pos + 8, length);
    }
    pos += 12 + length;
  }
  if (depth != 8 || (colour != 2 && colour != 6) || interlace != 0)
    return why = "unusual PNG", false;
  using uncompress_fn =
      int (*)(unsigned char*, unsigned long*, const unsigned char*, unsigned long);
  void* zlib = ::dlopen("libz.so.1", RTLD_NOW);
  if (zlib == nullptr) return why = "no zlib", false;
  const auto uncompress = reinterpret_cast<uncompress_fn>(::dlsym(zlib, "uncompress"));
  const std::size_t bpp = colour == 6 ? 4 : 3;
  const std::size_t stride = img.width * bpp;
  std::vector<unsigned char> raw(img.height * (stride + 1));
  unsigned long size = raw.size();
  const int status =
      uncompress == nullptr
          ? -1
          : uncompress(raw.data(), &size, reinterpret_cast<const unsigned char*>(idat.data()),
                       idat.size());
  ::dlclose(zlib);
  if (status != 0 || size != raw.size()) return why = "bad image data", false;
  std::vector<unsigned char> previous(stride, 0);
  img.rgb.clear();
  for (std::size_t y = 0; y < img.height; ++y) {
    unsigned char* row = raw.data() + y * (stride + 1);
    const unsigned char filter = row[0];
    unsigned char* cur = row + 1;
    for (std::size_t i = 0; i < stride; ++i) {
      const int a = i >= bpp ? cur[i - bpp] : 0;
      const int b = previous[i];
      const int c = i >= bpp ? previous[i - bpp] : 0;
      int add = 0;
      if (filter == 1) add = a;
      if (filter == 2) add = b;
      if (filter == 3) add = (a + b) / 2;
      if (filter == 4) {
        const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
        add = pa <= pb && pa <= pc ? a : (pb <= pc ? b : c);
      }
      cur[i] = static_cast<unsigned char>(cur[i] + add);
    }
    for (std::size_t x = 0; x < img.width; ++x)
      img.rgb.insert(img.rgb.end(), cur + x * bpp, cur + x * bpp + 3);
    previous.assign(cur, cur + stride);
  }
  return true;
}

TEST_F(PlotRun, PictureRendersInChromium) {
  const std::string chromium = find_chromium();
  if (chromium.empty()) GTEST_SKIP() << "chromium is not installed: the picture is not rendered";
  ASSERT_EQ(run_plot(dir_.path(), {"pipe"}).status, 0);
  const std::string svg = dir_.read("pipe.svg");
  const double height = attribute(svg.substr(svg.find("<svg ")), "height");
  const fs::path png = dir_.path() / "pipe.png";
  const std::string command =
      "timeout 300 '" + chromium +
      "' --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
      "--disable-background-networking --disable-component-update --disable-sync "
      "--user-data-dir='" +
      (dir_.path() / "profile").string() + "' --screenshot='" + png.string() +
      "' --window-size=1100," + std::to_string(std::lround(height)) + " 'file://" +
      (dir_.path() / "pipe.svg").string() + "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  image img;
  std::string why;
  if (!decode_png(dir_.read("pipe.png"), img, why) && why == "no zlib") {
    GTEST_SKIP() << "zlib is not installed: the rendered picture is not checked";
  }
  ASSERT_TRUE(why.empty()) << why;
  EXPECT_EQ(img.width, 1100u);
  EXPECT_EQ(img.height, static_cast<std::size_t>(std::lround(height)));
  // Not blank: ink on a good part of the page, the heavy sections' red rings,
  // the damage curve's blue and the life curve's green.
  std::size_t ink = 0, red = 0, blue = 0, green = 0;
  for (std::size_t p = 0; p + 2 < img.rgb.size(); p += 3) {
    const int r = img.rgb[p], g = img.rgb[p + 1], b = img.rgb[p + 2];
    if (r + g + b < 600) ++ink;
    if (r > 150 && g < 90 && b < 90) ++red;
    if (b > 120 && r < 80 && g < 130) ++blue;
    if (g > 90 && r < 90 && b < 90) ++green;
  }
  const std::size_t pixels = img.width * img.height;
  EXPECT_GT(ink, pixels / 50);
  EXPECT_LT(ink, pixels / 2);
  EXPECT_GT(red, 100u);
  EXPECT_GT(blue, 100u);
  EXPECT_GT(green, 100u);
}

// chromium headless with the flags of a quiet, offline browser; extra flags
// and the page; standard error (the console's messages) into err_file.
std::string chromium_command(const std::string& chromium, const fs::path& profile,
                             const std::string& extra, const fs::path& page,
                             const fs::path& err_file) {
  return "timeout 300 '" + chromium +
         "' --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
         "--disable-background-networking --disable-component-update --disable-sync "
         "--user-data-dir='" +
         profile.string() + "' " + extra + " 'file://" + page.string() + "' 2>'" +
         err_file.string() + "'";
}

// The report of a 3000-section run in the browser: it loads without a console
// message, its ranking holds the report's ten rows, the panels are there, and
// no two texts of the picture overlap (their boxes from the browser's layout,
// written into the page by a probe script added to a copy). A screenshot of
// the page stays in the build folder.
TEST(PlotBrowser, ReportInChromium) {
  const std::string chromium = find_chromium();
  if (chromium.empty()) GTEST_SKIP() << "chromium is not installed: the report is not loaded";
  scratch_dir d;
  write_realistic_run(d.path(), {3, 3000, 20});
  const run_result v = run_vantor(d.path(), d.read("answers.txt"));
  ASSERT_EQ(v.status, 0) << v.err;
  const run_result r =
      run_plot(d.path(), {"--design-life", "25", "--dff", "3", "--life-unit", "years", "riser"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_LT(d.read("riser.svg").size(), 2u << 20);

  const fs::path page = d.path() / "riser.html";
  const fs::path log = d.path() / "console.txt";
  const fs::path shot = fs::path(VANTOR_PLOT_BINARY).parent_path() / "plot_report.png";
  ASSERT_EQ(std::system(chromium_command(chromium, d.path() / "p1",
                                         "--enable-logging=stderr --v=0 --window-size=1100,2600 "
                                         "--screenshot='" +
                                             shot.string() + "'",
                                         page, log)
                            .c_str()),
            0);
  for (const std::string& line : lines_of(d.read("console.txt"))) {
    EXPECT_EQ(line.find(":CONSOLE"), std::string::npos) << line;
  }
  EXPECT_TRUE(fs::exists(shot));

  std::string html = d.read("riser.html");
  const std::string probe = R"js(<script>
const out = [];
for (const tr of document.querySelectorAll('#ranking tbody tr'))
  out.push('row|' + [...tr.cells].map(c => c.textContent).join('|'));
for (const g of document.querySelectorAll('figure svg g.panel')) out.push('panel|' + g.getAttribute('class'));
const boxes = [...document.querySelectorAll('figure svg text')].map(t => [t.getBoundingClientRect(), t.textContent]);
out.push('texts|' + boxes.length);
for (let i = 0; i < boxes.length; i++)
  for (let k = i + 1; k < boxes.length; k++) {
    const [a, ta] = boxes[i], [b, tb] = boxes[k];
    if (a.left < b.right - 0.5 && b.left < a.right - 0.5 && a.top < b.bottom - 0.5 && b.top < a.bottom - 0.5)
      out.push('overlap|' + ta + ' / ' + tb);
  }
const pre = document.createElement('pre');
pre.id = 'probe';
pre.textContent = '\n' + out.join('\n') + '\n';
document.body.appendChild(pre);
</script>)js";
  html = std::regex_replace(html, std::regex("default-src 'none'"),
                            "default-src 'none'; script-src 'unsafe-inline'");
  html.insert(html.rfind("</body>"), probe);
  d.write("probe.html", html);
  const fs::path dom = d.path() / "dom.txt";
  ASSERT_EQ(std::system((chromium_command(chromium, d.path() / "p2", "--dump-dom",
                                          d.path() / "probe.html", log) +
                         " >'" + dom.string() + "'")
                            .c_str()),
            0);
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> panels, overlaps;
  int texts = 0;
  for (const std::string& line : lines_of(d.read("dom.txt"))) {
    const std::vector<std::string> cells = split(line, '|');
    if (cells.size() < 2) continue;
    if (cells[0] == "row") rows.emplace_back(cells.begin() + 1, cells.end());
    if (cells[0] == "panel") panels.push_back(cells[1]);
    if (cells[0] == "overlap") overlaps.push_back(cells[1]);
    if (cells[0] == "texts") texts = std::stoi(cells[1]);
  }
  EXPECT_GT(texts, 100);
  EXPECT_TRUE(overlaps.empty()) << overlaps.size() << " overlaps, the first: " << overlaps[0];
  for (const char* name : {"panel damage", "panel life", "panel heat"}) {
    EXPECT_NE(std::find(panels.begin(), panels.end(), name), panels.end()) << name;
  }
  // The ranking against the report's: S_Coo, damage and life as written there.
  const std::vector<std::string> report = lines_of(d.read("riser.AccDam"));
  std::vector<std::string> ranked;
  for (std::size_t k = 0; k < report.size() && ranked.size() < 10; ++k) {
    if (k > 8 && !report[k].starts_with("#")) ranked.push_back(report[k]);
  }
  ASSERT_EQ(rows.size(), 10u);
  ASSERT_EQ(ranked.size(), 10u);
  for (std::size_t k = 0; k < 10; ++k) {
    std::istringstream in(ranked[k]);
    std::string coordinate, damage, life;
    in >> coordinate >> damage >> life;
    ASSERT_GE(rows[k].size(), 6u);
    EXPECT_EQ(rows[k][0], std::to_string(k + 1));
    EXPECT_EQ(rows[k][2], coordinate) << k;
    EXPECT_EQ(rows[k][4], damage) << k;
    EXPECT_EQ(rows[k][5], life) << k;
  }
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
  EXPECT_EQ(plot.out, "vantor-plot: wrote " + prefix + ".svg, " + prefix + ".Contrib.csv and " +
                          prefix + ".html\n");
  EXPECT_NE(named.read(prefix + ".html").find(prefix), std::string::npos);
}

}  // namespace
}  // namespace vantor::testing

#endif  // VANTOR_PLOT_BINARY

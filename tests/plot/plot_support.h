// The shared part of the vantor-plot tests: a small finished run of vantor
// with the corners a picture must handle (a section without damage, a life too
// wide for its field), vantor-plot run in a child process, and readers of the
// text it writes.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/harness.h"
#include "tests/support/generate_run.h"

namespace vantor::testing {

inline constexpr int kCases = 3;
inline constexpr int kSections = 30;
inline constexpr int kHotSpots = 4;
inline constexpr int kNoDamage = 7;    // a section without damage: infinite life
inline constexpr int kTinyDamage = 9;  // a life too wide for its field

inline std::string raw_damage_file(int c) {
  return raw_damage_text({c, kSections, kHotSpots, [](int e) { return e * 2.5; },
                          [c](int e, int j) {
                            if (e == kNoDamage) return 0.0;
                            if (e == kTinyDamage) return j == 2 ? 1e-40 : 0.0;
                            return (1 + (c * 7 + e * 13 + j * 5) % 17) *
                                   std::pow(10.0, -2 - (e * 7) % 5);
                          }});
}

// A finished run of cases 1 to 3, prefix "pipe", in dir.
inline void make_run(const scratch_dir& dir) {
  for (int c = 1; c <= kCases; ++c) {
    dir.write(case_file_name("pipe", c, 3, ".RawDam"), raw_damage_file(c));
  }
  dir.write("probs.txt", "0.5 0.3 0.2\n");
  const run_result r = run_vantor(dir.path(), "1\n3\nprobs.txt\npipe\n\n");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
}

inline run_result run_plot(const fs::path& dir, std::vector<std::string> args,
                           const std::function<void()>& in_child = {}) {
  child_spec spec;
  spec.command = command(env_or("VANTOR_TEST_PLOT_BINARY", VANTOR_PLOT_BINARY), std::move(args));
  spec.folder = dir;
  spec.in = {stream::kind::closed};
  spec.in_child = in_child;
  const child_result r = run_child(spec);
  return {r.out, r.err, r.status};
}

inline std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

inline std::vector<std::string> split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, sep)) parts.push_back(part);
  if (!text.empty() && text.back() == sep) parts.emplace_back();
  return parts;
}

inline std::vector<double> numbers(const std::string& line) {
  std::vector<double> v;
  std::istringstream in(line);
  std::string word;
  while (in >> word)
    v.push_back(word == "Infinity" ? HUGE_VAL : std::strtod(word.c_str(), nullptr));
  return v;
}

// The number rows of a file after the heading line that starts with `from`.
inline std::vector<std::vector<double>> rows_after(const std::string& text,
                                                   const std::string& from) {
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

// Well-formed XML: every tag closed in order, attributes quoted, entities known.
inline bool well_formed(const std::string& xml, std::string& why) {
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

inline std::string panel_of(const std::string& svg, const std::string& name) {
  const std::size_t begin = svg.find("<g class=\"panel " + name + "\">");
  const std::size_t end = svg.find("</g>", begin);
  return begin == std::string::npos ? "" : svg.substr(begin, end - begin);
}

inline std::size_t count_of(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

inline double attribute(const std::string& element, const std::string& name) {
  const std::size_t p = element.find(" " + name + "=\"");
  return p == std::string::npos ? NAN : std::strtod(element.c_str() + p + name.size() + 3, nullptr);
}

}  // namespace vantor::testing

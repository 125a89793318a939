#include "tests/compat/scenarios.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string_view>
#include <vector>

#include "tests/compat/scenario_values.h"
#include "tests/support/answers.h"
#include "tests/support/forms.h"
#include "tests/support/generate_run.h"
#include "tests/support/splitmix.h"

namespace vantor::testing {
namespace {

struct plan {
  int first = 1;
  int last = 1;
  int digits = 3;  // of the file names
  std::string digits_answer;
  std::string prefix = "riser";
  int sections = 10;
  int hot_spots = 4;
  std::string error;  // the fault put in, empty for none
  std::string damage = "realistic";
};

constexpr std::array kErrors = {"missing case file",
                                "text in damage",
                                "text in coordinate",
                                "text in probabilities",
                                "sections mismatch",
                                "hot spot missing",
                                "hot spot extra",
                                "hot spots exceeded",
                                "sections exceeded",
                                "probabilities short",
                                "digits too few",
                                "long prefix",
                                "longer prefix, no cases",
                                "report blocked",
                                "weighted blocked",
                                "no probability file",
                                "answers cut short",
                                "cases out of range",
                                "no sections",
                                "line over 512",
                                "empty probability file",
                                "more than 1000 probabilities",
                                "case file a folder",
                                "probability file a folder"};

plan make_plan(splitmix& rng) {
  plan p;
  const std::size_t range = rng.below(100);
  p.first = range < 70   ? 1
            : range < 85 ? 2 + static_cast<int>(rng.below(4))
            : range < 95 ? 97 + static_cast<int>(rng.below(5))
                         : 996 + static_cast<int>(rng.below(3));
  const int count =
      rng.below(5) == 0 ? 5 + static_cast<int>(rng.below(5)) : 1 + static_cast<int>(rng.below(4));
  p.last = std::min(1000, p.first + count - 1);
  if (chance(rng, 0.03)) p.last = p.first - 1 - static_cast<int>(rng.below(2));
  p.sections =
      rng.below(4) == 0 ? 1 + static_cast<int>(rng.below(9)) : 10 + static_cast<int>(rng.below(40));
  p.hot_spots = static_cast<int>(rng.below(5) == 0 ? rng.below(3) : 1 + rng.below(20));
  if (chance(rng, 0.15)) {
    p.digits = 3 + static_cast<int>(rng.below(3));
    p.digits_answer = std::to_string(p.digits);
  } else if (chance(rng, 0.1)) {
    p.digits_answer = "3";
  }
  if (chance(rng, 0.1)) {
    constexpr std::array kPrefixes = {"r", "Riser_A2", "deep.v1", " riser", "riser  "};
    p.prefix = rng.pick(kPrefixes);
  }
  constexpr std::array kDamage = {"realistic", "realistic", "ties", "ties", "planted", "extremes"};
  p.damage = rng.pick(kDamage);
  // A row of values to the last bit stays within the reader's 512 columns.
  if (p.damage == "planted" || p.damage == "extremes") p.hot_spots = std::min(p.hot_spots, 15);
  // Case 1000 needs a fourth digit.
  if (p.digits < 4 && chance(rng, 0.8)) p.last = std::min(p.last, 999);
  if (chance(rng, 0.25)) p.error = rng.pick(kErrors);
  // Faults of the plan itself.
  if (p.error == "hot spots exceeded") p.hot_spots = 21 + static_cast<int>(rng.below(2));
  if (p.error == "sections exceeded") {
    p.sections = 3001;
    p.hot_spots = 1;
    p.last = p.first;
  }
  if (p.error == "digits too few") {
    p.last = std::max(p.last, 10);
    p.digits_answer.assign(1, rng.below(2) == 0 ? '1' : '0');
  }
  if (p.error == "long prefix") p.prefix = std::string(152 + rng.below(10), 'p');
  if (p.error == "longer prefix, no cases") {
    p.prefix = std::string(198 + rng.below(10), 'q');
    p.last = p.first - 1;
  }
  if (p.error == "cases out of range") {
    if (rng.below(2) == 0)
      p.first = 0;
    else
      p.last = 1001;
  }
  return p;
}

using table = std::vector<std::vector<double>>;  // [section][hot spot]

double realistic_damage(const plan& p, int case_no, int e, int j, splitmix& rng) {
  const double length = 10.0 * p.sections;
  const double coord = length * e / std::max(p.sections - 1, 1);
  const double top = std::exp(-std::pow((coord - 0.05 * length) / (0.04 * length), 2));
  const double tdz = std::exp(-std::pow((coord - 0.7 * length) / (0.06 * length), 2));
  const double angle = 2.0 * std::numbers::pi * j / std::max(p.hot_spots, 1);
  const double shape = 0.55 + 0.45 * std::cos(angle - 0.6 * case_no);
  const double level = -9.0 + 6.5 * std::max(top, tdz) * shape + 0.8 * rng.uniform() - 0.4;
  return std::min(std::pow(10.0, level), 9.9e-3);
}

// Equal sections, equal hot spots, all-zero and all-negative sections: the
// same picks for every case, so that the sums of the cases tie as well.
void make_ties(table& t, const std::vector<std::size_t>& picks) {
  if (t.empty() || t[0].empty()) return;
  const std::size_t heavy = t.size() * 7 / 10;  // the touchdown zone's peak
  for (const std::size_t pick : picks) {
    const std::size_t e = pick / 8 % t.size();
    const std::size_t j = pick / 64 % t[e].size();
    switch (pick % 8) {
      case 0:
      case 1:  // another section equal to the heavy one
        t[e] = t[heavy];
        break;
      case 2:  // two hot spots equal
        t[e][j] = t[e][0];
        break;
      case 3:  // every hot spot equal
        std::fill(t[e].begin(), t[e].end(), t[e][j]);
        break;
      case 4:
        std::fill(t[e].begin(), t[e].end(), 0.0);
        break;
      case 5:
        for (double& v : t[e]) v = -std::fabs(v) - 1e-6;
        break;
      case 6:
        for (auto& row : t) std::fill(row.begin(), row.end(), 0.0);
        break;
      default:
        t[e] = t[heavy];
        t[heavy][j] = t[heavy][0];
        break;
    }
  }
}

constexpr std::array kExtremes = {
    1e-300, 1e300, 4.9406564584124654e-324, 1e-310,  2.2250738585072014e-308,
    0.0,    -0.0,  1.7976931348623157e308,  -1e-300, 1e-33,
    1e-34};

struct damage {
  std::vector<double> coordinates;
  std::vector<table> cases;  // [case - first]
  bool exact = false;        // written to the last bit
};

damage make_damage(const plan& p, splitmix& rng) {
  damage d;
  d.exact =
      p.damage == "planted" || p.damage == "extremes" || (p.hot_spots <= 15 && chance(rng, 0.2));
  const double length = 10.0 * p.sections;
  for (int e = 0; e < p.sections; ++e) {
    d.coordinates.push_back(length * e / std::max(p.sections - 1, 1));
    if (p.damage == "planted" && chance(rng, 0.5)) {
      const double v = planted(rng);
      if (std::fabs(v) < 1e9) d.coordinates.back() = v;
    }
  }
  std::vector<std::size_t> picks(1 + rng.below(4));
  for (std::size_t& pick : picks) pick = static_cast<std::size_t>(rng.next() >> 8);
  for (int c = p.first; c <= std::max(p.first, p.last); ++c) {
    table t(static_cast<std::size_t>(p.sections),
            std::vector<double>(static_cast<std::size_t>(p.hot_spots)));
    for (int e = 0; e < p.sections; ++e) {
      for (int j = 0; j < p.hot_spots; ++j) {
        double& v = t[static_cast<std::size_t>(e)][static_cast<std::size_t>(j)];
        v = realistic_damage(p, c, e, j, rng);
        if (p.damage == "planted" && chance(rng, 0.6)) v = planted(rng);
        if (p.damage == "extremes" && chance(rng, 0.15)) v = rng.pick(kExtremes);
      }
    }
    if (p.damage == "ties") make_ties(t, picks);
    d.cases.push_back(std::move(t));
  }
  return d;
}

// Damage fields written as expressions, each positive and about 1E-30.
constexpr std::array kExpressionDamage = {"SIN(950)*1E-30", "SIN(692)*1E-30", "2*SIN(1253)*1E-30",
                                          "0-SIN(653)*1E-30", "PI*1E-30"};

std::string raw_damage_file(const damage& d, std::size_t index, int case_no, splitmix& rng) {
  lines body = {"# Raw fatigue damage, load case " + std::to_string(case_no),
                "#  S_Coo   damage at hot spots"};
  const table& t = d.cases[index];
  for (std::size_t e = 0; e < t.size(); ++e) {
    std::string row =
        d.exact ? notation(d.coordinates[e], true, rng) : print("%13.3f", d.coordinates[e]);
    if (d.exact && chance(rng, 0.08)) {
      // A section whose every hot spot is one expression: its life prints
      // every digit of the value, so an ulp of the sine or of pi shows.
      const char* const expression = rng.pick(kExpressionDamage);
      for (std::size_t j = 0; j < t[e].size(); ++j) row += std::string("  ") + expression;
      body.push_back(row);
      continue;
    }
    for (const double v : t[e]) {
      if (d.exact || chance(rng, 0.03)) {
        row.append(d.exact ? "  " : " ");
        row.append(notation(v, d.exact, rng));
      } else {
        row.append(print("%12.4E", v));
      }
    }
    body.push_back(row);
  }
  return lay_out(body, rng, chance(rng, 0.3));
}

std::string probability_file(const plan& p, splitmix& rng) {
  bool exact = true;
  const double sum = p.damage == "planted" ? 1.0 : target_sum(rng, exact);
  std::vector<double> values;
  for (int c = 1; c < p.first; ++c) values.push_back(0.1 + 0.8 * rng.uniform());
  std::vector<double> run = probabilities(p.first, p.last, sum, rng);
  if (p.damage == "planted") {
    std::fill(run.begin(), run.end(), 0.0);
    if (!run.empty()) run[rng.below(run.size())] = 1.0;
  }
  values.insert(values.end(), run.begin(), run.end());
  const int extra = rng.below(5) < 3 ? 0 : 1 + static_cast<int>(rng.below(5));
  for (int i = 0; i < extra; ++i) values.push_back(rng.uniform());
  if (p.error == "probabilities short" && !values.empty()) {
    values.resize(values.size() - std::min(values.size(), 1 + static_cast<std::size_t>(extra)));
  }
  if (p.error == "more than 1000 probabilities") values.resize(1003, 0.001);
  if (p.error == "empty probability file") values.clear();
  lines body;
  if (rng.below(3) != 0) body.emplace_back("' Probability of occurrence of each load case");
  std::string record;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (!record.empty()) record += rng.below(4) == 0 ? ", " : " ";
    record += exact ? notation(values[i], true, rng) : print("%.9f", values[i]);
    // Records within the reader's 512 columns.
    if (rng.below(6) == 0 || record.size() > 400 || i + 1 == values.size()) {
      body.push_back(record);
      record.clear();
    }
  }
  if (p.error == "text in probabilities") {
    const std::size_t at = rng.below(body.size() + 1);
    body.insert(body.begin() + static_cast<std::ptrdiff_t>(at), "0.25 ABC 0.5");
  }
  return lay_out(body, rng, chance(rng, 0.3));
}

std::string answers_file(const plan& p, splitmix& rng) {
  using driver::question_id;
  const std::size_t ends = rng.below(30);  // 0: CR LF, 1 to 4: CR on the numbers
  dialogue_answers answers{.first = std::to_string(p.first),
                           .last = std::to_string(p.last),
                           .prefix = p.prefix,
                           .digits = p.digits_answer};
  // The input ends after the probability file when it cannot be opened or
  // when the answers are cut short.
  question_id until = question_id::probability_file;
  if (p.error == "no probability file") {
    answers.probability_file = "nosuch.txt";
  } else {
    if (chance(rng, 0.05)) answers.refused_files = {"nosuch.txt"};
    if (p.error != "answers cut short") {
      constexpr std::array kScale = {"", "", "yes", "Y", "yeah", "no", "n", " y", "ja"};
      answers.scale = rng.pick(kScale);
      until = question_id::scale;
    }
  }
  std::string out;
  for (const answer_line& line : answers.lines()) {
    if (line.id > until) break;
    out += line.text + ((ends == 0 || (line.number && ends < 5)) ? "\r\n" : "\n");
  }
  return out;
}

// A row of a raw damage file changed: a value missing, added or a text.
std::string changed_row(std::string file, splitmix& rng, std::string_view change) {
  std::size_t at = 0;
  std::size_t rows = 0;
  for (std::size_t i = 0; i < file.size(); ++i)
    rows += file[i] == '\n' && i + 1 < file.size() && file[i + 1] != '#';
  const std::size_t target = rows == 0 ? 0 : rng.below(rows);
  for (std::size_t seen = 0; (at = file.find('\n', at)) != std::string::npos; ++at) {
    if (at + 1 < file.size() && file[at + 1] != '#' && seen++ == target) break;
  }
  if (at == std::string::npos) return file;
  const std::size_t start = at + 1;
  const std::size_t end = std::min(file.find_first_of("\r\n", start), file.size());
  std::string row = file.substr(start, end - start);
  const std::size_t last_blank = row.find_last_of(" \t");
  if (change == "missing" && last_blank != std::string::npos) row.erase(last_blank);
  if (change == "extra") row += "  1.0000E-05";
  if (change == "text")
    row.insert(
        row.find_first_of(" \t", 1) == std::string::npos ? row.size() : row.find_first_of(" \t", 1),
        " X7");
  if (change == "coordinate")
    row = "S_C " + row.substr(std::min(row.size(), row.find_first_of(" \t", 1)));
  if (change == "long") row += std::string(520, ' ') + "2.0E-05";
  return file.replace(start, end - start, row);
}

}  // namespace

scenario generate_scenario(std::uint64_t seed) {
  splitmix rng{mix64(seed)};
  const plan p = make_plan(rng);
  scenario run;
  const std::size_t trim = p.prefix.find_first_not_of(' ');
  run.prefix = p.prefix.substr(trim, p.prefix.find_last_not_of(' ') + 1 - trim);
  run.kind = p.damage + (p.error.empty() ? "" : ", " + p.error);
  const damage d = make_damage(p, rng);
  std::vector<std::string> names;
  for (int c = p.first; c <= p.last; ++c) {
    const std::string name = case_file_name(run.prefix, c, p.digits, ".RawDam");
    names.push_back(name);
    run.files[name] = raw_damage_file(d, static_cast<std::size_t>(c - p.first), c, rng);
  }
  if (rng.below(8) == 0 && p.error.empty()) {  // now and then a value in another form
    std::string& file = run.files[rng.pick(names.empty() ? std::vector<std::string>{"x"} : names)];
    file = mutate_raw_damage(file, rng.next(), 0.02);
  }
  run.files["probs.txt"] = probability_file(p, rng);
  run.files["answers.txt"] = answers_file(p, rng);
  if (!names.empty()) {
    std::string& some = run.files[rng.pick(names)];
    if (p.error == "missing case file") run.files.erase(rng.pick(names));
    if (p.error == "text in damage") some = changed_row(some, rng, "text");
    if (p.error == "text in coordinate") some = changed_row(some, rng, "coordinate");
    if (p.error == "hot spot missing") some = changed_row(some, rng, "missing");
    if (p.error == "hot spot extra") some = changed_row(some, rng, "extra");
    if (p.error == "line over 512") some = changed_row(some, rng, "long");
    if (p.error == "no sections") some = "# nothing but headings\n";
    if (p.error == "sections mismatch") {
      std::string& last = run.files[names.back()];
      last = rng.below(2) == 0 ? last + "  99.0  1.0E-05\n"
                               : last.substr(0, last.rfind('\n', last.size() - 2) + 1);
    }
    if (p.error == "weighted blocked") {
      run.files[case_file_name(run.prefix, p.last, p.digits, ".WghDam") + "/"] = "";
    }
  }
  if (p.error == "report blocked") run.files[run.prefix + ".AccDam/"] = "";
  if (p.error == "case file a folder" && !names.empty()) {
    const std::string name = rng.pick(names);
    run.files.erase(name);
    run.files[name + "/"] = "";
  }
  if (p.error == "probability file a folder") {
    run.files.erase("probs.txt");
    run.files["probs.txt/"] = "";
  }
  return run;
}

}  // namespace vantor::testing

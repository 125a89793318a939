#include "tests/support/generate_run.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <numbers>

#include "tests/support/answers.h"

namespace vantor::testing {

namespace {

void append_right(std::string& out, std::string_view text, std::size_t width) {
  out.append(text.size() < width ? width - text.size() : 0, ' ');
  out += text;
}

// F13.3
void append_fixed(std::string& out, double v) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 3);
  append_right(out, std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)), 13);
}

// 1PE12.4: four decimals, the exponent with a sign and at least two digits.
void append_exponent(std::string& out, double v) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 4);
  const std::string_view text(buf, static_cast<std::size_t>(r.ptr - buf));
  const auto e = text.find('e');
  int exponent = 0;
  std::from_chars(text.data() + e + 1 + (text[e + 1] == '+'), text.data() + text.size(), exponent);
  const std::string magnitude = std::to_string(std::abs(exponent));
  std::string field(text.substr(0, e));
  field += exponent < 0 ? "E-" : "E+";
  if (magnitude.size() < 2) field += '0';
  field += magnitude;
  append_right(out, field, 12);
}

}  // namespace

std::string case_file_name(std::string_view prefix, int case_no, int digits,
                           std::string_view suffix) {
  const std::string number = std::to_string(case_no);
  std::string name(prefix);
  name += '_';
  name.append(number.size() < static_cast<std::size_t>(digits) ? digits - number.size() : 0, '0');
  name += number;
  name += suffix;
  return name;
}

std::string raw_damage_text(const raw_damage& file) {
  std::string out = "# Raw fatigue damage, load case " + std::to_string(file.case_no) + "\n";
  out += "#  S_Coo   damage at hot spots 1 to " + std::to_string(file.hot_spots) + "\n";
  for (int e = 0; e < file.sections; ++e) {
    append_fixed(out, file.coordinate(e));
    for (int j = 0; j < file.hot_spots; ++j) append_exponent(out, file.damage(e, j));
    out += '\n';
  }
  return out;
}

// SplitMix64: small, and the same on every machine.
realistic_run::realistic_run(run_shape shape)
    : shape_(shape),
      rng_{shape.seed},
      weights_(static_cast<std::size_t>(std::max(shape.cases, 0))) {
  for (double& w : weights_) w = 0.5 + 1.5 * rng_.uniform();
  for (double w : weights_) total_ += w;
  // Case numbers in file names: 3 digits, or as many as the last case needs.
  digits_ = std::max(3, static_cast<int>(std::to_string(shape.cases).size()));
}

std::string realistic_run::raw_damage(int case_no) {
  const double length = 10.0 * shape_.sections;
  const int last = std::max(shape_.sections - 1, 1);
  return raw_damage_text(
      {case_no, shape_.sections, shape_.hot_spots, [&](int e) { return length * e / last; },
       [&](int e, int j) {
         const double coord = length * e / last;
         const double top = std::exp(-std::pow((coord - 0.05 * length) / (0.04 * length), 2));
         const double tdz = std::exp(-std::pow((coord - 0.7 * length) / (0.06 * length), 2));
         const double angle = 2.0 * std::numbers::pi * j / std::max(shape_.hot_spots, 1);
         const double shape = 0.55 + 0.45 * std::cos(angle - 0.6 * case_no);
         const double level = -9.0 + 6.5 * std::max(top, tdz) * shape + 0.8 * rng_.uniform() - 0.4;
         return std::min(std::pow(10.0, level), 9.9e-3);
       }});
}

std::string realistic_run::probability_text() const {
  std::string out = "' Probability of occurrence of each load case\n";
  for (int c = 0; c < shape_.cases; ++c) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.9f%c", weights_[static_cast<std::size_t>(c)] / total_,
                  (c % 8 == 7 || c == shape_.cases - 1) ? '\n' : ' ');
    out += buf;
  }
  return out;
}

std::string realistic_run::answers() const {
  // A blank digits answer means 3; a run of 1000 cases or more names its
  // files with more digits and must say so.
  const std::string digits = digits_ == 3 ? std::string() : std::to_string(digits_);
  return dialogue_answers{.last = std::to_string(shape_.cases), .digits = digits}.text();
}

void write_realistic_run(const std::filesystem::path& dir, run_shape shape) {
  std::filesystem::create_directories(dir);
  realistic_run run(shape);
  for (int c = 1; c <= shape.cases; ++c) {
    std::ofstream(dir / case_file_name("riser", c, run.digits(), ".RawDam"), std::ios::binary)
        << run.raw_damage(c);
  }
  std::ofstream(dir / "probs.txt", std::ios::binary) << run.probability_text();
  std::ofstream(dir / "answers.txt", std::ios::binary) << run.answers();
}

}  // namespace vantor::testing

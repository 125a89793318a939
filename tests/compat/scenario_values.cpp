#include "tests/compat/scenario_values.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "tests/support/forms.h"

namespace vantor::testing {
namespace {

bool accepted(double sum) {
  const double r = 1.0 / sum;
  return 1.0 - 0.001 < r && r < 1.0 + 0.001;
}

// The double next to start where the tolerance check changes its answer.
double flip_point(double start) {
  double low = start;
  double high = start;
  const bool inside = accepted(start);
  for (int i = 0; i < 100000 && accepted(low) == inside && accepted(high) == inside; ++i) {
    low = std::nextafter(low, 0.0);
    high = std::nextafter(high, 2.0);
  }
  return accepted(low) != inside ? low : high;
}

// Values at the rounding boundaries of F13.3 and 1PE12.4 that a file can
// hold, and the extremes of a double.
const std::vector<double>& planted_values() {
  static const std::vector<double> values = [] {
    std::vector<double> kept;
    for (const double v : boundary_values()) {
      if (std::isfinite(v)) kept.push_back(v);
    }
    return kept;
  }();
  return values;
}

// Halfway points that a double holds exactly: sixteenths for F13.3, integers
// and halves of five digits for 1PE12.4, and damages whose life 1/damage lies
// halfway between tenths for F35.1.
constexpr std::array kExactHalfway = {0.0625,     0.1875,        0.3125,    2.5625,  12.0625,
                                      123.8125,   12345.6875,    -0.0625,   -2.3125, 100005.0,
                                      100025.0,   234565.0,      12344.5,   99999.5, 1.0 / 2.25,
                                      1.0 / 6.25, 1.0 / 1234.25, 1.0 / 0.75};

// Decimal halfway points of F13.3 that no double holds: the nearest double
// lies a little to one side, and its scaled value may round to exactly .5.
constexpr std::array kDecimalHalfway = {0.1125, 1.0005, 2.3455, 0.0015, 10.0125, 0.5555};

}  // namespace

bool chance(splitmix& rng, double p) {
  return rng.uniform() < p;
}

std::string print(const char* format, double value) {
  std::array<char, 64> text{};
  std::snprintf(text.data(), text.size(), format, value);
  return text.data();
}

// A value in one of the notations of the input files. Exact notations give
// back the double itself; the others round it as an engineer's file would.
std::string notation(double value, bool exact, splitmix& rng) {
  if (exact) {
    // (A Fortran D exponent is a text to the reader: not here.)
    switch (rng.below(4)) {
      case 0:
        return print("%.16E", value);
      case 1:
        return print("%.16e", value);
      default:
        return print("%.17g", value);
    }
  }
  switch (rng.below(8)) {
    case 0:
      return print("%.5e", value);
    case 1:
      return print("%.6G", value);
    default:
      return print("%12.4E", value);
  }
}

// The lines laid out as one input file: LF, CR LF or mixed line ends, and in
// some files tabs, comment lines, blank lines and "#" lines between them.
std::string lay_out(const lines& body, splitmix& rng, bool decorate) {
  const std::size_t ends = rng.below(20) < 12 ? 0 : (rng.below(2) == 0 ? 1 : 2);
  constexpr std::array kExtra = {
      "! a comment line", "' a quoted comment line", "", "   ", "\t", "# a heading", " \t ! note"};
  std::string out;
  const auto end_line = [&] {
    out += (ends == 1 || (ends == 2 && rng.below(2) == 0)) ? "\r\n" : "\n";
  };
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (decorate && chance(rng, 0.12)) {
      out += rng.pick(kExtra);
      end_line();
    }
    std::string line = body[i];
    if (decorate && chance(rng, 0.15)) {
      const std::size_t blank = line.find(' ', rng.below(line.size() + 1));
      if (blank != std::string::npos) line[blank] = '\t';
    }
    if (decorate && chance(rng, 0.15)) {  // a comma after an item or before the next
      const std::size_t first = line.find_first_not_of(" \t");
      const std::size_t gap = line.find_first_of(" \t", first);
      const std::size_t item = line.find_first_not_of(" \t", gap);
      if (first != std::string::npos && item != std::string::npos && line[first] != '#') {
        const bool glued = chance(rng, 0.5);
        line.insert(glued ? gap : item, 1, ',');
        // A comment takes the line off the fast path for lines of plain numbers.
        if (glued && chance(rng, 0.5)) line += "  ! comma";
      }
    }
    if (decorate && chance(rng, 0.05)) {  // a comment after the values, now and then glued on
      line += chance(rng, 0.5) ? "! trailing comment" : "  ! trailing comment 7 1.0E-2";
    }
    out += line;
    if (i + 1 < body.size() || !chance(rng, 0.1)) end_line();
  }
  return out;
}

double target_sum(splitmix& rng, bool& exact) {
  exact = true;
  constexpr std::array kOffsets = {0.0,     0.0005, -0.0005, 0.00099, -0.00099, 0.001,
                                   -0.001,  0.0011, -0.0011, 0.0015,  -0.0015,  0.0019,
                                   -0.0019, 0.002,  -0.002,  0.0021,  -0.0021,  0.003,
                                   -0.003,  0.05,   -0.5,    1.0,     -0.999,   0.0};
  switch (rng.below(10)) {
    case 0:
    case 1:
    case 2:
      exact = false;  // nine decimals, as the files engineers write
      return 1.0;
    case 3:
    case 4: {  // at the flip points of the tolerance, a few doubles either side
      double s = flip_point(rng.below(2) == 0 ? 1.0 / 1.001 : 1.0 / 0.999);
      for (int k = static_cast<int>(rng.below(7)) - 3; k != 0; k += k > 0 ? -1 : 1) {
        s = std::nextafter(s, k > 0 ? 2.0 : 0.0);
      }
      return s;
    }
    default:
      return 1.0 + rng.pick(kOffsets);
  }
}

// Probabilities of the cases first to last adding up (in case order, from
// 0.0) to exactly `sum`.
std::vector<double> probabilities(int first, int last, double sum, splitmix& rng) {
  std::vector<double> p;
  double total = 0.0;
  for (int c = first; c <= last; ++c) total += p.emplace_back(0.5 + 1.5 * rng.uniform());
  for (double& v : p) v = v / total * sum;
  if (p.empty()) return p;
  for (int round = 0; round < 64; ++round) {
    double s = 0.0;
    for (const double v : p) s += v;
    if (s == sum) break;
    p.back() = std::nextafter(p.back(), s < sum ? HUGE_VAL : -HUGE_VAL);
  }
  return p;
}

double planted(splitmix& rng) {
  switch (rng.below(10)) {
    case 0:
    case 1:
      return rng.pick(kExactHalfway);
    case 2:  // a double beside a halfway point, or a decimal halfway no double holds
      return chance(rng, 0.5)
                 ? std::nextafter(rng.pick(kExactHalfway), chance(rng, 0.5) ? 1e9 : -1e9)
                 : rng.pick(kDecimalHalfway);
    default:
      return rng.pick(planted_values());
  }
}

}  // namespace vantor::testing

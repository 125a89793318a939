#include "freeinput/expr.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

#include "freeinput/pow10_table.h"
#include "freeinput/scan.h"
#include "freeinput/state.h"

namespace vantor::freeinput {
namespace {

constexpr double kPi = 3.141592653589793;

// The digit values that the recognisers use as scratch and hand back.
struct scratch {
  std::int64_t digit_value;
  double digit_real;
  int last_digit;
  int IEXPO;
};

scratch save_scratch() {
  const free_input_state& st = input_state;
  return {st.digit_value, st.digit_real, st.last_digit, st.IEXPO};
}

void restore_scratch(const scratch& s) {
  free_input_state& st = input_state;
  st.digit_value = s.digit_value;
  st.digit_real = s.digit_real;
  st.last_digit = s.last_digit;
  st.IEXPO = s.IEXPO;
}

// The place values of the fraction digits: s = 1.0, then s = s / 10.0 for each
// digit in turn. From kFractionPlaces digits on s has become 0.0.
constexpr int kFractionPlaces = 400;
constexpr std::array<double, kFractionPlaces> kFractionScale = [] {
  std::array<double, kFractionPlaces> scale{};
  double s = 1.0;
  for (double& place : scale) {
    s = s / 10.0;
    place = s;
  }
  return scale;
}();
static_assert(kFractionScale.back() == 0.0);

// One fraction digit d at place k (from 0) added to f: f = d * s + f with the
// place value s. The general and the one-pass recognisers both use it, so
// they compute the same bits.
double add_fraction_digit(double f, int d, std::size_t k) {
  const double s = k < kFractionScale.size() ? kFractionScale[k] : 0.0;
  return d * s + f;
}

// The fraction digits, the first already taken by ISDIGT.
double fraction_digits() {
  const free_input_state& st = input_state;
  double f = 0.0;
  std::size_t k = 0;
  do {
    f = add_fraction_digit(f, st.last_digit, k++);
  } while (ISDIGT());
  return f;
}

enum class operation { none, add, subtract, power, multiply, divide };

// An operator at the cursor, tried as "+", "-", "**", "*", "/".
operation take_operator() {
  if (KEYCUR("+", 1)) return operation::add;
  if (KEYCUR("-", 1)) return operation::subtract;
  if (KEYCUR("*", 1)) return KEYCUR("*", 1) ? operation::power : operation::multiply;
  if (KEYCUR("/", 1)) return operation::divide;
  return operation::none;
}

double combine(double v, operation op, double operand) {
  switch (op) {
    case operation::add:
      return v + operand;
    case operation::subtract:
      return v - operand;
    case operation::power:
      return std::pow(v, operand);
    case operation::multiply:
      return v * operand;
    case operation::divide:
      return operand == 0.0 ? 0.0 : v / operand;
    case operation::none:
      break;
  }
  return v;
}

// A sign at the cursor: -1 for "-", otherwise +1 (a "+" is taken).
int take_sign_at_cursor() {
  if (KEYCUR("+", 1)) return 1;
  if (KEYCUR("-", 1)) return -1;
  return 1;
}

}  // namespace

double scale_by_power_of_ten(double x, int exponent) {
  // A zero stays zero, also for powers that overflow.
  if (x == 0.0) return x;
  if (exponent < kPow10Low) return x * 0.0;
  if (exponent > kPow10High) return x * std::numeric_limits<double>::infinity();
  return x * pow10_table[static_cast<std::size_t>(exponent - kPow10Low)];
}

bool take_plain_number(bool& is_integer) {
  free_input_state& st = input_state;
  const int last = st.LASTCL;
  if (st.ICOL < 1 || st.ICOL > last || last >= kLineFieldSize) return false;
  // Column c is line[c - 1]. The line reader put a sentinel (no digit, point,
  // letter E, sign, blank or comma) after the last significant column, so the
  // scans below stop there at the latest.
  const char* const line = st.CURLIN.data();
  const char* const end = line + last;
  const char* p = line + (st.ICOL - 1);
  const auto is_digit = [](char c) { return static_cast<unsigned char>(c - '0') < 10; };

  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  // Integer part: at most 15 digits, so that it is exact in every form.
  const char* const whole_start = p;
  std::int64_t whole = 0;
  while (is_digit(*p)) {
    if (p - whole_start == 15) return false;
    whole = whole * 10 + (*p - '0');
    ++p;
  }
  const bool has_whole = p != whole_start;
  bool has_point = false;
  bool has_fraction = false;
  double fraction = 0.0;
  if (*p == '.') {
    has_point = true;
    ++p;
    const char* const fraction_start = p;
    while (is_digit(*p)) {
      fraction =
          add_fraction_digit(fraction, *p - '0', static_cast<std::size_t>(p - fraction_start));
      ++p;
    }
    has_fraction = p != fraction_start;
  }
  if (!has_whole && !has_fraction) return false;
  bool has_exponent = false;
  int exponent = 0;
  if (*p == 'E') {
    const char* q = p + 1;
    int exponent_sign = 1;
    if (*q == '+' || *q == '-') {
      exponent_sign = *q == '-' ? -1 : 1;
      ++q;
    }
    const char* const digits_start = q;
    while (q - digits_start < 4 && is_digit(*q)) {
      exponent = exponent * 10 + (*q - '0');
      ++q;
    }
    if (q == digits_start) return false;
    exponent *= exponent_sign;
    has_exponent = true;
    p = q;
  }
  // The field must end here: a blank, a comma or the end of the line.
  if (p < end && *p != ' ' && *p != ',') return false;
  if (!has_point && !has_exponent) {
    if (whole > 2147483647LL + (negative ? 1 : 0)) return false;
    st.IVALUE = static_cast<std::int32_t>(negative ? -whole : whole);
    is_integer = true;
  } else {
    double x = static_cast<double>(whole);
    if (has_fraction) x = x + fraction;
    if (has_exponent) x = scale_by_power_of_ten(x, exponent);
    st.RVALUE = negative ? -x : x;
    is_integer = false;
  }
  st.ICOL = static_cast<int>(p - line) + 1;
  ENDFLD();
  return true;
}

bool KEYCUR(std::string_view key, int n) {
  if (input_state.ICOL > input_state.LASTCL) return false;
  return match_at_cursor(key, n);
}

bool ISEXPO() {
  free_input_state& st = input_state;
  const int entry = st.ICOL;
  if (!KEYCUR("E", 1)) return false;
  const int sign = take_sign_at_cursor();
  if (!ISDIGT()) {
    st.ICOL = entry;
    return false;
  }
  int exponent = st.last_digit;
  for (int k = 0; k < 3 && ISDIGT(); ++k) exponent = exponent * 10 + st.last_digit;
  st.IEXPO = sign * exponent;
  return true;
}

bool ISNUMB() {
  free_input_state& st = input_state;
  const int entry = st.ICOL;
  const scratch saved = save_scratch();
  const int ncmtch = st.NCMTCH;
  st.NCMTCH = 2;

  bool found = false;
  double value = 0.0;
  if (DIGSTR()) {
    double x = st.digit_real;
    if (KEYCUR(".", 1) && ISDIGT()) x = x + fraction_digits();
    if (ISEXPO()) x = scale_by_power_of_ten(x, st.IEXPO);
    value = x;
    found = true;
  } else if (KEYCUR(".", 1)) {
    if (ISDIGT()) {
      double f = fraction_digits();
      if (ISEXPO()) f = scale_by_power_of_ten(f, st.IEXPO);
      value = f;
      found = true;
    } else {
      st.ICOL = entry;
    }
  } else if (KEYCUR("PI", 2)) {
    value = kPi;
    found = true;
  }

  if (found) st.RVALUE = value;
  restore_scratch(saved);
  st.NCMTCH = ncmtch;
  return found;
}

bool ISFUNC() {
  free_input_state& st = input_state;
  if (st.ICOL > st.LASTCL) return false;
  const int entry = st.ICOL;
  const int ncmtch = st.NCMTCH;
  st.NCMTCH = 4;

  bool sine = true;
  if (KEYCUR("SIN(", 4)) {
    sine = true;
  } else if (KEYCUR("COS(", 4)) {
    sine = false;
  } else {
    st.NCMTCH = ncmtch;
    return false;
  }

  const double rvalue = st.RVALUE;
  const scratch saved = save_scratch();
  const int sign = take_sign_at_cursor();
  bool valid = ISNUMB();
  double a = st.RVALUE;
  while (valid && !KEYCUR(")", 1)) {
    const operation op = take_operator();
    if (op == operation::none || !ISNUMB()) {
      valid = false;
      break;
    }
    a = combine(a, op, st.RVALUE);
  }

  if (valid) {
    if (sign == -1) a = -a;
    st.RVALUE = sine ? std::sin(a) : std::cos(a);
  } else {
    st.RVALUE = rvalue;
    st.ICOL = entry;
  }
  restore_scratch(saved);
  st.NCMTCH = ncmtch;
  return valid;
}

bool ISREAL() {
  free_input_state& st = input_state;
  if (st.ICOL > st.LASTCL) return false;
  const int entry = st.ICOL;
  const double rvalue = st.RVALUE;
  const scratch saved = save_scratch();

  int sign = 1;
  if (KEYMAT("+", 1)) {
    sign = 1;
  } else if (KEYMAT("-", 1)) {
    sign = -1;
  }

  bool valid = ISNUMB() || ISFUNC();
  double v = st.RVALUE;
  while (valid && !ENDFLD()) {
    const operation op = take_operator();
    if (op == operation::none || !(ISNUMB() || ISFUNC())) {
      valid = false;
      break;
    }
    v = combine(v, op, st.RVALUE);
  }

  if (valid) {
    if (sign == -1) v = -v;
    st.RVALUE = v;
  } else {
    st.RVALUE = rvalue;
    st.ICOL = entry;
  }
  restore_scratch(saved);
  return valid;
}

}  // namespace vantor::freeinput

#include "freeinput/expr.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>

#include "freeinput/math.h"
#include "freeinput/plain_number.h"
#include "freeinput/scan.h"
#include "freeinput/state.h"

namespace vantor::freeinput {
namespace {

constexpr double kPi = 3.141592653589793;

// The fraction digits, the first already taken by ISDIGT.
double fraction_digits() {
  const free_input_state& st = input_state;
  double f = 0.0;
  std::size_t k = 0;
  do {
    f = add_fraction_digit(f, static_cast<unsigned>(st.last_digit), k++);
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
      return portable_pow(v, operand);
    case operation::multiply:
      return v * operand;
    case operation::divide:
      return operand == 0.0 ? 0.0 : v / operand;
    case operation::none:
      break;
  }
  return v;
}

// Folds pairs of operator and operand into v from left to right until done()
// holds. False when an operator is unknown or its operand() fails.
template <class Done, class Operand>
bool fold_operations(double& v, Done done, Operand operand) {
  while (!done()) {
    const operation op = take_operator();
    if (op == operation::none || !operand()) return false;
    v = combine(v, op, input_state.RVALUE);
  }
  return true;
}

// A sign at the cursor: -1 for "-", otherwise +1 (a "+" is taken).
int take_sign_at_cursor() {
  if (KEYCUR("+", 1)) return 1;
  if (KEYCUR("-", 1)) return -1;
  return 1;
}

}  // namespace

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
  const scratch_guard scratch;
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
  const scratch_guard scratch;
  const int sign = take_sign_at_cursor();
  bool valid = ISNUMB();
  double a = st.RVALUE;
  valid = valid && fold_operations(
                       a, [] { return KEYCUR(")", 1); }, ISNUMB);

  if (valid) {
    if (sign == -1) a = -a;
    st.RVALUE = sine ? portable_sin(a) : portable_cos(a);
  } else {
    st.RVALUE = rvalue;
    st.ICOL = entry;
  }
  st.NCMTCH = ncmtch;
  return valid;
}

bool ISREAL() {
  free_input_state& st = input_state;
  if (st.ICOL > st.LASTCL) return false;
  const int entry = st.ICOL;
  const double rvalue = st.RVALUE;
  const scratch_guard scratch;

  int sign = 1;
  if (KEYMAT("+", 1)) {
    sign = 1;
  } else if (KEYMAT("-", 1)) {
    sign = -1;
  }

  const auto operand = [] { return ISNUMB() || ISFUNC(); };
  bool valid = operand();
  double v = st.RVALUE;
  valid = valid && fold_operations(v, ENDFLD, operand);

  if (valid) {
    if (sign == -1) v = -v;
    st.RVALUE = v;
  } else {
    st.RVALUE = rvalue;
    st.ICOL = entry;
  }
  return valid;
}

}  // namespace vantor::freeinput

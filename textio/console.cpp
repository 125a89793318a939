#include "textio/console.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "textio/fatal.h"
#include "textio/units.h"

namespace vantor::textio {
namespace {

constexpr std::string_view kConsoleInName = "CONIN$";

// Where an integer answer comes from, for the reports.
struct source {
  int unit;
  std::string_view name;
};

constexpr source kConsole{kConsoleIn, kConsoleInName};
constexpr source kText{kInternalUnit, kInternalReadName};

// Characters of an answer line that are kept; the rest of a longer line is
// read and dropped, so that input without line feeds cannot exhaust the
// memory. A text answer uses 256 characters, a number stands in its first
// token.
constexpr std::size_t kAnswerLimit = std::size_t{1} << 20;

// Takes the next console line; the end of the input (or a control-Z line)
// ends the run.
std::string_view take_console_line() {
  static std::array<char, kAnswerLimit> buffer;
  flush_unit(kConsoleOut);
  std::size_t length = 0;
  const int status = read_line(kConsoleIn, buffer, length);
  const std::string_view line(buffer.data(), length);
  if (status == -1 || (status == 0 && line == "\x1a"))
    fatal(kErrEndOfFile, kConsoleIn, kConsoleInName);
  if (status != 0) fatal(kErrRead, kConsoleIn, kConsoleInName);
  return line;
}

bool is_separator_blank(char c) {
  return c == ' ' || c == '\t';
}
bool is_token_end(char c) {
  return is_separator_blank(c) || c == ',' || c == '/';
}
bool is_digit(char c) {
  return c >= '0' && c <= '9';
}
bool is_exponent_letter(char c) {
  return c == 'D' || c == 'E' || c == 'Q' || c == 'd' || c == 'e' || c == 'q';
}

// Parses one value token (no repeat count). Returns nullopt for a token of no
// number form; stops the run with 64 for a value outside the 32-bit range.
std::optional<std::int32_t> parse_number(std::string_view t, const source& from) {
  std::size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
  const std::size_t int_start = i;
  while (i < t.size() && is_digit(t[i])) ++i;
  const std::size_t int_digits = i - int_start;
  bool point = false;
  std::size_t frac_digits = 0;
  if (i < t.size() && t[i] == '.') {
    point = true;
    ++i;
    const std::size_t frac_start = i;
    while (i < t.size() && is_digit(t[i])) ++i;
    frac_digits = i - frac_start;
  }
  if (int_digits + frac_digits == 0) return std::nullopt;
  bool exponent = false;
  std::string_view exp_digits;
  bool exp_negative = false;
  if (i < t.size() && is_exponent_letter(t[i])) {
    exponent = true;
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
      exp_negative = t[i] == '-';
      ++i;
      if (i == t.size()) return std::nullopt;  // "1E+"
    }
    const std::size_t exp_start = i;
    while (i < t.size() && is_digit(t[i])) ++i;
    exp_digits = t.substr(exp_start, i - exp_start);
  }
  if (i != t.size()) return std::nullopt;

  if (!point && !exponent) {
    std::int64_t value = 0;
    for (std::size_t k = int_start; k < int_start + int_digits; ++k) {
      value = value * 10 + (t[k] - '0');
      if (value > 2147483648LL) fatal(kErrConversion, from.unit, from.name);
    }
    if (negative) value = -value;
    if (value > 2147483647LL) fatal(kErrConversion, from.unit, from.name);
    return static_cast<std::int32_t>(value);
  }

  // Real form: read it correctly rounded, then truncate toward zero.
  std::string text(t.substr(0, int_start + int_digits + (point ? 1 + frac_digits : 0)));
  if (!exp_digits.empty()) {
    text += exp_negative ? "e-" : "e";
    text += exp_digits;
  }
  const double value = std::strtod(text.c_str(), nullptr);
  const double whole = std::trunc(value);
  if (!(whole >= -2147483648.0 && whole <= 2147483647.0)) {
    fatal(kErrConversion, from.unit, from.name);
  }
  return static_cast<std::int32_t>(whole);
}

// Tokens of the logical and character forms are refused outright.
bool is_refused_form(std::string_view t) {
  const auto upper = [](char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c); };
  if (t.empty()) return true;
  const char c0 = upper(t[0]);
  if (c0 == 'T' || c0 == 'F' || t[0] == '\'' || t[0] == '"') return true;
  if (t[0] == '.' && t.size() > 1 && (upper(t[1]) == 'T' || upper(t[1]) == 'F')) return true;
  return false;
}

// Reads the value of one token into target (a null value leaves it).
void read_token(std::string_view token, int& target, const source& from) {
  if (is_refused_form(token)) fatal(kErrSyntax, from.unit, from.name);
  const std::size_t star = token.find('*');
  if (star != std::string_view::npos) {
    const std::string_view count = token.substr(0, star);
    const bool count_ok = !count.empty() && std::all_of(count.begin(), count.end(), is_digit) &&
                          count.find_first_not_of('0') != std::string_view::npos;
    if (!count_ok) fatal(kErrSyntax, from.unit, from.name);
    token = token.substr(star + 1);
    if (token.empty()) return;  // "r*": a null value
    if (is_refused_form(token)) fatal(kErrSyntax, from.unit, from.name);
  }
  const auto value = parse_number(token, from);
  if (!value) fatal(kErrSyntax, from.unit, from.name);
  target = *value;
}

// Scans one line for a value. Returns false when the line ends before a value,
// a comma or a slash.
bool scan_line(std::string_view line, int& target, const source& from) {
  std::size_t i = 0;
  while (i < line.size() && is_separator_blank(line[i])) ++i;
  if (i == line.size()) return false;
  if (line[i] == '/' || line[i] == ',') return true;
  std::size_t end = i;
  while (end < line.size() && !is_token_end(line[end])) ++end;
  read_token(line.substr(i, end - i), target, from);
  return true;
}

}  // namespace

void readLine(std::span<char> field) {
  const std::string_view line = take_console_line();
  const std::size_t n = std::min(line.size(), field.size());
  std::copy_n(line.begin(), n, field.begin());
  std::fill(field.begin() + static_cast<std::ptrdiff_t>(n), field.end(), ' ');
}

void readInteger(int& target) {
  while (!scan_line(take_console_line(), target, kConsole)) {
  }
}

void readInteger(std::string_view text, int& target) {
  if (!scan_line(text, target, kText)) fatal(kErrEndOfFile, kText.unit, kText.name);
}

}  // namespace vantor::textio

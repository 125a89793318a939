#include "textio/console.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

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

// The longest token read as a value: a number token of more characters ends
// the run with 64 (none of the 32-bit range needs them), any other with 59.
constexpr std::size_t kTokenLimit = 256;
// A token's form with each run of digits cut to one digit: numbers have at
// most a dozen characters of it, so a longer form is no number at all.
constexpr std::size_t kFormLimit = 32;

// Takes the next console line piece by piece (nothing of it is kept here);
// the end of the input (or a control-Z line) ends the run.
template <class Piece>
void take_console_line(Piece&& piece) {
  flush_unit(kConsoleOut);
  std::size_t length = 0;
  char first = '\0';
  const int status = read_line_pieces(kConsoleIn, [&](std::string_view part) {
    if (length == 0 && !part.empty()) first = part[0];
    length += part.size();
    piece(part);
  });
  if (status == -1 || (status == 0 && length == 1 && first == '\x1a'))
    fatal(kErrEndOfFile, kConsoleIn, kConsoleInName);
  if (status != 0) fatal(kErrRead, kConsoleIn, kConsoleInName);
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
  // Outside the range of doubles: an overflow when the exponent is not
  // negative, else an underflow to zero (a token of at most kTokenLimit
  // characters cannot overflow with a negative exponent).
  double value = 0.0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec == std::errc::result_out_of_range) {
    if (!exp_negative) fatal(kErrConversion, from.unit, from.name);
    value = 0.0;
  } else if (ec != std::errc{} || end != text.data() + text.size()) {
    fatal(kErrSyntax, from.unit, from.name);
  }
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

// Reads the value of one token into target (a null value leaves it); true
// when a value was taken.
bool read_token(std::string_view token, int& target, const source& from) {
  if (is_refused_form(token)) fatal(kErrSyntax, from.unit, from.name);
  const std::size_t star = token.find('*');
  if (star != std::string_view::npos) {
    const std::string_view count = token.substr(0, star);
    const bool count_ok = !count.empty() && std::all_of(count.begin(), count.end(), is_digit) &&
                          count.find_first_not_of('0') != std::string_view::npos;
    if (!count_ok) fatal(kErrSyntax, from.unit, from.name);
    token = token.substr(star + 1);
    if (token.empty()) return false;  // "r*": a null value
    if (is_refused_form(token)) fatal(kErrSyntax, from.unit, from.name);
  }
  const auto value = parse_number(token, from);
  if (!value) fatal(kErrSyntax, from.unit, from.name);
  target = *value;
  return true;
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

// The scan of a console line for an integer, fed piece by piece: blanks and
// tabs before the token are passed over, the token is kept (up to
// kTokenLimit characters, its form always), the rest of the line is dropped.
class console_scan {
 public:
  void feed(std::string_view part) {
    for (const char c : part) {
      if (state_ == state::after) return;
      if (state_ == state::before) {
        if (is_separator_blank(c)) continue;
        if (c == '/' || c == ',') {
          state_ = state::after;  // a slash or a null value: the target is kept
          continue;
        }
        state_ = state::token;
      }
      if (is_token_end(c)) {
        state_ = state::after;
        continue;
      }
      add(c);
    }
  }

  // At the end of the line: false when it held no value, comma or slash.
  bool finish(int& target) {
    if (state_ == state::before) return false;
    if (token_.empty()) return true;
    if (length_ <= kTokenLimit) {
      read_token(token_, target, kConsole);
      return true;
    }
    // Too long to be a value: its form says whether it is a number (64) or
    // not (59); a repeat count with nothing after it stays a null value.
    int scratch = 0;
    if (form_.size() > kFormLimit) fatal(kErrSyntax, kConsole.unit, kConsole.name);
    if (read_token(form_, scratch, kConsole)) fatal(kErrConversion, kConsole.unit, kConsole.name);
    return true;
  }

 private:
  enum class state : std::uint8_t { before, token, after };

  void add(char c) {
    if (length_++ < kTokenLimit) token_.push_back(c);
    if (form_.size() > kFormLimit) return;
    // A run of digits stands as one digit: "0" if the run is all zeros so far
    // (a repeat count of zeros stays refused), else "1".
    if (is_digit(c) && in_digits_) {
      if (c != '0') form_.back() = '1';
      return;
    }
    in_digits_ = is_digit(c);
    form_.push_back(in_digits_ ? (c == '0' ? '0' : '1') : c);
  }

  state state_ = state::before;
  std::string token_;  // the first kTokenLimit characters of the token
  std::size_t length_ = 0;
  std::string form_;  // the token's form, digit runs cut to one digit
  bool in_digits_ = false;
};

}  // namespace

void readLine(std::span<char> field) {
  std::size_t n = 0;
  take_console_line([&](std::string_view part) {
    const std::size_t take = std::min(part.size(), field.size() - n);
    std::copy_n(part.begin(), take, field.begin() + static_cast<std::ptrdiff_t>(n));
    n += take;
  });
  std::fill(field.begin() + static_cast<std::ptrdiff_t>(n), field.end(), ' ');
}

void readInteger(int& target) {
  for (;;) {
    console_scan scan;
    take_console_line([&scan](std::string_view part) { scan.feed(part); });
    if (scan.finish(target)) return;
  }
}

void readInteger(std::string_view text, int& target) {
  if (!scan_line(text, target, kText)) fatal(kErrEndOfFile, kText.unit, kText.name);
}

}  // namespace vantor::textio

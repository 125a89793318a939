// Layouts of the record writer: edit-descriptor notation parsed into a table
// of descriptors at compile time.
//
//   inline constexpr auto kRow = layout_of("(F13.3,1P,99E12.4)");
//
// A malformed layout does not compile. Descriptors: 'literal' (apostrophe
// doubled inside), TRn, nX, /, $, kP, Iw, Iw.m, Fw.d, Ew.d, A, Aw, and a repeat
// count before a data descriptor. detail::parse_layout is the same parser
// without throwing, for tests of the refusals.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vantor::textio {

// The data descriptors (those that take an item) come last.
enum class op : std::uint8_t {
  literal,  // text (as written in the layout, doubled apostrophes undone on output)
  skip,     // TRn / nX: move n columns right
  slash,    // end the record, start a new one
  dollar,   // no advance at the end of the statement
  scale,    // kP
  int_i,    // Iw or Iw.m (has_min)
  fixed_f,  // Fw.d
  exp_e,    // Ew.d
  text_a,   // A (w = 0) or Aw
};

constexpr bool takes_item(op kind) {
  return kind >= op::int_i;
}

struct descriptor {
  op kind = op::literal;
  int repeat = 1;  // data descriptors only
  int w = 0;       // width; for skip the column count; for scale k
  int d = 0;       // decimals (F, E) or minimum digits m (I)
  bool has_min = false;
  std::string_view text;  // literal text between the apostrophes, still doubled
};

inline constexpr std::size_t kMaxDescriptors = 40;

struct layout {
  std::array<descriptor, kMaxDescriptors> items{};
  std::size_t count = 0;
  std::string_view source;
};

namespace detail {

// Why a layout text was refused; none for a well-formed layout.
enum class layout_error : std::uint8_t {
  none,
  no_open_paren,         // the text does not start with "("
  unbalanced_paren,      // no closing ")" for the opening one
  nested_group,          // "(" inside the layout
  trailing_text,         // something after the closing ")"
  unterminated_literal,  // a literal without its closing apostrophe
  unknown_descriptor,    // not one of the descriptors of the notation
  missing_width,         // I, F, E, TR, X or a "." without its number
  bad_width,             // a width, count or digit number out of range
  repeat_not_allowed,    // a repeat count before a non-data descriptor
  bad_scale,             // a scale factor outside 0P to 9P
  missing_comma,         // two descriptors not separated by a comma
  too_many_descriptors,  // more than kMaxDescriptors
};

// Limits of the numbers in a layout.
inline constexpr int kMaxWidth = 999;    // field widths, TR/X counts, repeats
inline constexpr int kMaxDecimals = 99;  // d of Fw.d and Ew.d
inline constexpr int kMaxScale = 9;      // kP

struct parse_result {
  layout value{};
  layout_error error = layout_error::none;
  std::size_t where = 0;  // offset in the text where the error was found
};

constexpr bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

constexpr char upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr bool is_data_letter(char c) {
  const char u = upper(c);
  return u == 'I' || u == 'F' || u == 'E' || u == 'A';
}

// The reading of a layout: the text, the position in it and the result so
// far. Each step returns false once it has recorded an error, with the
// position where it was found.
struct layout_parser {
  std::string_view text;
  std::size_t n = 0;
  std::size_t i = 0;
  parse_result r;

  constexpr bool fail(layout_error e) {
    r.error = e;
    r.where = i;
    return false;
  }

  constexpr void skip_blanks() {
    while (i < n && text[i] == ' ') ++i;
  }

  // Reads an unsigned decimal number; -1 when there is no digit, kMaxWidth + 1
  // when it is larger than kMaxWidth.
  constexpr int number() {
    if (i >= n || !is_digit(text[i])) return -1;
    int v = 0;
    while (i < n && is_digit(text[i])) {
      if (v <= kMaxWidth) v = v * 10 + (text[i] - '0');
      ++i;
    }
    return v > kMaxWidth ? kMaxWidth + 1 : v;
  }

  // A literal, from its opening apostrophe; '' inside it is one apostrophe.
  constexpr bool literal(descriptor& d) {
    const std::size_t first = ++i;
    while (true) {
      if (i >= n) return fail(layout_error::unterminated_literal);
      if (text[i] == '\'') {
        if (i + 1 < n && text[i + 1] == '\'') {
          i += 2;
          continue;
        }
        break;
      }
      ++i;
    }
    d.kind = op::literal;
    d.text = text.substr(first, i - first);
    ++i;
    return true;
  }

  // TRn, from its T.
  constexpr bool skip_tr(descriptor& d) {
    ++i;
    if (i >= n || upper(text[i]) != 'R') return fail(layout_error::unknown_descriptor);
    ++i;
    const int count = number();
    if (count < 0) return fail(layout_error::missing_width);
    if (count < 1 || count > kMaxWidth) return fail(layout_error::bad_width);
    d.kind = op::skip;
    d.w = count;
    return true;
  }

  // The width (and digits) of I, F, E or A, after its letter.
  constexpr bool data_width(descriptor& d, char letter) {
    if (letter == 'A') {
      d.kind = op::text_a;
      const int w = number();
      if (w == 0 || w > kMaxWidth) return fail(layout_error::bad_width);
      d.w = w < 0 ? 0 : w;
      return true;
    }
    d.kind = letter == 'I' ? op::int_i : (letter == 'F' ? op::fixed_f : op::exp_e);
    const int w = number();
    if (w < 0) return fail(layout_error::missing_width);
    if (w < 1 || w > kMaxWidth) return fail(layout_error::bad_width);
    d.w = w;
    if (i < n && text[i] == '.') {
      ++i;
      const int m = number();
      if (m < 0) return fail(layout_error::missing_width);
      if (letter == 'I') {
        if (m > w) return fail(layout_error::bad_width);
        d.has_min = true;
      } else if (m > kMaxDecimals || m >= w || (letter == 'E' && m < 1)) {
        return fail(layout_error::bad_width);
      }
      d.d = m;
    } else if (letter != 'I') {
      return fail(layout_error::missing_width);
    }
    return true;
  }

  // A descriptor that may begin with a number: kP, nX, or I, F, E, A with
  // their repeat count.
  constexpr bool numbered(descriptor& d, bool& after_scale) {
    const char c = text[i];
    int lead = -1;
    bool negative = false;
    if (c == '+' || c == '-') {
      negative = c == '-';
      ++i;
      if (i >= n || !is_digit(text[i])) return fail(layout_error::unknown_descriptor);
    }
    const bool signed_number = c == '+' || c == '-';
    lead = number();
    if (i >= n) return fail(layout_error::unbalanced_paren);
    const char letter = upper(text[i]);
    if (letter == 'P') {
      ++i;
      if (negative || lead > kMaxScale) return fail(layout_error::bad_scale);
      d.kind = op::scale;
      d.w = lead;
      after_scale = true;
      return true;
    }
    if (lead >= 0 && letter == 'X') {
      ++i;
      if (signed_number || lead < 1 || lead > kMaxWidth) return fail(layout_error::bad_width);
      d.kind = op::skip;
      d.w = lead;
      return true;
    }
    if (is_data_letter(letter)) {
      if (signed_number) return fail(layout_error::unknown_descriptor);
      if (lead == 0 || lead > kMaxWidth) return fail(layout_error::bad_width);
      d.repeat = lead < 0 ? 1 : lead;
      ++i;
      return data_width(d, letter);
    }
    if (lead >= 0 && (letter == '/' || letter == '$' || letter == '\'' || letter == 'T')) {
      return fail(layout_error::repeat_not_allowed);
    }
    return fail(layout_error::unknown_descriptor);
  }

  // The descriptor at i.
  constexpr bool descriptor_at(descriptor& d, bool& after_scale) {
    const char c = text[i];
    if (c == '\'') return literal(d);
    if (c == '/') {
      d.kind = op::slash;
      ++i;
      return true;
    }
    if (c == '$') {
      d.kind = op::dollar;
      ++i;
      return true;
    }
    if (c == '(') return fail(layout_error::nested_group);
    if (upper(c) == 'T') return skip_tr(d);
    if (upper(c) == 'X' || upper(c) == 'P') return fail(layout_error::missing_width);
    return numbered(d, after_scale);
  }

  // What follows a descriptor: a comma, the closing parenthesis (closed set),
  // or, after a scale factor, its data descriptor.
  constexpr bool separator(bool after_scale, bool& closed) {
    skip_blanks();
    if (i >= n) return fail(layout_error::unbalanced_paren);
    if (text[i] == ',') {
      ++i;
      skip_blanks();
      if (i < n && text[i] == ')') return fail(layout_error::unknown_descriptor);
      return true;
    }
    if (text[i] == ')') {
      ++i;
      closed = true;
      return true;
    }
    if (after_scale && (is_data_letter(text[i]) || is_digit(text[i]))) {
      return true;  // 1PE12.4: a scale factor may be followed directly by its data descriptor.
    }
    if (text[i] == '(') return fail(layout_error::nested_group);
    if (text[i] == '\'' || text[i] == '/' || text[i] == '$' || upper(text[i]) == 'T' ||
        is_digit(text[i]) || is_data_letter(text[i])) {
      return fail(layout_error::missing_comma);
    }
    return fail(layout_error::unknown_descriptor);
  }

  constexpr bool parse() {
    skip_blanks();
    if (i >= n || text[i] != '(') return fail(layout_error::no_open_paren);
    ++i;
    skip_blanks();
    bool closed = false;
    if (i < n && text[i] == ')') {
      ++i;
      closed = true;
    }
    while (!closed) {
      skip_blanks();
      if (i >= n) return fail(layout_error::unbalanced_paren);
      descriptor d;
      bool after_scale = false;
      if (!descriptor_at(d, after_scale)) return false;
      if (r.value.count == kMaxDescriptors) return fail(layout_error::too_many_descriptors);
      r.value.items[r.value.count++] = d;
      if (!separator(after_scale, closed)) return false;
    }
    skip_blanks();
    if (i != n) return fail(layout_error::trailing_text);
    return true;
  }
};

// Parses a layout without throwing; usable at compile time and at run time.
constexpr parse_result parse_layout(std::string_view text) {
  layout_parser p{text, text.size(), 0, parse_result{}};
  p.r.value.source = text;
  (void)p.parse();
  return p.r;
}

}  // namespace detail

// Parses a layout; consteval, so a malformed layout is a compile error.
consteval layout layout_of(std::string_view text) {
  const detail::parse_result r = detail::parse_layout(text);
  switch (r.error) {
    case detail::layout_error::none:
      break;
    case detail::layout_error::no_open_paren:
      throw "layout does not start with '('";
    case detail::layout_error::unbalanced_paren:
      throw "layout has no closing ')'";
    case detail::layout_error::nested_group:
      throw "nested parentheses in a layout";
    case detail::layout_error::trailing_text:
      throw "text after the closing ')' of a layout";
    case detail::layout_error::unterminated_literal:
      throw "literal without its closing apostrophe";
    case detail::layout_error::unknown_descriptor:
      throw "unknown edit descriptor";
    case detail::layout_error::missing_width:
      throw "edit descriptor without its width or digit count";
    case detail::layout_error::bad_width:
      throw "width, count or digit number out of range";
    case detail::layout_error::repeat_not_allowed:
      throw "repeat count before a non-data descriptor";
    case detail::layout_error::bad_scale:
      throw "scale factor outside 0P to 9P";
    case detail::layout_error::missing_comma:
      throw "descriptors not separated by a comma";
    case detail::layout_error::too_many_descriptors:
      throw "too many descriptors in a layout";
  }
  return r.value;
}

}  // namespace vantor::textio

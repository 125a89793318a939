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

// The parser's place in a layout text. Each step reads one piece of the
// notation at i and returns layout_error::none, or the error with i left
// where it was found.
class layout_parser {
 public:
  constexpr explicit layout_parser(std::string_view text) : text_(text) {}

  constexpr parse_result parse() {
    parse_result r;
    r.value.source = text_;
    r.error = items(r.value);
    if (r.error == layout_error::none) {
      skip_blanks();
      if (i_ != text_.size()) r.error = layout_error::trailing_text;
    }
    if (r.error != layout_error::none) r.where = i_;
    return r;
  }

 private:
  std::string_view text_;
  std::size_t i_ = 0;

  constexpr bool more() const { return i_ < text_.size(); }

  constexpr void skip_blanks() {
    while (more() && text_[i_] == ' ') ++i_;
  }

  // An unsigned decimal number; -1 when there is no digit, kMaxWidth + 1 when
  // it is larger than kMaxWidth.
  constexpr int number() {
    if (!more() || !is_digit(text_[i_])) return -1;
    int v = 0;
    while (more() && is_digit(text_[i_])) {
      if (v <= kMaxWidth) v = v * 10 + (text_[i_] - '0');
      ++i_;
    }
    return v > kMaxWidth ? kMaxWidth + 1 : v;
  }

  // "(" descriptor { "," descriptor } ")", or "()".
  constexpr layout_error items(layout& out) {
    skip_blanks();
    if (!more() || text_[i_] != '(') return layout_error::no_open_paren;
    ++i_;
    skip_blanks();
    if (more() && text_[i_] == ')') {
      ++i_;
      return layout_error::none;
    }
    bool closed = false;
    while (!closed) {
      skip_blanks();
      if (!more()) return layout_error::unbalanced_paren;
      descriptor d;
      bool after_scale = false;
      if (const layout_error e = one_descriptor(d, after_scale); e != layout_error::none) return e;
      if (out.count == kMaxDescriptors) return layout_error::too_many_descriptors;
      out.items[out.count++] = d;
      if (const layout_error e = separator(after_scale, closed); e != layout_error::none) return e;
    }
    return layout_error::none;
  }

  // What follows a descriptor: a comma, the closing parenthesis, or (after a
  // scale factor only) the data descriptor it applies to, as in 1PE12.4.
  constexpr layout_error separator(bool after_scale, bool& closed) {
    skip_blanks();
    if (!more()) return layout_error::unbalanced_paren;
    const char c = text_[i_];
    if (c == ',') {
      ++i_;
      skip_blanks();
      if (more() && text_[i_] == ')') return layout_error::unknown_descriptor;
      return layout_error::none;
    }
    if (c == ')') {
      ++i_;
      closed = true;
      return layout_error::none;
    }
    if (after_scale && (is_data_letter(c) || is_digit(c))) return layout_error::none;
    if (c == '(') return layout_error::nested_group;
    if (c == '\'' || c == '/' || c == '$' || upper(c) == 'T' || is_digit(c) || is_data_letter(c)) {
      return layout_error::missing_comma;
    }
    return layout_error::unknown_descriptor;
  }

  constexpr layout_error one_descriptor(descriptor& d, bool& after_scale) {
    const char c = text_[i_];
    if (c == '\'') return literal(d);
    if (c == '/' || c == '$') {
      d.kind = c == '/' ? op::slash : op::dollar;
      ++i_;
      return layout_error::none;
    }
    if (c == '(') return layout_error::nested_group;
    if (upper(c) == 'T') return tab_right(d);
    if (upper(c) == 'X' || upper(c) == 'P') return layout_error::missing_width;
    return counted(d, after_scale);
  }

  // 'text', an apostrophe doubled inside.
  constexpr layout_error literal(descriptor& d) {
    const std::size_t first = ++i_;
    while (true) {
      if (!more()) return layout_error::unterminated_literal;
      if (text_[i_] == '\'') {
        if (i_ + 1 < text_.size() && text_[i_ + 1] == '\'') {
          i_ += 2;
          continue;
        }
        break;
      }
      ++i_;
    }
    d.kind = op::literal;
    d.text = text_.substr(first, i_ - first);
    ++i_;
    return layout_error::none;
  }

  // TRn.
  constexpr layout_error tab_right(descriptor& d) {
    ++i_;
    if (!more() || upper(text_[i_]) != 'R') return layout_error::unknown_descriptor;
    ++i_;
    const int count = number();
    if (count < 0) return layout_error::missing_width;
    if (count < 1 || count > kMaxWidth) return layout_error::bad_width;
    d.kind = op::skip;
    d.w = count;
    return layout_error::none;
  }

  // What may start with a number: kP (a sign allowed), nX, and a data
  // descriptor with or without its repeat count.
  constexpr layout_error counted(descriptor& d, bool& after_scale) {
    const char c = text_[i_];
    const bool signed_number = c == '+' || c == '-';
    if (signed_number) {
      ++i_;
      if (!more() || !is_digit(text_[i_])) return layout_error::unknown_descriptor;
    }
    const int lead = number();
    if (!more()) return layout_error::unbalanced_paren;
    const char letter = upper(text_[i_]);
    if (letter == 'P') {
      ++i_;
      if (c == '-' || lead > kMaxScale) return layout_error::bad_scale;
      d.kind = op::scale;
      d.w = lead;
      after_scale = true;
      return layout_error::none;
    }
    if (lead >= 0 && letter == 'X') {
      ++i_;
      if (signed_number || lead < 1 || lead > kMaxWidth) return layout_error::bad_width;
      d.kind = op::skip;
      d.w = lead;
      return layout_error::none;
    }
    if (is_data_letter(letter)) {
      if (signed_number) return layout_error::unknown_descriptor;
      if (lead == 0 || lead > kMaxWidth) return layout_error::bad_width;
      d.repeat = lead < 0 ? 1 : lead;
      ++i_;
      return data_widths(letter, d);
    }
    if (lead >= 0 && (letter == '/' || letter == '$' || letter == '\'' || letter == 'T')) {
      return layout_error::repeat_not_allowed;
    }
    return layout_error::unknown_descriptor;
  }

  // The widths after a data letter: A or Aw; Iw or Iw.m; Fw.d; Ew.d.
  constexpr layout_error data_widths(char letter, descriptor& d) {
    const int w = number();
    if (letter == 'A') {
      if (w == 0 || w > kMaxWidth) return layout_error::bad_width;
      d.kind = op::text_a;
      d.w = w < 0 ? 0 : w;
      return layout_error::none;
    }
    d.kind = letter == 'I' ? op::int_i : (letter == 'F' ? op::fixed_f : op::exp_e);
    if (w < 0) return layout_error::missing_width;
    if (w < 1 || w > kMaxWidth) return layout_error::bad_width;
    d.w = w;
    if (!more() || text_[i_] != '.') {
      return letter == 'I' ? layout_error::none : layout_error::missing_width;
    }
    ++i_;
    const int m = number();
    if (m < 0) return layout_error::missing_width;
    if (letter == 'I') {
      if (m > w) return layout_error::bad_width;
      d.has_min = true;
    } else if (m > kMaxDecimals || m >= w || (letter == 'E' && m < 1)) {
      return layout_error::bad_width;
    }
    d.d = m;
    return layout_error::none;
  }
};

// Parses a layout without throwing; usable at compile time and at run time.
constexpr parse_result parse_layout(std::string_view text) {
  return layout_parser(text).parse();
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

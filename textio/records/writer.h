// The record writer: every line the system writes is rendered here from a
// layout (textio/format/layout.h) and a list of items. Rendering rounds the exact
// binary value to nearest, ties to even; a value too wide for its field gives
// asterisks.
//
// Destinations: a unit (6 the console, or an open file unit), through
// put_record of textio/units/units.h, or a text variable (internal record of fixed
// length; a layout that needs more columns, or a second record, ends the run
// with fatal 66).
//
// An item of the wrong kind for its descriptor (a real for I, an integer for F,
// E or A, a text for I, F or E) fills the field with asterisks; items given to a
// layout without data descriptors are dropped.
//
// A statement is fed in one call (write / write_internal) or in steps:
//   statement s(90, kRow); s << coordinate << std::span(values); s.end();
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "textio/format/layout.h"

namespace vantor::textio {

namespace detail {

// Record of a unit statement: grows, never shrinks; the bytes past the
// columns written hold nothing of value.
struct record_buffer {
  std::unique_ptr<char[]> bytes;
  std::size_t capacity = 0;
  // At least `size` bytes, the first `keep` of them kept.
  void grow(std::size_t size, std::size_t keep);
};

}  // namespace detail

// Tag of a statement fed and ended within one call (write, write_internal):
// only an exception can leave it unended, so it does not follow the
// exceptions in flight.
struct one_call_t {};
inline constexpr one_call_t one_call{};

// One write statement.
class statement {
 public:
  statement(int unit, const layout& l);
  statement(std::span<char> variable, const layout& l);
  statement(int unit, const layout& l, one_call_t);
  statement(std::span<char> variable, const layout& l, one_call_t);
  // The statement keeps a reference to its layout: a temporary one would dangle.
  statement(int unit, const layout&& l) = delete;
  statement(std::span<char> variable, const layout&& l) = delete;
  statement(int unit, const layout&& l, one_call_t) = delete;
  statement(std::span<char> variable, const layout&& l, one_call_t) = delete;
  statement(const statement&) = delete;
  statement& operator=(const statement&) = delete;
  ~statement();

  statement& operator<<(int value);
  statement& operator<<(double value);
  statement& operator<<(std::string_view text);
  statement& operator<<(std::span<const double> values);

  // Ends the statement: writes the pending record(s). Called by the
  // destructor when not called before, unless the destructor runs while an
  // exception unwinds the stack: then the statement is abandoned unwritten
  // (a write that fails there could only fail again, inside the unwinding).
  void end();

 private:
  // Walks the layout from the current descriptor, carrying out literals, TR/X,
  // /, $ and kP, up to the next data descriptor (true) or to the closing
  // parenthesis (false). With an item waiting, the closing parenthesis ends the
  // record and the walk goes on from the first descriptor.
  bool reach_data(bool item_waiting);
  bool walk_to_data(bool item_waiting);  // reach_data past the current descriptor
  // The current data descriptor, after reach_data: takes one of its repetitions.
  const descriptor& take_data();
  // The next `width` columns from the current column; the column moves past them.
  std::span<char> field(std::size_t width);
  // field() of a text variable, of an empty field, or one that needs a larger
  // record or blanks before it; column_ is already past it.
  std::span<char> other_field(std::size_t start, std::size_t width);
  void put_literal(std::string_view doubled);
  void next_record();  // ends the current record, starts an empty one
  void write_current(bool terminate);

  const layout* layout_;
  int unit_ = 0;
  std::span<char> variable_{};  // internal record (when internal_)
  bool internal_ = false;
  detail::record_buffer* row_ = nullptr;  // record of a unit: a reused buffer
  int slot_ = -1;                         // index of the reused buffer, -1 for own_
  detail::record_buffer own_;             // buffer when every reused one is taken
  std::size_t column_ = 0;                // current column, from 0
  std::size_t last_ = 0;                  // columns written: 1 to last_
  std::size_t at_ = 0;                    // index of the descriptor reached
  int taken_ = 0;                         // repetitions of items[at_] already used
  int scale_ = 0;
  bool no_advance_ = false;
  bool ended_ = false;
  bool follows_exceptions_ = false;
  int exceptions_ = 0;  // std::uncaught_exceptions() when the statement began
};

template <class... Items>
void write(int unit, const layout& l, const Items&... items) {
  statement s(unit, l, one_call);
  if constexpr (sizeof...(items) > 0) (s << ... << items);
  s.end();
}

// write(unit, l, first, rest): one record of a real and a run of reals. A
// layout of the shape "(Fw.d,kP,nEw.d)" with at most n values in the run is
// rendered straight into one record, any other through a statement.
void write_reals(int unit, const layout& l, double first, std::span<const double> rest);

// The record of write_reals laid out straight: its size for count values in
// the run (0 for a layout of any other shape), and the record itself, written
// into record[0, size) on any thread (the same bytes write_reals writes).
std::size_t reals_record_size(const layout& l, std::size_t count);
void format_reals(char* record, const layout& l, double first, std::span<const double> rest);

template <class... Items>
void write_internal(std::span<char> variable, const layout& l, const Items&... items) {
  statement s(variable, l, one_call);
  if constexpr (sizeof...(items) > 0) (s << ... << items);
  s.end();
}

}  // namespace vantor::textio

// The input of the unit table: lines of sequential units, read ahead in
// blocks, and the rewind.
#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string_view>

#include "textio/errors.h"
#include "textio/platform/platform.h"
#include "textio/units/unit_table.h"
#include "textio/units/units.h"

namespace vantor::textio {
namespace detail {
namespace {

constexpr std::size_t kReadBufferBytes = std::size_t{1} << 18;

bool fill_input(unit_slot& s, int& error) {
  if (!s.in) s.in = std::make_unique_for_overwrite<char[]>(kReadBufferBytes);
  s.in_pos = s.in_end = 0;
  if (s.in_eof) return false;
  const std::ptrdiff_t n = platform::read_some(s.file, s.in.get(), kReadBufferBytes);
  if (n < 0) {
    error = kErrRead;
    return false;
  }
  if (n == 0) {
    s.in_eof = true;
    return false;
  }
  s.in_end = static_cast<std::size_t>(n);
  return true;
}

// The length of a line read into length characters, of total characters
// before its line feed, the last of them last: a carriage return before the
// line feed is no part of the line.
std::size_t without_carriage_return(std::size_t length, std::size_t total, char last) {
  return last == '\r' ? std::min(length, total - 1) : length;
}

int check_readable(unit_slot* s) {
  if (s == nullptr || !s->open) return kErrOpenFailure;
  if (!s->readable) return kErrAccessDenied;
  if (has_output(*s) && !flush_slot(*s)) return kErrWrite;
  return 0;
}

// Reads one line, handing its bytes to sink(data, size) piece by piece.
// Returns 0, -1 at end of input, or an error number. had_lf tells whether the
// line ended with a line feed (not at the end of the input).
template <class Sink>
int read_line_with(unit_slot& s, Sink&& sink, bool& had_lf) {
  bool got_any = false;
  had_lf = false;
  for (;;) {
    if (s.in_pos == s.in_end) {
      int error = 0;
      if (!fill_input(s, error)) {
        if (error != 0) return error;
        return got_any ? 0 : -1;
      }
    }
    const char* begin = s.in.get() + s.in_pos;
    const std::size_t avail = s.in_end - s.in_pos;
    const void* nl = std::memchr(begin, '\n', avail);
    if (nl != nullptr) {
      const std::size_t n = static_cast<std::size_t>(static_cast<const char*>(nl) - begin);
      sink(begin, n);
      s.in_pos += n + 1;
      had_lf = true;
      return 0;
    }
    sink(begin, avail);
    s.in_pos = s.in_end;
    got_any = true;
  }
}

}  // namespace

int read_bytes(unit_slot& s, char* dest, std::size_t size) {
  while (size > 0) {
    if (s.in_pos == s.in_end) {
      int error = 0;
      if (!fill_input(s, error)) return error != 0 ? error : -1;
    }
    const std::size_t n = std::min(size, s.in_end - s.in_pos);
    std::memcpy(dest, s.in.get() + s.in_pos, n);
    s.in_pos += n;
    dest += n;
    size -= n;
  }
  return 0;
}

int check_input(unit_slot* s) {
  return check_readable(s);
}

}  // namespace detail

using detail::slot_of;
using detail::unit_slot;

int read_line(int unit, std::span<char> dest, std::size_t& length) {
  unit_slot* s = slot_of(unit);
  length = 0;
  if (const int e = detail::check_readable(s); e != 0) return e;
  // A line whose line feed has been read ahead already: copied from the
  // buffer in one piece, as the pieces below would copy it.
  if (s->in_pos < s->in_end) {
    const char* const begin = s->in.get() + s->in_pos;
    const void* const nl = std::memchr(begin, '\n', s->in_end - s->in_pos);
    if (nl != nullptr) {
      const auto n = static_cast<std::size_t>(static_cast<const char*>(nl) - begin);
      length = std::min(n, dest.size());
      std::memcpy(dest.data(), begin, length);
      if (n > 0) length = detail::without_carriage_return(length, n, begin[n - 1]);
      s->in_pos += n + 1;
      return 0;
    }
  }
  std::size_t total = 0;
  char last = '\0';
  bool had_lf = false;
  const int status = detail::read_line_with(
      *s,
      [&](const char* data, std::size_t n) {
        if (n == 0) return;
        if (length < dest.size()) {
          const std::size_t take = std::min(n, dest.size() - length);
          std::memcpy(dest.data() + length, data, take);
          length += take;
        }
        total += n;
        last = data[n - 1];
      },
      had_lf);
  if (status == 0 && had_lf) length = detail::without_carriage_return(length, total, last);
  return status;
}

int read_line(int unit, std::string& line) {
  unit_slot* s = slot_of(unit);
  line.clear();
  if (const int e = detail::check_readable(s); e != 0) return e;
  bool had_lf = false;
  const int status = detail::read_line_with(
      *s, [&](const char* data, std::size_t n) { line.append(data, n); }, had_lf);
  if (status == 0 && had_lf && !line.empty() && line.back() == '\r') line.pop_back();
  return status;
}

int read_line_pieces(int unit, const std::function<void(std::string_view)>& piece) {
  unit_slot* s = slot_of(unit);
  if (const int e = detail::check_readable(s); e != 0) return e;
  // A carriage return that ends a part is held back until the next part shows
  // whether the line feed follows it.
  bool held_cr = false;
  bool had_lf = false;
  const int status = detail::read_line_with(
      *s,
      [&](const char* data, std::size_t n) {
        if (n == 0) return;
        if (held_cr) piece(std::string_view("\r", 1));
        held_cr = data[n - 1] == '\r';
        if (n > (held_cr ? 1 : 0)) piece(std::string_view(data, n - (held_cr ? 1 : 0)));
      },
      had_lf);
  if (held_cr && !(status == 0 && had_lf)) piece(std::string_view("\r", 1));
  return status;
}

int rewind_unit(int unit) {
  unit_slot* s = slot_of(unit);
  if (s == nullptr || !s->open) return kErrOpenFailure;
  if (s->writable && !detail::flush_slot(*s)) return kErrWrite;
  if (platform::seek_start(s->file)) {
    s->in_pos = s->in_end = 0;
    s->in_eof = false;
    return 0;
  }
  // A pipe or terminal cannot be rewound: go on reading from where it stands.
  return 0;
}

}  // namespace vantor::textio

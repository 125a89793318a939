// RDLINE: the next significant line of the bound input into the free-input
// state, ready for the item recognisers and RDMIX.
#include <algorithm>
#include <array>
#include <climits>
#include <cstddef>
#include <cstring>
#include <span>
#include <string_view>

#include "freeinput/line_copy.h"
#include "freeinput/reader.h"
#include "freeinput/scan.h"
#include "freeinput/state.h"
#include "textio/units/run_end.h"
#include "textio/records/writer.h"
#include "textio/units/units.h"

namespace vantor::freeinput {
namespace {

constexpr auto kEcho = textio::layout_of("(TR1,A)");
constexpr auto kReadReport =
    textio::layout_of("(/,' *** ERROR DURING READING OF LINE',I6,'  ON UNIT',I4)");
constexpr auto kThroughEnd = textio::layout_of("(TR5,'ATTEMPT TO READ THROUGH AN END OF FILE')");
constexpr auto kEndTimes = textio::layout_of("(TR5,'(',I5,' TIMES )')");
constexpr auto kIostat = textio::layout_of("(TR5,'IOSTAT =',I4)");

// IERSTA after an end of file beyond the allowance.
constexpr int kEndOfFileStatus = -999;

// Character maps of the line walk: a tab reads as a blank and, when letters
// are folded, a to z read as A to Z; every other character stands for itself.
constexpr std::array<char, 256> make_char_map(bool fold) {
  std::array<char, 256> map{};
  for (int c = 0; c < 256; ++c) map[static_cast<std::size_t>(c)] = static_cast<char>(c);
  map['\t'] = ' ';
  if (fold) {
    for (int c = 'a'; c <= 'z'; ++c)
      map[static_cast<std::size_t>(c)] = static_cast<char>(c - 'a' + 'A');
  }
  return map;
}
constexpr std::array<char, 256> kFoldedMap = make_char_map(true);
constexpr std::array<char, 256> kPlainMap = make_char_map(false);

bool is_blank_or_tab(char c) {
  return c == ' ' || c == '\t';
}

void count_up(int& counter) {
  if (counter < INT_MAX) ++counter;
}

// The next line of the memory text into RAWLIN columns 1 to width: its
// length, or -1 at the end of the text. A line ends at a line feed or a NUL
// (a line feed only, and without a carriage return before it, for file
// lines); the next starts after it.
std::ptrdiff_t read_memory_line(free_input_state& st, std::size_t width) {
  const std::string_view text = st.memory_text;
  if (st.memory_position >= text.size()) return -1;
  const std::size_t begin = st.memory_position;
  std::size_t end = begin;
  std::size_t length = 0;
  if (st.memory_file_lines) {
    end = std::min(text.find('\n', begin), text.size());
    length = end - begin;
    if (end < text.size() && length > 0 && text[end - 1] == '\r') --length;
  } else {
    while (end < text.size() && text[end] != '\n' && text[end] != '\0') ++end;
    length = end - begin;
  }
  length = std::min(length, width);
  std::copy_n(text.data() + begin, length, st.RAWLIN.data());
  st.memory_position = end < text.size() ? end + 1 : end;
  return static_cast<std::ptrdiff_t>(length);
}

// Reads the next line into RAWLIN columns 1 to width, padded with blanks.
// Returns 0, -1 at the end of the input, or a positive error number.
int read_raw_line(free_input_state& st, int width) {
  const auto w = static_cast<std::size_t>(width);
  std::size_t length = 0;
  int status = 0;
  if (st.LUNRD < 0) {
    const std::ptrdiff_t n = read_memory_line(st, w);
    if (n < 0) {
      // The end of the text leaves a blank line behind.
      std::fill_n(st.RAWLIN.begin(), w, ' ');
      st.raw_blank_from = 0;
      st.raw_blank_width = w;
      return -1;
    }
    length = static_cast<std::size_t>(n);
  } else {
    const int unit = st.LUNRD == 0 ? textio::kConsoleIn : st.LUNRD;
    status = textio::read_line(unit, std::span<char>(st.RAWLIN.data(), w), length);
  }
  st.raw_length = length;
  // The read wrote columns 1 to length only, and a unit's read perhaps the
  // carriage return after them that it then dropped: the blanks after those
  // that an earlier padding at this width left are still there, and only the
  // columns up to the first of them need blanks.
  const bool known = st.raw_blank_width == w;
  const bool cr_left = length < w && st.RAWLIN[length] != ' ';
  if (status == 0) {
    std::size_t stop = w;
    if (known) stop = std::max(length + (cr_left ? 1 : 0), st.raw_blank_from);
    if (stop > length) {
      std::fill(st.RAWLIN.begin() + static_cast<std::ptrdiff_t>(length),
                st.RAWLIN.begin() + static_cast<std::ptrdiff_t>(stop), ' ');
    }
    st.raw_blank_from = length;
    st.raw_blank_width = w;
  } else if (known) {
    st.raw_blank_from = std::max(length + (cr_left ? 1 : 0), st.raw_blank_from);
  }
  return status;
}

void report_read_error(const free_input_state& st) {
  textio::write(message_unit(st.LUNMSG), kReadReport, st.NLINRD, st.LUNRD);
}

void meet_end_of_file(free_input_state& st) {
  count_up(st.NEOF);
  if (st.MAXEOF > 0 && st.NEOF <= st.MAXEOF) return;
  st.IERSTA = kEndOfFileStatus;
  if (st.LUNMSG >= 0) {
    report_read_error(st);
    textio::statement(message_unit(st.LUNMSG), kThroughEnd).end();
    if (st.MAXEOF > 0) textio::write(textio::kConsoleOut, kEndTimes, st.MAXEOF);
  }
  if (st.MAXEOF != 0) textio::stop(1);
}

void meet_read_failure(free_input_state& st, int error) {
  st.IERSTA = -error;
  if (st.LUNMSG >= 0) {
    report_read_error(st);
    textio::write(message_unit(st.LUNMSG), kIostat, error);
  }
}

// Builds CURLIN from RAWLIN columns first to width; column first holds neither
// a blank, a tab nor "!". CURLIN receives blanks before first, then each
// character mapped (tab to blank, letters folded) up to the last significant
// one, or up to the "!" that starts a trailing comment, whichever comes first;
// the sentinel follows the last significant column.
void prepare_line(free_input_state& st, int first, int width) {
  char* const cur = st.CURLIN.data();
  const char* const raw = st.RAWLIN.data();
  const auto begin = static_cast<std::size_t>(first - 1);
  // Beyond the characters read there is only padding.
  const auto end = std::max(begin + 1, std::min(static_cast<std::size_t>(width), st.raw_length));
  const bool fold = st.IUPCAS == 1;
  // Lines of numbers have no comment, tab or lower-case letter: one pass copies
  // them whole, from column 1, and finds that out. The columns before first
  // hold blanks and tabs only, so where the pass finds no tab it has copied
  // blanks there, as CURLIN wants; a tab sends the line the exact way.
  const bool changes = detail::copy_and_check(raw, cur, 0, end, fold);
  std::size_t last = end;  // one past the last significant character
  if (changes) {
    std::fill_n(cur, begin, ' ');
    const void* bang = std::memchr(raw + begin, '!', end - begin);
    const std::size_t stop =
        bang != nullptr ? static_cast<std::size_t>(static_cast<const char*>(bang) - raw) : end;
    const std::array<char, 256>& map = fold ? kFoldedMap : kPlainMap;
    for (std::size_t i = begin; i < stop; ++i) cur[i] = map[static_cast<unsigned char>(raw[i])];
    last = stop;
  }
  while (is_blank_or_tab(raw[last - 1])) --last;  // raw[begin] is significant
  st.ICOL = first;
  st.LASTCL = static_cast<int>(last);
  cur[last] = kSentinel;
}

}  // namespace

void RDLINE() {
  free_input_state& st = input_state;
  const int width = std::clamp(st.NCHLIN, 1, kMaxLineWidth);
  st.IERSTA = 0;
  for (;;) {
    count_up(st.NLINRD);
    const int status = read_raw_line(st, width);
    if (status < 0) {
      meet_end_of_file(st);
      return;
    }
    if (status > 0) {
      meet_read_failure(st, status);
      return;
    }
    if (st.LUNECH >= 0) {
      textio::write(message_unit(st.LUNECH), kEcho,
                    std::string_view(st.RAWLIN.data(), static_cast<std::size_t>(width)));
    }
    if (st.RAWLIN[0] == st.CMTMRK) continue;

    st.RAWLIN[static_cast<std::size_t>(width)] = kSentinel;
    const int first = static_cast<int>(detail::leading_blanks(st.RAWLIN.data(),
                                                              static_cast<std::size_t>(width))) +
                      1;
    if (first > width || st.RAWLIN[static_cast<std::size_t>(first - 1)] == '!') continue;

    prepare_line(st, first, width);
    return;
  }
}

}  // namespace vantor::freeinput

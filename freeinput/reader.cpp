#include "freeinput/reader.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "freeinput/damage_block.h"
#include "freeinput/exponent_field.h"
#include "freeinput/expr.h"
#include "freeinput/plain_number.h"
#include "freeinput/scan.h"
#include "freeinput/state.h"
#include "textio/fatal.h"
#include "textio/units.h"
#include "textio/writer.h"

namespace vantor::freeinput {
namespace {

constexpr auto kEcho = textio::layout_of("(TR1,A)");
constexpr auto kReadReport =
    textio::layout_of("(/,' *** ERROR DURING READING OF LINE',I6,'  ON UNIT',I4)");
constexpr auto kThroughEnd = textio::layout_of("(TR5,'ATTEMPT TO READ THROUGH AN END OF FILE')");
constexpr auto kEndTimes = textio::layout_of("(TR5,'(',I5,' TIMES )')");
constexpr auto kIostat = textio::layout_of("(TR5,'IOSTAT =',I4)");
constexpr auto kRdmixReport = textio::layout_of("(/,TR2,'*** ERROR IN RDMIX',/)");

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

// The next line of the memory text into RAWLIN columns 1 to width (already
// blank). A line ends at a line feed or a NUL; the next starts after it.
int read_memory_line(free_input_state& st, std::size_t width) {
  const std::string_view text = st.memory_text;
  if (st.memory_position >= text.size()) return -1;
  const std::size_t begin = st.memory_position;
  std::size_t end = begin;
  while (end < text.size() && text[end] != '\n' && text[end] != '\0') ++end;
  st.raw_length = std::min(end - begin, width);
  std::copy_n(text.data() + begin, st.raw_length, st.RAWLIN.data());
  st.memory_position = end < text.size() ? end + 1 : end;
  return 0;
}

// Reads the next line into RAWLIN columns 1 to width, padded with blanks.
// Returns 0, -1 at the end of the input, or a positive error number.
int read_raw_line(free_input_state& st, int width) {
  const auto w = static_cast<std::size_t>(width);
  if (st.LUNRD < 0) {
    std::fill_n(st.RAWLIN.begin(), w, ' ');
    return read_memory_line(st, w);
  }
  const int unit = st.LUNRD == 0 ? textio::kConsoleIn : st.LUNRD;
  std::size_t length = 0;
  const int status = textio::read_line(unit, std::span<char>(st.RAWLIN.data(), w), length);
  st.raw_length = length;
  if (status == 0)
    std::fill(st.RAWLIN.begin() + static_cast<std::ptrdiff_t>(length),
              st.RAWLIN.begin() + static_cast<std::ptrdiff_t>(w), ' ');
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

// Copies raw[begin, end) to cur; false when none of the characters can need
// the character map or end the line early: no tab, no "!" and, when letters
// are folded, no lower-case letter. (It may answer true for other lines,
// which then take the exact way.)
bool copy_and_check(const char* raw, char* cur, std::size_t begin, std::size_t end, bool fold) {
  std::size_t i = begin;
  bool changes = false;
#if defined(__SSE2__)
  // Sixteen at a time. The lines of numbers hold only characters from ' ' to
  // '_' (0x20 to 0x5F): c - 0x20 has neither of its two high bits set, and the
  // bits or-ed over the whole line tell whether one of them was set anywhere.
  // A tab and every lower-case letter lie outside; "!" is looked for alone.
  const __m128i low = _mm_set1_epi8(0x20);
  const __m128i bang = _mm_set1_epi8('!');
  __m128i outside = _mm_setzero_si128();
  __m128i bangs = _mm_setzero_si128();
  const auto take = [&](std::size_t at) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(raw + at));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(cur + at), v);
    outside = _mm_or_si128(outside, _mm_sub_epi8(v, low));
    bangs = _mm_or_si128(bangs, _mm_cmpeq_epi8(v, bang));
  };
  if (end - begin >= 16) {
    for (; i + 16 <= end; i += 16) take(i);
    // The last sixteen again, overlapping: the same characters, the same verdict.
    if (i < end) take(end - 16);
    i = end;
  }
  const __m128i high_bits = _mm_and_si128(outside, _mm_set1_epi8(static_cast<char>(0xC0)));
  changes = _mm_movemask_epi8(_mm_cmpeq_epi8(high_bits, _mm_setzero_si128())) != 0xFFFF ||
            _mm_movemask_epi8(bangs) != 0;
#endif
  const unsigned char lower_span = fold ? 26 : 0;
  unsigned char tail = 0;
  for (; i < end; ++i) {
    const auto c = static_cast<unsigned char>(raw[i]);
    cur[i] = static_cast<char>(c);
    tail |= static_cast<unsigned char>((c == '\t') | (c == '!') |
                                       (static_cast<unsigned char>(c - 'a') < lower_span));
  }
  return changes || tail != 0;
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
  std::fill_n(cur, begin, ' ');
  // Lines of numbers have no comment, tab or lower-case letter: one pass copies
  // them whole and finds that out.
  const bool changes = copy_and_check(raw, cur, begin, end, fold);
  std::size_t last = end;  // one past the last significant character
  if (changes) {
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

// From the end of a field just taken: takes the damage fields that follow as
// real items count, count + 1, ... (below capacity), four at a time while they
// keep their columns, and returns where the first other field starts, or the
// line end. A loop of its own, so that its few values stay in registers.
[[gnu::noinline]] const char* take_damage_fields(const char* after, const char* end, int* types,
                                                 double* values, std::size_t& count,
                                                 std::size_t capacity) {
  std::size_t i = count;
  for (;;) {
    while (i + kBlockFields <= capacity) {
      const char* const block_end = take_damage_block(after, end, values + i);
      if (block_end == nullptr) break;
      std::fill_n(types + i, kBlockFields, kRealItem);
      i += kBlockFields;
      after = block_end;
    }
    const char* const p = skip_field_end(after);
    double real = 0.0;
    if (p >= end || i == capacity || (after = scan_exponent_field(p, end, real)) == nullptr) {
      count = i;
      return p;
    }
    types[i] = kRealItem;
    values[i] = real;
    ++i;
  }
}

void put_text(std::span<char> element, const textio::field<16>& text) {
  const std::size_t n = std::min<std::size_t>(element.size(), kItemTextLength);
  std::copy_n(text.begin(), n, element.begin());
  std::fill(element.begin() + static_cast<std::ptrdiff_t>(n), element.end(), ' ');
}

bool is_reserved_start(char c) {
  return c == '%' || c == '!' || c == '#' || c == '\'' || c == '*';
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
    int first = 1;
    while (is_blank_or_tab(st.RAWLIN[static_cast<std::size_t>(first - 1)])) ++first;
    if (first > width || st.RAWLIN[static_cast<std::size_t>(first - 1)] == '!') continue;

    prepare_line(st, first, width);
    return;
  }
}

bool ISWORD() {
  free_input_state& st = input_state;
  if (st.ICOL > st.LASTCL) return false;
  SKIPBL();
  const int entry = st.ICOL;
  scratch_guard scratch;
  if (!ISLETR()) return false;

  std::array<char, kWordSize> word{};
  int n = 0;
  word[0] = st.last_letter;
  n = 1;
  while (n < kWordSize) {
    if (ISLETR()) {
      word[static_cast<std::size_t>(n++)] = st.last_letter;
    } else if (ISDIGT()) {
      word[static_cast<std::size_t>(n++)] = static_cast<char>('0' + st.last_digit);
    } else {
      break;
    }
  }
  if (ENDFLD()) {
    std::copy_n(word.begin(), n, st.WORDBF.begin());
    std::fill(st.WORDBF.begin() + n, st.WORDBF.end(), ' ');
    st.NWORD = n;
    scratch.keep();
    return true;
  }
  st.ICOL = entry;
  return false;
}

bool ISINTG() {
  free_input_state& st = input_state;
  if (st.ICOL > st.LASTCL) return false;
  const int entry = st.ICOL;
  scratch_guard scratch;

  int sign = 1;
  if (KEYMAT("+", 1)) {
    sign = 1;
  } else if (KEYMAT("-", 1)) {
    sign = -1;
  }
  if (DIGSTR()) {
    // A value outside the 32-bit range is no integer item; it is left to ISREAL.
    const std::int64_t value = sign * st.digit_value;
    if (value >= INT32_MIN && value <= INT32_MAX && ENDFLD()) {
      st.IVALUE = static_cast<int>(value);
      scratch.keep();
      return true;
    }
  }
  st.ICOL = entry;
  return false;
}

bool ISTEXT() {
  free_input_state& st = input_state;
  const int start = st.ICOL;
  if (ENDFIL() || ENDREC() || ISINTG() || ISREAL() || ISWORD()) {
    if (st.ICOL != start) MOVCUR(start - st.ICOL);
    st.text_start = 0;
    st.text_end = 0;
    return false;
  }
  if (st.IERSTA != 0) return false;
  st.text_start = st.ICOL;
  if (is_reserved_start(column_char(st.ICOL))) {
    st.text_start = 0;
    st.text_end = 0;
    return false;
  }
  MOVCUR(0);
  st.text_end = st.ICOL;
  return true;
}

textio::field<16> GETWRD() {
  const free_input_state& st = input_state;
  textio::field<16> text;
  const int n = std::clamp(st.NWORD, 0, static_cast<int>(text.size()));
  textio::assign(text, std::string_view(st.WORDBF.data(), static_cast<std::size_t>(n)));
  return text;
}

textio::field<16> GETTXT() {
  const free_input_state& st = input_state;
  textio::field<16> text;
  textio::blank_fill(text);
  if (st.text_end <= st.text_start) return text;
  const bool fold = st.IUPCAS == 1;
  const int n = std::min(st.text_end - st.text_start, static_cast<int>(text.size()));
  for (int k = 0; k < n; ++k) {
    char c = column_char(st.text_start + k);
    if (fold && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    text[static_cast<std::size_t>(k)] = c;
  }
  return text;
}

void RDMIX(int& count, std::span<int> types, std::span<double> values, std::span<char> texts,
           int textlen, int unit, int lunmsg, int& ierr) {
  if (unit <= 0) return;
  RDLINE();
  free_input_state& st = input_state;
  if (st.IERSTA != 0) {
    if (lunmsg >= 0) textio::statement(message_unit(lunmsg), kRdmixReport).end();
    --ierr;
    return;
  }
  if (ENDFIL()) {
    count = -1;
    return;
  }
  if (ENDREC()) {
    count = 0;
    return;
  }

  // The record ends where the caller's arrays are full.
  const std::size_t element = textlen > 0 ? static_cast<std::size_t>(textlen) : 0;
  std::size_t capacity = std::min(types.size(), values.size());
  if (element > 0) capacity = std::min(capacity, texts.size() / element);

  // Plain numbers are taken in one pass over the line; the texts of a run of
  // them are blanked together when the run ends.
  const char* const line = st.CURLIN.data();
  const char* const end = line + st.LASTCL;
  std::size_t i = 0;
  std::size_t blank_from = 0;
  const auto blank_texts = [&] {
    std::fill_n(texts.begin() + static_cast<std::ptrdiff_t>(blank_from * element),
                (i - blank_from) * element, ' ');
  };
  const char* p = line + (st.ICOL - 1);
  while (i < capacity) {
    // A number: the damage fields after it are taken in their own loop.
    double real = 0.0;
    plain_number number;
    const char* after = scan_exponent_field(p, end, real);
    if (after != nullptr) {
      types[i] = kRealItem;
      values[i] = real;
    } else if ((after = scan_plain_number(p, end, number)) != nullptr) {
      types[i] = number.is_integer ? kIntegerItem : kRealItem;
      values[i] = number.is_integer ? static_cast<double>(number.integer) : number.real;
    }
    if (after != nullptr) {
      ++i;
      p = take_damage_fields(after, end, types.data(), values.data(), i, capacity);
      if (p >= end) break;
      continue;
    }
    blank_texts();
    st.ICOL = static_cast<int>(p - line) + 1;
    const std::span<char> text = texts.subspan(i * element, element);
    bool taken = true;
    if (ISWORD()) {
      types[i] = kTextItem;
      values[i] = 0.0;
      put_text(text, GETWRD());
    } else if (ISINTG()) {
      types[i] = kIntegerItem;
      values[i] = static_cast<double>(st.IVALUE);
      textio::blank_fill(text);
    } else if (ISREAL()) {
      types[i] = kRealItem;
      values[i] = st.RVALUE;
      textio::blank_fill(text);
    } else if (ISTEXT()) {
      types[i] = kTextItem;
      values[i] = 0.0;
      put_text(text, GETTXT());
    } else {
      taken = false;
    }
    if (taken) ++i;
    blank_from = i;
    const bool record_end = !taken || ENDREC();
    p = line + (st.ICOL - 1);
    if (record_end) break;
  }
  st.ICOL = static_cast<int>(p - line) + 1;
  blank_texts();
  count = static_cast<int>(i);
}

}  // namespace vantor::freeinput

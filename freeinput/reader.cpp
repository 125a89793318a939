// The record reader RDMIX and the item recognisers of a record, over the line
// that RDLINE (line_input.cpp) has prepared.
#include "freeinput/reader.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "freeinput/damage_block.h"
#include "freeinput/exponent_field.h"
#include "freeinput/expr.h"
#include "freeinput/plain_number.h"
#include "freeinput/scan.h"
#include "freeinput/state.h"
#include "textio/records/writer.h"
#include "textio/units/units.h"

namespace vantor::freeinput {
namespace {

constexpr auto kRdmixReport = textio::layout_of("(/,TR2,'*** ERROR IN RDMIX',/)");

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

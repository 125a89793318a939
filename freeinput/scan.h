// Scanning primitives: small recognisers that look at the current line CURLIN
// of the free-input state at the cursor ICOL, within the significant columns 1
// to LASTCL, and either consume what they recognise or leave the cursor alone.
//
// The line reader places a sentinel (not a blank) after LASTCL, so scans over
// blanks stop there. Every access goes through column_char, which answers NUL
// for a column outside the line field, so no scan can leave the buffer.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "freeinput/state.h"

namespace vantor::freeinput {

// The character of CURLIN at column col (from 1); NUL outside the field.
inline char column_char(int col) {
  const unsigned index = static_cast<unsigned>(col) - 1U;
  return index < static_cast<unsigned>(kLineFieldSize) ? input_state.CURLIN[index] : '\0';
}

// Moves ICOL over blanks.
inline void SKIPBL() {
  free_input_state& st = input_state;
  while (column_char(st.ICOL) == ' ') ++st.ICOL;
}

// SKIPBL, then true when the cursor is beyond the last significant column.
inline bool ENDREC() {
  SKIPBL();
  return input_state.ICOL > input_state.LASTCL;
}

// True once an end of file has been met.
inline bool ENDFIL() {
  return input_state.NEOF > 0;
}

// Remembers the scratch values of the scanning primitives and the expression
// recognisers (last letter, last digit, digit string value, exponent) and puts
// them back when it ends, unless kept.
class scratch_guard {
 public:
  scratch_guard()
      : letter_(input_state.last_letter),
        digit_(input_state.last_digit),
        digit_value_(input_state.digit_value),
        digit_real_(input_state.digit_real),
        exponent_(input_state.IEXPO) {}
  scratch_guard(const scratch_guard&) = delete;
  scratch_guard& operator=(const scratch_guard&) = delete;
  ~scratch_guard() {
    if (kept_) return;
    free_input_state& st = input_state;
    st.last_letter = letter_;
    st.last_digit = digit_;
    st.digit_value = digit_value_;
    st.digit_real = digit_real_;
    st.IEXPO = exponent_;
  }
  // The values as they are now stay.
  void keep() { kept_ = true; }

 private:
  char letter_;
  int digit_;
  std::int64_t digit_value_;
  double digit_real_;
  int exponent_;
  bool kept_ = false;
};

// Takes a letter A to Z at the cursor.
inline bool ISLETR() {
  free_input_state& st = input_state;
  if (st.ICOL > st.LASTCL) return false;
  const char c = column_char(st.ICOL);
  if (c < 'A' || c > 'Z') return false;
  st.last_letter = c;
  ++st.ICOL;
  return true;
}

// Takes a digit 0 to 9 at the cursor and remembers its value.
inline bool ISDIGT() {
  free_input_state& st = input_state;
  if (st.ICOL > st.LASTCL) return false;
  const char c = column_char(st.ICOL);
  if (c < '0' || c > '9') return false;
  st.last_digit = c - '0';
  ++st.ICOL;
  return true;
}

// amount 0: on to the next blank (or LASTCL + 1); otherwise ICOL + amount,
// kept within 1 to LASTCL + 1.
void MOVCUR(int amount);

// Takes a string of digits. digit_value receives its value while that stays
// exact in double precision (far beyond the 32-bit range, so an over-long
// integer is recognisable); digit_real receives the value accumulated in double
// precision, digit by digit (v = v * 10 + d).
inline bool DIGSTR() {
  // Largest value that can take one more digit and stay exact in double.
  constexpr std::int64_t kExactLimit = ((std::int64_t{1} << 53) - 9) / 10;
  free_input_state& st = input_state;
  if (!ISDIGT()) return false;
  std::int64_t value = st.last_digit;
  while (ISDIGT()) {
    if (value > kExactLimit) {
      // Every value so far is exact in double, so this continues the
      // digit-by-digit accumulation in double precision.
      double wide = static_cast<double>(value) * 10.0 + st.last_digit;
      while (ISDIGT()) wide = wide * 10.0 + st.last_digit;
      st.digit_value = value;
      st.digit_real = wide;
      return true;
    }
    value = value * 10 + st.last_digit;
  }
  st.digit_value = value;
  st.digit_real = static_cast<double>(value);
  return true;
}

// The field end: blanks with at most one comma among them, a comma followed by
// blanks, or the end of the significant line. Consumes it.
inline bool ENDFLD() {
  free_input_state& st = input_state;
  if (st.ICOL <= 0) st.ICOL = 1;
  const char c = column_char(st.ICOL);
  if (c == ' ') {
    SKIPBL();
    if (column_char(st.ICOL) == ',') {
      ++st.ICOL;
      SKIPBL();
    }
    return true;
  }
  if (c == ',') {
    ++st.ICOL;
    SKIPBL();
    return true;
  }
  return ENDREC();
}

// Counts the leading characters of the first n of key that stand in CURLIN from
// the cursor on, never looking beyond LASTCL; succeeds (moving the cursor on)
// when that is the whole key or at least NCMTCH characters.
inline bool match_at_cursor(std::string_view key, int n) {
  free_input_state& st = input_state;
  const int key_length =
      static_cast<int>(std::min<std::size_t>(key.size(), static_cast<std::size_t>(std::max(n, 0))));
  const int limit = std::min(key_length, st.LASTCL - st.ICOL + 1);
  int m = 0;
  while (m < limit && key[static_cast<std::size_t>(m)] == column_char(st.ICOL + m)) ++m;
  if (m < n && m < st.NCMTCH) return false;
  st.ICOL += m;
  if (m < n) MOVCUR(0);  // an abbreviation: pass over the rest of the word
  return true;
}

// Keyword match after blanks: true when at least the first n characters of the
// keyword, or at least NCMTCH of them, stand at the cursor. An abbreviation
// moves the cursor on to the next blank.
inline bool KEYMAT(std::string_view keyword, int n) {
  SKIPBL();
  if (input_state.ICOL > input_state.LASTCL) return false;
  return match_at_cursor(keyword, n);
}

}  // namespace vantor::freeinput

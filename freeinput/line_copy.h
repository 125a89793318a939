// The copy of a line's significant columns into CURLIN, sixteen characters at
// a time where SSE2 is there, that tells on the way whether the line needs
// the exact character walk at all (a tab, a "!" or a letter to fold); and
// the search for the first of them, past the blanks and tabs.
#pragma once

#include <bit>
#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vantor::freeinput::detail {

// Copies raw[begin, end) to cur; false when none of the characters can need
// the character map or end the line early: no tab, no "!" and, when letters
// are folded, no lower-case letter. (It may answer true for other lines,
// which then take the exact way.)
inline bool copy_and_check(const char* raw, char* cur, std::size_t begin, std::size_t end,
                           bool fold) {
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
    // Four at a time first: the loop's own steps once per 64 characters.
    for (; i + 64 <= end; i += 64) {
      take(i);
      take(i + 16);
      take(i + 32);
      take(i + 48);
    }
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

// The number of blanks and tabs that open raw, whose column width holds a
// character that is neither (the sentinel): sixteen columns at a time while
// they lie before it, then one at a time.
inline std::size_t leading_blanks(const char* raw, std::size_t width) {
  std::size_t i = 0;
#if defined(__SSE2__)
  for (; i + 16 <= width; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(raw + i));
    const auto blank = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(
        _mm_cmpeq_epi8(v, _mm_set1_epi8(' ')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\t')))));
    if (blank != 0xFFFF) return i + static_cast<std::size_t>(std::countr_one(blank));
  }
#endif
  while (raw[i] == ' ' || raw[i] == '\t') ++i;
  return i;
}

}  // namespace vantor::freeinput::detail

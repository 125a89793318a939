// Four damage fields in fixed columns, checked in one look at 48 characters.
//
// The raw files write each damage in twelve columns, " sd.ddddE-dd": a
// blank, a blank or '-' (the sign), the digit, the point, four digits, E,
// the exponent's sign and two digits. Once one field of a row has been read,
// the next four usually stand in exactly those columns; comparing the
// character classes of all 48 columns against that pattern at once replaces
// the checks of four single fields. Their values are those of the single
// damage field pass (damage_value).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "freeinput/exponent_field.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vantor::freeinput {

inline constexpr std::size_t kDamageColumns = 12;
inline constexpr std::size_t kBlockFields = 4;
inline constexpr std::size_t kBlockColumns = kDamageColumns * kBlockFields;

#if defined(__SSE2__)
inline constexpr bool kDamageBlocks = true;

namespace detail {

// Per column of the block: the least character it may hold and how far
// above that it may go (a digit column '0' and 9, every other column its one
// character and 0), and whether '-' will do as well (the two sign columns).
struct block_pattern {
  alignas(16) std::array<char, kBlockColumns> low{};
  alignas(16) std::array<char, kBlockColumns> span{};
  alignas(16) std::array<char, kBlockColumns> minus{};
};

inline constexpr block_pattern kBlockPattern = [] {
  constexpr std::string_view kColumns = " sd.ddddE#dd";  // s: blank or '-', #: '+' or '-'
  block_pattern p;
  for (std::size_t k = 0; k < kBlockColumns; ++k) {
    const char c = kColumns[k % kDamageColumns];
    p.low[k] = c == 'd' ? '0' : c == 's' ? ' ' : c == '#' ? '+' : c;
    p.span[k] = c == 'd' ? 9 : 0;
    p.minus[k] = c == 's' || c == '#' ? '\xFF' : '\0';
  }
  return p;
}();

// The columns k to k + 15 that fit the pattern, one bit each.
inline unsigned fitting_columns(const char* slot, std::size_t k) {
  const auto at = [k](const std::array<char, kBlockColumns>& a) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(a.data() + k));
  };
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(slot + k));
  // The distance above the least character, taken unsigned (a character
  // below it wraps to 0x80 and above), is at most the span.
  const __m128i above = _mm_sub_epi8(v, at(kBlockPattern.low));
  const __m128i in_range = _mm_cmpeq_epi8(_mm_min_epu8(above, at(kBlockPattern.span)), above);
  const __m128i minus =
      _mm_and_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('-')), at(kBlockPattern.minus));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(in_range, minus)));
}

// The same four characters of each of the four fields, from column at of the
// first: one 32-bit lane per field, in field order. Two loads of sixteen hold
// them in their first and last lanes (the fields lie twelve columns apart).
inline __m128i field_lanes(const char* slot, std::size_t at) {
  const auto load = [slot](std::size_t k) {
    return _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(slot + k)));
  };
  return _mm_castps_si128(
      _mm_shuffle_ps(load(at), load(at + 2 * kDamageColumns), _MM_SHUFFLE(3, 0, 3, 0)));
}

// For the four checked fields at slot, their four fraction digits read as an
// integer and their exponent keys, as damage_value derives them from one
// field's word, here for the four fields at once.
struct block_parts {
  alignas(16) std::array<std::uint32_t, kBlockFields> quad;
  alignas(16) std::array<std::uint32_t, kBlockFields> key;
};

inline block_parts parts_of_block(const char* slot) {
  block_parts parts;
  // "dddd" from column 4: digit values d1 d2 d3 d4 from the low byte up; the
  // 16-bit halves become 10 d1 + d2 and 10 d3 + d4, the lane (10 d1 + d2) x
  // 100 + 10 d3 + d4, the reading of short_run_value.
  const __m128i digits = _mm_sub_epi8(field_lanes(slot, 4), _mm_set1_epi8('0'));
  const __m128i pairs = _mm_add_epi16(
      _mm_mullo_epi16(_mm_and_si128(digits, _mm_set1_epi16(0xFF)), _mm_set1_epi16(10)),
      _mm_srli_epi16(digits, 8));
  const __m128i quad = _mm_madd_epi16(pairs, _mm_set1_epi32(0x00010064));  // 100 low, 1 high
  // "E#dd" from column 8: the key is d1 + 256 d2 (digit values), plus 4096
  // when bit 1 of the sign is set ('+').
  const __m128i marks = field_lanes(slot, 8);
  const __m128i key = _mm_or_si128(_mm_sub_epi32(_mm_srli_epi32(marks, 16), _mm_set1_epi32(0x3030)),
                                   _mm_and_si128(_mm_slli_epi32(marks, 3), _mm_set1_epi32(0x1000)));
  _mm_store_si128(reinterpret_cast<__m128i*>(parts.quad.data()), quad);
  _mm_store_si128(reinterpret_cast<__m128i*>(parts.key.data()), key);
  return parts;
}

}  // namespace detail

// Takes the four damage fields whose twelve columns start at slot (the end of
// the field before them) when all 48 columns follow the pattern and the
// column after them ends a field (a blank, a comma or the line end, which
// must not come sooner). Writes their values in order and returns the end of
// the fourth; nullptr when the columns do not fit.
inline const char* take_damage_block(const char* slot, const char* end, double* values) {
  if (end - slot < static_cast<std::ptrdiff_t>(kBlockColumns)) return nullptr;
  const unsigned fits = detail::fitting_columns(slot, 0) & detail::fitting_columns(slot, 16) &
                        detail::fitting_columns(slot, 32);
  const char* const after = slot + kBlockColumns;
  if (fits != 0xFFFFU || !ends_field(after, end)) return nullptr;
  const detail::block_parts parts = detail::parts_of_block(slot);
  for (std::size_t k = 0; k < kBlockFields; ++k) {
    const char* const field = slot + k * kDamageColumns;
    values[k] = damage_from_parts(static_cast<unsigned char>(field[2]), parts.quad[k], parts.key[k],
                                  field[1] == '-');
  }
  return after;
}
#else
inline constexpr bool kDamageBlocks = false;

inline const char* take_damage_block(const char*, const char*, double*) {
  return nullptr;
}
#endif

}  // namespace vantor::freeinput

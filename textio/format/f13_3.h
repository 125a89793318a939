// The kernel of F13.3, the field of every coordinate written: the text of a
// value whose magnitude times 10^3 rounds to an integer below 10^8 (integer
// part below 10^5), without a sign, from three table words. The rounding is
// round_fixed_fast's; the text is put_fixed_word_of<3>'s for the same
// integer: blanks, the integer digits ("0" when there are none), the point,
// three decimals.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vantor::textio::detail {

struct f13_tables {
  // Columns 2 to 7 of the field for the integer part's hundreds h (0 to 999):
  // h right-aligned after blanks, all blanks for 0; columns 8 and 9 left 0.
  std::array<std::uint64_t, 1000> hundreds{};
  // Columns 8 and 9 for the last two integer digits r: "rr" (index r) when
  // hundreds came before them, else (index 100 + r) r alone, "0" for none.
  std::array<std::uint64_t, 200> tail{};
  // Columns 10 to 13: the point and the three decimals.
  std::array<std::uint32_t, 1000> decimals{};
};

inline constexpr f13_tables kF13 = [] {
  f13_tables t{};
  const auto put = [](std::uint64_t& word, std::size_t byte, char c) {
    word |= std::uint64_t{static_cast<unsigned char>(c)} << (8 * byte);
  };
  for (std::size_t h = 0; h < 1000; ++h) {
    std::uint64_t word = 0;
    for (std::size_t b = 0; b < 3; ++b) put(word, b, ' ');
    put(word, 3, h >= 100 ? static_cast<char>('0' + h / 100) : ' ');
    put(word, 4, h >= 10 ? static_cast<char>('0' + h / 10 % 10) : ' ');
    put(word, 5, h >= 1 ? static_cast<char>('0' + h % 10) : ' ');
    t.hundreds[h] = word;
  }
  for (std::size_t r = 0; r < 100; ++r) {
    std::uint64_t both = 0;
    put(both, 6, static_cast<char>('0' + r / 10));
    put(both, 7, static_cast<char>('0' + r % 10));
    t.tail[r] = both;
    std::uint64_t alone = 0;
    put(alone, 6, r >= 10 ? static_cast<char>('0' + r / 10) : ' ');
    put(alone, 7, static_cast<char>('0' + r % 10));
    t.tail[100 + r] = alone;
  }
  for (std::uint32_t f = 0; f < 1000; ++f) {
    t.decimals[f] = std::uint32_t{'.'} | ('0' + f / 100) << 8 | ('0' + f / 10 % 10) << 16 |
                    ('0' + f % 10) << 24;
  }
  return t;
}();

// F13.3 into out[0..12] of a value whose magnitude times 10^3 rounds to
// scaled, when scaled is below 10^8 and no sign is written (the value is not
// negative, or rounds to 0); false, with nothing written, otherwise.
[[gnu::always_inline]] inline bool put_f13_3(char* out, std::uint64_t scaled, bool negative) {
  if constexpr (std::endian::native != std::endian::little) return false;
  if (scaled >= 100000000 || (negative && scaled != 0)) return false;
  const auto n = static_cast<std::uint32_t>(scaled);
  const std::uint32_t integer = n / 1000;
  const std::uint32_t h = integer / 100;
  const std::uint32_t r = integer - 100 * h;
  const std::uint64_t word = kF13.hundreds[h] | kF13.tail[r + (h == 0 ? 100 : 0)];
  std::memcpy(out, "        ", 8);  // column 1, and 2 to 8 for now
  std::memcpy(out + 1, &word, sizeof word);
  std::memcpy(out + 9, &kF13.decimals[n - 1000 * integer], sizeof(std::uint32_t));
  return true;
}

}  // namespace vantor::textio::detail

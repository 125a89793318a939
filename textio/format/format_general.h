// The general paths of the F and E fields: every value and every layout the
// fast paths (fixed_word.h, e12_4.h) leave. Exact: the digits come from the
// integer rounding of short_digits.h where it reaches, else from the
// correctly rounded std::to_chars.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vantor::textio::detail {

// Decimals of the F fields that the integer rounding serves.
inline constexpr std::size_t kFastDecimals = 9;

// Fw.d text of a value whose magnitude times 10^d rounds to scaled, with the
// sign of a negative value unless it rounds to zero.
void put_fixed(std::span<char> field, std::uint64_t scaled, std::size_t d, bool negative);

// Every Fw.d the word path of format_fixed leaves.
[[gnu::noinline]] void format_fixed_general(std::span<char> field, double value, int decimals,
                                            int scale);

// Every Ew.d that the 1PE12.4 kernel leaves: zero, non-finite, scale factors
// other than 1, values beyond the reach of the integer rounding.
[[gnu::noinline]] void format_exponent_general(std::span<char> field, double value, int decimals,
                                               int scale);

}  // namespace vantor::textio::detail

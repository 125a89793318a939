// Rendering of one value into one field of a record.
//
// Each function fills the whole field (its span is exactly w columns): the
// value right-aligned with blanks to the left, or w asterisks when the value
// needs more columns than the field has. Decimal digits are those of the exact
// binary value rounded to nearest, ties to even.
#pragma once

#include <span>
#include <string_view>

#include "textio/format/field_fill.h"

namespace vantor::textio {

// Iw (min_digits 1) and Iw.m: at least min_digits digits, "-" before the first
// digit of a negative value. min_digits 0 writes the value 0 as blanks.
void format_integer(std::span<char> field, int value, int min_digits);

// Fw.d with scale factor k: the value times 10^k with d digits after the point.
// A value that rounds to zero has no sign; the "0" before the point is left out
// when the field has no room for it.
void format_fixed(std::span<char> field, double value, int decimals, int scale);

// Ew.d with scale factor k (0 to d+1): k digits before the point (with k = 0 a
// "0" that is left out when there is no room), d+1-k after it (d with k = 0),
// then "E+dd", or "+ddd" for exponents of magnitude 100 to 999. Zero is written
// as "0." followed by d zeros and "E+00".
void format_exponent(std::span<char> field, double value, int decimals, int scale);

// Ew.d fields side by side, one per value (fields.size() is values.size()
// times the width): the text of format_exponent in each field.
void format_exponents(std::span<char> fields, std::span<const double> values, int decimals,
                      int scale);

// Aw: the text right-aligned when shorter than the field, else its first w
// characters.
void format_text(std::span<char> field, std::string_view text);

}  // namespace vantor::textio

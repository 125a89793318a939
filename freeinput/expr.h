// Field expressions: a real field may be a number or a small arithmetic
// expression of numbers, PI, SIN( ) and COS( ), evaluated strictly from left to
// right without precedence; a leading sign applies to the whole field.
//
// All recognisers work on the free-input state at the cursor and return a
// truth value; a failed recogniser leaves the cursor (and RVALUE) as it found
// them. The digit scratch values and NCMTCH are always handed back as found.
#pragma once

#include <string_view>

namespace vantor::freeinput {

// A whole field holding an expression, with its field end. RVALUE gets the value.
bool ISREAL();

// An unsigned number (digits, fraction, exponent part) or PI. RVALUE gets it.
bool ISNUMB();

// An exponent part: E, an optional sign, one to four digits. IEXPO gets it.
bool ISEXPO();

// SIN( or COS( with an argument of numbers and operators, then ). RVALUE gets it.
bool ISFUNC();

// KEYMAT without the move over blanks.
bool KEYCUR(std::string_view key, int n);

// The common case of a field, recognised in one pass: an optional sign, digits,
// an optional point and digits, an optional exponent part, then a field end.
// Without point and exponent it is an integer item (is_integer, IVALUE); with
// either it is a real item (RVALUE), of exactly the value ISREAL computes. The
// field end is consumed. Anything else (expressions, words, long digit strings)
// returns false with nothing changed, for the general recognisers.
bool take_plain_number(bool& is_integer);

// x times the double nearest to 10^exponent.
double scale_by_power_of_ten(double x, int exponent);

}  // namespace vantor::freeinput

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

}  // namespace vantor::freeinput

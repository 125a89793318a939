// Small routines of the driver: the console prompt, table fills, the tolerant
// comparison, upper-casing, and the selection of extreme values.
#pragma once

#include <span>
#include <string_view>

namespace vantor::driver {

// Writes one blank and the first min(length, 80) characters of text on the
// unit, leaving the cursor on the line for the answer.
void PROMPT(int unit, std::string_view text, int length);

// Sets rows x columns consecutive values of the table; nothing when the
// product is 0 or less (or larger than the table).
void DFILL(std::span<double> table, int rows, int columns, double value);
void IFILL(std::span<int> table, int rows, int columns, int value);

// Equality of two reals within a relative tolerance (strict bounds).
bool EQTOL(double a, double b, double tolerance);

// Replaces "a" to "z" by their upper-case letters, in place.
void UPCASE(std::span<char> text, int length);

// Fills index_list(1..count) with the positions of the extreme values among
// values(1..n): direction +1 from the largest down, -1 from the smallest up.
void SELEXT(std::span<const double> values, std::span<int> index_list, int n, int count,
            int direction);

}  // namespace vantor::driver

// Small text helpers of the plot program: whole-field integers and
// number rendering for the CSV and SVG files.
#pragma once

#include <string>
#include <string_view>

namespace vantor::plot {

// An optionally signed decimal integer filling the whole text (blanks around it
// allowed). False for anything else, including values beyond 32 bits.
bool parse_int(std::string_view text, int& value);

// A decimal real number filling the whole text (blanks around it allowed),
// finite and not NaN.
bool parse_real(std::string_view text, double& value);

// The shortest text that reads back as the same double ("847.059", "2.0749e-03"
// style as the value needs); "Infinity", "-Infinity" and "NaN" for the others.
std::string format_number(double value);

// The value with that many decimals, printf-style "%.{decimals}f" and
// "%.{decimals}E" ("Infinity", "NaN" as above), as long as it needs: a text
// of its own, not a fixed-width field as textio's format_fixed and
// format_exponent fill.
std::string fixed_decimals(double value, int decimals);
std::string exponent_decimals(double value, int decimals);

}  // namespace vantor::plot

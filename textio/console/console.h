// Console answers: whole lines and free-form integers.
//
// readLine takes the next console line into a fixed field (blank-padded, cut).
// readInteger reads one free-form integer, from the console (taking as many
// lines as it needs) or from a text (one line, unit -5). A slash or a leading
// comma (null value) leaves the target as it was. Every failure ends the run
// through fatal(): 24 end of input, 59 syntax, 64 out of the 32-bit range.
#pragma once

#include <span>
#include <string_view>

namespace vantor::textio {

void readLine(std::span<char> field);
void readInteger(int& target);
void readInteger(std::string_view text, int& target);

}  // namespace vantor::textio

// Text trimming and integer suffixes on fixed-length, blank-padded texts.
//
// Positions are counted from 1; a blank is the space character only (a tab is
// non-blank). These routines build the per-case file names: the prefix, "_",
// the case number with a fixed number of digits, then the file-type suffix.
#pragma once

#include <span>
#include <string_view>

namespace vantor::freeinput {

// Position of the last non-blank character, 0 if there is none.
int LENNB(std::string_view text);

// Position of the first non-blank character, 0 if there is none.
int POSNB(std::string_view text);

// The text up to its last non-blank character (its first LENNB characters).
std::string_view trim_right(std::string_view text);

// The text from its first to its last non-blank character (POSNB to LENNB);
// empty when it holds blanks only.
std::string_view trim(std::string_view text);

// The target becomes its non-blank span followed by the whole second text, cut
// to the target's length and padded with blanks. An all-blank target becomes
// the second text.
void CHRAPP(std::span<char> target, std::string_view second);

// The target becomes the source's non-blank span followed by the number
// written with exactly ndigits digits (leading zeros), cut and padded to the
// target's length. A negative number, more than 9 digits, or a number with
// more digits than ndigits is reported on lunmsg, leaves the target as it was
// and sets ierr to -1; on success ierr is left untouched. ndigits of 0 or less
// appends nothing. Target and source may be the same memory.
void CHARIN(std::span<char> target, std::string_view source, int number, int ndigits, int lunmsg,
            int& ierr);

// Whether CHARIN takes number in ndigits digits without a report.
bool charin_fits(int number, int ndigits);

}  // namespace vantor::freeinput

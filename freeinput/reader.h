// The significant line reader RDLINE and the mixed record reader RDMIX, with
// the item recognisers of a record: words, integers, reals (freeinput/expr.h)
// and free texts.
#pragma once

#include <span>

#include "textio/format/field.h"

namespace vantor::freeinput {

// Item type codes returned by RDMIX.
inline constexpr int kIntegerItem = 1;
inline constexpr int kRealItem = 2;
inline constexpr int kTextItem = 3;

// Characters kept of a word or free text item.
inline constexpr int kItemTextLength = 8;

// Reads the next significant line into the free-input state: comment and blank
// lines are skipped, a trailing "!" comment is cut off, tabs become blanks and
// (IUPCAS 1) letters are folded to upper case. Handles the end of the file
// (ending the run when it is read through beyond MAXEOF) and read failures.
void RDLINE();

// Reads the next record as items: types (1 integer, 2 real, 3 text), values, and
// texts, element i (from 1) being texts.subspan((i - 1) * textlen, textlen).
// count is the number of items, 0 for a record without a usable field, -1 at the
// end of the file. A unit of 0 or less makes it return at once. On a read
// failure it reports on lunmsg and decrements ierr.
void RDMIX(int& count, std::span<int> types, std::span<double> values, std::span<char> texts,
           int textlen, int unit, int lunmsg, int& ierr);

// Item recognisers of a record, at the cursor of the current line.
bool ISWORD();  // letters and digits starting with a letter, 32 at most
bool ISINTG();  // an optionally signed integer in the 32-bit range
bool ISTEXT();  // any other field up to the next blank

// The last word and the last free text, in 16 characters.
textio::field<16> GETWRD();
textio::field<16> GETTXT();

}  // namespace vantor::freeinput

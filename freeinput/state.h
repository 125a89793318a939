// The free-input state: the one record of the free-format reader that holds the
// reading settings, the current line with its cursor, and the item results.
//
// INIFII_2 binds it to one input unit and resets it; RDLINE refills the line;
// the scanning primitives and the item recognisers work on it. Columns are
// counted from 1: column k of RAWLIN / CURLIN is element k - 1.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "textio/units/units.h"

namespace vantor::freeinput {

inline constexpr int kMaxLineWidth = 2048;
// One position beyond the widest line, for the sentinel.
inline constexpr int kLineFieldSize = kMaxLineWidth + 1;
// Bytes after the line field that the number scans may load but never use: a
// block of damage fields looks at 49 characters from a field end.
inline constexpr int kScanSlack = 64;
inline constexpr int kWordSize = 32;
// LUNRD value that selects the memory text source.
inline constexpr int kMemorySource = -4321;
// Character placed after the last significant column of a line.
inline constexpr char kSentinel = 'S';

struct free_input_state {
  // Settings.
  int NCHLIN = 0;   // characters taken from each line, 1 to 2048
  int NCMTCH = 0;   // minimum length of an abbreviated keyword
  int LUNRD = 0;    // unit read; 0 standard input; negative the memory source
  int LUNMSG = 0;   // unit for error reports; 0 standard output, < 0 none
  int LUNECH = 0;   // unit for the echo of every line; 0 standard output, < 0 none
  int MAXEOF = 0;   // ends of file handed to the caller quietly
  int IUPCAS = 0;   // 1: letters a to z are read as A to Z
  char CMTMRK = 0;  // comment-line marker in column 1

  // Reading progress.
  int NEOF = 0;    // ends of file met since initialisation
  int IERSTA = 0;  // outcome of the last line read: 0, -error number, or -999
  int NLINRD = 0;  // line reads attempted since initialisation

  // The line and its cursor.
  std::array<char, kLineFieldSize> RAWLIN{};               // the line as read
  std::array<char, kLineFieldSize + kScanSlack> CURLIN{};  // the processed line
  int ICOL = 0;    // cursor, column of CURLIN being examined
  int LASTCL = 0;  // last significant column of CURLIN

  // Item results.
  std::array<char, kWordSize> WORDBF{};
  int NWORD = 0;
  int IVALUE = 0;
  double RVALUE = 0.0;
  int text_start = 0;  // columns of the last free text item
  int text_end = 0;

  // Scratch of the scanning primitives and the expression recognisers.
  char last_letter = 0;          // last letter taken by ISLETR
  int last_digit = 0;            // value of the last digit taken by ISDIGT
  std::int64_t digit_value = 0;  // value of the last digit string (see DIGSTR)
  double digit_real = 0.0;       // the same value accumulated in double precision
  int IEXPO = 0;                 // signed value of the last exponent part

  // The memory text source: lines end at a line feed or a NUL character. With
  // memory_file_lines they end as a file's do through a unit instead: at a
  // line feed only, a carriage return just before it dropped.
  std::string_view memory_text;
  std::size_t memory_position = 0;
  bool memory_file_lines = false;

  // Characters the last line read actually had in RAWLIN (at most NCHLIN); the
  // rest of RAWLIN up to NCHLIN is padding.
  std::size_t raw_length = 0;
  // RAWLIN holds blanks in the columns after raw_blank_from up to
  // raw_blank_width, the width they were padded to (0: nothing known): a line
  // read at that width only pads what the longer line before it left behind.
  std::size_t raw_blank_from = 0;
  std::size_t raw_blank_width = 0;
};

// The free-input state of the thread: the dialogue and the case files are read
// on the main thread, a helper reading a file ahead has a state of its own.
extern thread_local constinit free_input_state input_state;

// The unit a report or echo goes to: 0 means the console (unit 6). Callers
// write nothing when the unit is negative.
constexpr int message_unit(int unit) {
  return unit == 0 ? textio::kConsoleOut : unit;
}

// Binds the reader to unit lunrd and resets it. ierr is decremented when the
// call is rejected (and left alone otherwise).
void INIFII_2(int nchlin, int ncmtch, int lunrd, int lunmsg, int& ierr);

// Puts value into the setting named by code (1 LUNRD, 2 LUNMSG, 3 LUNECH,
// 11 IUPCAS, 12 MAXEOF, 13 NEOF, 21 NCHLIN, 22 NCMTCH).
void SETOPT(int value, int code);

// Returns the setting named by code (1 ICOL, 2 NCHLIN, 3 NCMTCH, 4 IUPCAS,
// 5 LUNRD, 6 LUNMSG, 7 LUNECH, 8 MAXEOF, 9 NLINRD, 10 LASTCL), otherwise 0.
int QRYOPT(int code);

// Sets the comment-line marker.
void SETCMT(char marker);

}  // namespace vantor::freeinput

// The table of units: the handles of the console and of open files.
//
// Unit 5 is console input (standard input, "CONIN$"), unit 6 console output
// (standard output, "CONOUT$"); files are connected on units 1 to 99 (5 and 6
// excepted) by open_unit. At most one file per unit is open at a time.
//
// Output is buffered per unit in blocks of whole records; a record handed to
// put_record is complete and is never lost: every end of the run writes out
// every complete record before the process ends (textio/units/run_end.h). A
// file that takes only part of a block (a full disk, a file-size limit) is
// cut back to its last complete record. The console streams belong to the
// caller and are never cut: what they took stays (the report of the failed
// write says the rest is missing). The console is flushed before every
// console read, so a prompt is visible before the answer is typed. The
// operating system is reached through textio/platform/platform.h only.
//
// The full blocks of a file are written by a writer thread while the caller
// goes on gathering the next (a few blocks per file at most). Everything seen
// outside stays in the order of the calls: before another unit is written,
// flushed, opened, closed or cut, and before a report or the stop, every
// queued block is written. A block the writer thread could not write is
// reported (fatal 38 with its unit and file) at the next call on the units,
// and nothing gathered after it is written.
//
// Reading is line by line: a line ends at a line feed; a carriage return directly
// before it belongs to the terminator; a last line without a terminator is still
// a line.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace vantor::textio {

inline constexpr int kConsoleIn = 5;
inline constexpr int kConsoleOut = 6;
inline constexpr int kMaxUnit = 99;

enum class open_status { old_file, new_file, scratch, unknown };
enum class open_access { sequential, direct };
enum class open_form { formatted, unformatted };

struct open_spec {
  std::string_view name;  // file name, trailing blanks already removed; unused for scratch
  open_status status = open_status::unknown;
  open_access access = open_access::sequential;
  open_form form = open_form::formatted;
  int record_bytes = 0;  // bytes per record, direct access only
};

// Connects the unit (1 to 99) to a file, closing what was open on it first.
// Returns 0, or the open-failure number: 29 not found, 9 access denied (also a
// directory or a file that can be neither read nor written), 10 exists (status
// new), 42 no such device, 43 bad name, 30 anything else.
// The file is opened for reading and writing; only a file of status old that
// cannot be written is opened for reading only. Other processes may read and
// write it meanwhile (no locks).
// A sequential file opened for writing is cut at its start by the first record
// written to it.
int open_unit(int unit, const open_spec& spec);

// Cuts the file of a sequential unit to length 0 now (a regular file only),
// rather than at its first record: a file about to be written never shows
// the content of an earlier run, even when nothing gets written to it.
void cut_unit(int unit);

// Flushes and disconnects the unit; a scratch file is deleted. Closing a unit
// that is not open does nothing.
void close_unit(int unit);

bool unit_is_open(int unit);

// The file name used in reports: the name the unit was opened with, "CONIN$" for
// unit 5, "CONOUT$" for unit 6, "" when the unit is not open.
std::string unit_name(int unit);

// The record length in bytes of a direct-access unit (0 for sequential).
int unit_record_bytes(int unit);

// --- Output ------------------------------------------------------------------

// Appends one record to the unit's buffer, followed by CR LF unless
// terminate is false (a prompt written with $). A unit that is not open, or a
// failing write, ends the run with fatal report 38 (error during write).
void put_record(int unit, std::string_view text, bool terminate);

// Writes out the unit's buffered records now (fatal 38 on failure).
void flush_unit(int unit);

// --- Input -------------------------------------------------------------------

// Reads the next line of a sequential unit. Copies at most dest.size()
// characters of it into dest and sets length to the number copied; the rest of
// a longer line is skipped. Returns 0, -1 at the end of the input, or a positive
// error number (39 read failure, 9 not readable, 29/30 unit not open).
int read_line(int unit, std::span<char> dest, std::size_t& length);

// Reads the next line whole into line.
int read_line(int unit, std::string& line);

// Reads the next line without keeping it: piece receives its characters in
// consecutive non-empty parts as they come from the input buffer (a carriage
// return before the line feed excluded). Returns as read_line. For readers of
// lines of any length in bounded memory (console answers).
int read_line_pieces(int unit, const std::function<void(std::string_view)>& piece);

// Positions a sequential unit at its first line. A stream that cannot be
// rewound (a pipe) is read on from where it stands. Returns 0 or an error number.
int rewind_unit(int unit);

// --- Direct access and unformatted records -------------------------------------

// Record number rec (from 1) of a direct-access unit. write_direct pads a short
// record with blanks (formatted) or zero bytes (unformatted). Return 0 or an
// error number (-1 for reading a record beyond the end of the file).
int write_direct(int unit, int rec, std::span<const char> data);
int read_direct(int unit, int rec, std::span<char> data);

// One record of a sequential unformatted unit: a 4-byte length, the bytes, the
// length again. read_unformatted sets length to the record's length (copying at
// most data.size() bytes). Return 0, -1 at end of file, or an error number.
int write_unformatted(int unit, std::span<const char> data);
int read_unformatted(int unit, std::span<char> data, std::size_t& length);

}  // namespace vantor::textio

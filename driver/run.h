// The run driver: the whole program seen from outside.
//
// run() sets up the run state, writes the banner, asks the five questions,
// builds the probability table, reads every raw damage file (pass 1), writes
// every weighted damage file (pass 2) and the accumulated damage report, and
// ends through the closing steps (the count line, unit 90 closed, the stop).
// Every error ends through the same closing steps with exit status 1.
#pragma once

#include <initializer_list>
#include <string_view>

namespace vantor::driver {

int run();

// --- Shared by the phases of the run -----------------------------------------

// Writes the count line, closes unit 90 and ends the process with the status.
[[noreturn]] void closing_steps(int status);

struct block_value {
  std::string_view label;  // 34 characters
  int value;
};

// Writes the error header and a block of labelled values, then ends the run
// through the closing steps.
[[noreturn]] void raise_error(std::string_view title, std::initializer_list<block_value> values);

// " Cannot Open : " and the name, the error header, the closing steps.
[[noreturn]] void raise_cannot_open();

// What a named file is opened for: the iexist code of OPNSEQ.
enum class open_for : int {
  writing = 0,  // status unknown: created or cut back
  reading = 1,  // status old: it must exist
};

// Closes the unit and opens the file named in the name field on it; a
// failure, or IERR already set by the name building, ends the run through
// raise_cannot_open.
void open_named_file(int unit, open_for use);

// Phases (probability.cpp, cases.cpp, report.cpp).
void ask_probability_file();
void build_probability_table();
void read_case_files();
void write_weighted_files();
void write_report();

}  // namespace vantor::driver

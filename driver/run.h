// The run driver: the whole program seen from outside.
//
// run() takes the tables, writes the banner, asks the five questions,
// builds the probability table, reads every raw damage file (pass 1), writes
// every weighted damage file (pass 2) and the accumulated damage report, and
// ends through the closing steps (the count line, unit 90 closed, the stop).
// Every error ends through the same closing steps with exit status 1.
#pragma once

#include <initializer_list>
#include <string_view>

#include "driver/answers.h"
#include "driver/state.h"
#include "textio/format/field.h"

namespace vantor::driver {

// The run, its answers from the console or, where given, from their options.
int run(const answer_options& options = {});

// --- The steps of a run, in their order ------------------------------------
//
// Each step takes what it needs and returns what it gives (driver/state.h);
// the tables are handed to the steps that fill and read them. LINCNT, the
// records read from the file read last, goes to every step that can end the
// run, for the closing line: the probability step sets it, pass 1 sets it
// again for each case, nothing else changes it.

// The banner and the first two questions: the cases of the run, checked
// against the tables before anything is read (run.cpp).
case_range ask_case_range(const answer_options& options);

// The name of the probability file, asked until it opens on unit 89
// (probability.cpp).
void ask_probability_file(const answer_options& options);

// The prefix and the digits of the case numbers (run.cpp), with the date stamp
// taken at the start of the run.
case_naming ask_case_naming(const textio::field<256>& date_text, const answer_options& options);

// Reads PROB from unit 89, checks the count against ILAST, offers to scale a
// sum other than 1; gives LINCNT (probability.cpp).
int build_probability_table(const case_range& cases, run_tables& t, const answer_options& options);

// Pass 1: every raw damage file into RAWDAM and SCOO, checked against the
// first case; LINCNT set for each case read (cases.cpp).
case_shape read_case_files(const case_range& cases, const case_naming& naming, run_tables& t,
                           int& LINCNT);

// Pass 2: each case weighed by its probability, added to ACCDAM and written
// as its weighted damage file (cases.cpp).
void write_weighted_files(const case_range& cases, const case_naming& naming,
                          const case_shape& shape, run_tables& t, int LINCNT);

// The accumulated damage report from ACCDAM; fills MAXDAM and IHEAVY
// (report.cpp).
void write_report(const case_range& cases, const case_naming& naming, const case_shape& shape,
                  run_tables& t, int LINCNT);

// --- Shared by the steps ----------------------------------------------------

// Writes the count line (LINCNT), closes unit 90 and ends the process with
// the status.
[[noreturn]] void closing_steps(int LINCNT, int status);

struct block_value {
  std::string_view label;  // 34 characters
  int value;
};

// Writes the error header and a block of labelled values, then ends the run
// through the closing steps.
[[noreturn]] void raise_error(int LINCNT, std::string_view title,
                              std::initializer_list<block_value> values);

// " Cannot Open : " and the name, the error header, the closing steps.
[[noreturn]] void raise_cannot_open(std::string_view name, int LINCNT);

// What a named file is opened for: the iexist code of OPNSEQ.
enum class open_for : int {
  writing = 0,  // status unknown: created or cut back
  reading = 1,  // status old: it must exist
};

// Closes the unit and opens the file of that name (up to its last non-blank
// character) on it; a failure, or IERR already set by the name building,
// ends the run through raise_cannot_open.
void open_named_file(std::string_view name, int unit, open_for use, int& IERR, int LINCNT);

}  // namespace vantor::driver

// The records of one raw damage file read into its case's RAWDAM plane: the
// loop of the first pass over one file, shared by the thread that reads the
// cases in order (which turns the first fault into the run's error block) and
// the helper that reads a case ahead (which gives the case back at any fault).
//
// The records come from the source the calling thread's reader is bound to,
// up to its end. The loop stops at the first fault; every record before it is
// in the plane.
#pragma once

#include <span>

#include "driver/state.h"

namespace vantor::driver {

enum class case_fault {
  none,
  read_failure,       // the reader failed to read a line (reported on its message unit)
  illegal_character,  // a text item among a section's values
  hot_spots_missing,  // a section with another number of hot spots than the first's
};

struct case_records {
  int lines = 0;     // records read, the end of the file included
  int sections = 0;  // sections found, the faulty one included
  case_fault fault = case_fault::none;
  int parameter = 0;   // illegal_character: the item's number, from 1
  int hots_found = 0;  // hot_spots_missing: the section's number of hot spots
};

// The reader's buffers for one record and the unit its reports go to. Only
// the types and values of a record are looked at, so no texts are asked for:
// the reader then has no blanks to write for each number.
struct record_buffers {
  int& count;
  std::span<int> types;
  std::span<double> values;
  int message_unit;
};

// Reads the records of a case into plane (sections beyond the plane and hot
// spots beyond kMostHotSpots are counted, not kept), going on from what r
// holds: a file read in parts is read by one call per part. The first case
// sets nhot from its first section and, when scoo is not empty, keeps each
// section's coordinate; any other case is checked against nhot.
void read_case_records(const record_buffers& buffers, std::span<section_damages> plane,
                       bool first_case, int& nhot, std::span<double> scoo, case_records& r);

}  // namespace vantor::driver

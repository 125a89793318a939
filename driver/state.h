// The data of a run: the small values its steps hand on, and the fixed-size
// tables they fill and read.
//
// The tables are not a static object. reserved_tables() reserves them once,
// at its first call, as address space that reads as zero (driver/state.cpp):
// RAWDAM alone is 480,000,000 bytes at its full size and costs only the pages
// a run writes. No constructor or initialiser ever runs on them, so zero is
// every member's start value; the type is trivially default-constructible, which the compiler
// checks below (a default member initialiser would break that check rather
// than be silently ignored). Where the reservation fails the program ends at
// once with one line on standard error and status 1.
//
// The tables are C++ arrays indexed from 0; the counters of the algorithms
// (ICASE, sections, hot spots) count from 1, so a use subtracts 1:
// RAWDAM[c - 1][e - 1][j - 1] is hot spot j of section e in case c.
#pragma once

#include <array>
#include <string_view>
#include <type_traits>

#include "formats/file_formats.h"
#include "textio/format/field.h"

namespace vantor::driver {

// The table sizes are the limits of the run's files.
using file_formats::kMostCases;
using file_formats::kMostHotSpots;
using file_formats::kMostSections;
using file_formats::kRankedSections;

inline constexpr int kMaxItems = 500;  // reader buffers per record
// Characters of one element of the reader's text buffer.
inline constexpr int kTextElementLength = 80;

// Joins the lines of one header record.
inline constexpr std::string_view kLineFeed = "\n";

// The reader's settings for the run's input files: the first 512 characters
// of each line are read; keywords would be matched on 8.
inline constexpr int kInputLineWidth = 512;
inline constexpr int kInputKeywordLength = 8;

// Units of the run.
inline constexpr int kUnitIn = 5;
inline constexpr int kUnitOut = 6;
inline constexpr int kUnitProb = 89;
inline constexpr int kUnitRaw = 88;
inline constexpr int kUnitWrite = 90;

// The damages of one section, one per hot spot.
using section_damages = std::array<double, kMostHotSpots>;

// --- What the steps of a run hand on --------------------------------------
//
// Each step of the run (driver/run.h) takes what it needs and returns what it
// gives as these small values; only the tables below are shared, as one
// reservation handed to the steps that fill and read them.

// The cases of the run: the first two answers and their count.
struct case_range {
  int IFIRST = 0;
  int ILAST = 0;
  // ILAST - IFIRST + 1 in unsigned 32-bit arithmetic read back as int: a span
  // wider than int wraps, and the steps then run only for NCASE >= 1.
  int NCASE = 0;
};

// How the run's files are named and stamped: the prefix and the digits of
// the case number (answers 4 and 5), the date stamp taken at the start.
struct case_naming {
  textio::field<256> prefix{};
  int NDIG = 0;
  textio::field<256> date_text{};
};

// What pass 1 finds in the first case and checks every other against.
struct case_shape {
  int NELEM = 0;  // sections
  int NHOT = 0;   // hot spots of each section
};

// --- The tables -------------------------------------------------------------

// Every member starts at zero (see above): no default member initialisers.
struct run_tables {
  std::array<double, kMostCases> PROB;
  std::array<std::array<section_damages, kMostSections>, kMostCases> RAWDAM;
  std::array<section_damages, kMostSections> WGHDAM;
  std::array<section_damages, kMostSections> ACCDAM;
  std::array<double, kMostSections> SCOO;
  std::array<double, kMostSections> MAXDAM;
  std::array<int, kMostSections> IHEAVY;

  // Reader buffers for one record.
  int count;
  std::array<int, kMaxItems> types;
  std::array<double, kMaxItems> values;
  std::array<char, kMaxItems * kTextElementLength> texts;
};

// Zero pages are the tables as they start only for a trivial type with no
// initialiser of its own.
static_assert(std::is_trivially_default_constructible_v<run_tables> &&
              std::is_standard_layout_v<run_tables>);

// The one reservation of the program, made at the first call: the run takes
// it once and hands it on.
run_tables& reserved_tables();

// Makes the RAWDAM plane of case icase (1 to kMostCases) usable before it is
// filled (a no-op where reserved memory is usable at once).
void commit_case_plane(run_tables& t, int icase);

}  // namespace vantor::driver

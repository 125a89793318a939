// The run state: one set of variables and fixed-size tables for the whole run.
//
// The state is not a static object. state() reserves it once, at its first
// call, as address space that reads as zero (driver/state.cpp): RAWDAM alone
// is 480,000,000 bytes at its full size and costs only the pages a run writes.
// No constructor or initialiser ever runs on it, so zero is every member's
// start value; the type is trivially default-constructible, which the compiler
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

// Every member starts at zero (see above): no default member initialisers.
struct run_state {
  int IFIRST;
  int ILAST;
  int NCASE;
  int NDIG;
  int IERR;
  int IRDERR;
  int LINCNT;
  int ICASE;
  int NELEM;
  int NHOT;

  textio::field<256> probability_name;
  textio::field<256> prefix;
  textio::field<256> answer;
  textio::field<256> date_text;
  textio::field<256> name;
  textio::field<256> suffix;
  textio::field<256> line;

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

// Zero pages are a run_state as it starts only for a trivial type with no
// initialiser of its own.
static_assert(std::is_trivially_default_constructible_v<run_state> &&
              std::is_standard_layout_v<run_state>);

// The one run state of the program.
run_state& state();

// Makes the RAWDAM plane of case icase (1 to kMostCases) usable before it is
// filled (a no-op where reserved memory is usable at once).
void commit_case_plane(int icase);

}  // namespace vantor::driver

// The run state: one set of variables and fixed-size tables for the whole run.
//
// The tables are reserved once, at the first call of state(), as address space
// that reads as zero: RAWDAM alone is 480,000,000 bytes at its full size and
// costs only the pages a run writes. Where the reservation fails the program
// ends at once with one line on standard error and status 1. The state holds
// plain values only (zero is every member's start value).
// Tables are indexed from 1 through the accessor functions, in the order of the
// algorithms: RAWDAM(j, e, c) is hot spot j of section e in case c.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

#include "textio/field.h"

namespace vantor::driver {

inline constexpr int kMaxCases = 1000;
inline constexpr int kMaxSections = 3000;
inline constexpr int kMaxHotSpots = 20;
inline constexpr int kMaxItems = 500;  // reader buffers per record
inline constexpr int kItemTextLength = 80;
inline constexpr int kRanked = 10;  // length of the ranking of heaviest sections

// Joins the lines of one header record. A constant, not a member: any non-zero
// start value in the run state would move the whole state into the program file.
inline constexpr std::string_view kLineFeed = "\n";

// Units of the run.
inline constexpr int kUnitIn = 5;
inline constexpr int kUnitOut = 6;
inline constexpr int kUnitProb = 89;
inline constexpr int kUnitRaw = 88;
inline constexpr int kUnitWrite = 90;

using section_row = std::array<double, kMaxHotSpots>;

struct run_state {
  int IFIRST = 0;
  int ILAST = 0;
  int NCASE = 0;
  int NDIG = 0;
  int IERR = 0;
  int IRDERR = 0;
  int LINCNT = 0;
  int ICASE = 0;
  int NELEM = 0;
  int NHOT = 0;

  textio::field<256> probability_name{};
  textio::field<256> prefix{};
  textio::field<256> answer{};
  textio::field<256> date_text{};
  textio::field<256> name{};
  textio::field<256> suffix{};
  textio::field<256> line{};

  std::array<double, kMaxCases> PROB{};
  std::array<std::array<section_row, kMaxSections>, kMaxCases> RAWDAM{};
  std::array<section_row, kMaxSections> WGHDAM{};
  std::array<section_row, kMaxSections> ACCDAM{};
  std::array<double, kMaxSections> SCOO{};
  std::array<double, kMaxSections> MAXDAM{};
  std::array<int, kMaxSections> IHEAVY{};

  // Reader buffers for one record.
  int count = 0;
  std::array<int, kMaxItems> types{};
  std::array<double, kMaxItems> values{};
  std::array<char, kMaxItems * kItemTextLength> texts{};
};

// The one run state of the program.
run_state& state();

// Makes the RAWDAM plane of case icase (1 to kMaxCases) usable before it is
// filled (a no-op where reserved memory is usable at once).
void commit_case_plane(int icase);

}  // namespace vantor::driver

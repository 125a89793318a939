// The files of a run, as the driver writes them and vantor-plot reads them
// back: name suffixes, heading texts, the end line, the widths and columns of
// their fields, and the largest counts a run can hold. Both the writer
// (driver/, whose record layouts are in driver/file_layouts.h) and the reader
// (plot/) take every text and limit from here. A leaf: it includes nothing of
// the project.
//
// Header records are written up to their last non-blank character, so no
// text here ends in a blank where it ends a line.
#pragma once

#include <cstddef>
#include <string_view>

namespace vantor::file_formats {

// Largest counts of a run: the sizes of the driver's tables, the limits of
// what vantor-plot reads back.
inline constexpr int kMostCases = 1000;
inline constexpr int kMostSections = 3000;
inline constexpr int kMostHotSpots = 20;
inline constexpr int kRankedSections = 10;  // length of the ranking of heaviest sections

// File names: PREFIX_NNN.RawDam (read), PREFIX_NNN.WghDam and PREFIX.AccDam (written).
inline constexpr std::string_view kRawSuffix = ".RawDam";
inline constexpr std::string_view kWeightedSuffix = ".WghDam";
inline constexpr std::string_view kReportSuffix = ".AccDam";
inline constexpr std::string_view kCaseSeparator = "_";

// Lines shared by every output file.
inline constexpr std::string_view kCommentLead = "#    ";
inline constexpr std::string_view kEndLine =
    "#  ------------------------  E O F  ------------------------";

// Matrix rows: S_Coo in F13.3, then one 1PE12.4 damage per hot spot.
inline constexpr std::size_t kCoordinateWidth = 13;
inline constexpr std::size_t kDamageWidth = 12;

// Weighted damage file: one header record of two lines, then the matrix.
//   "#    Case no " I5.3 " for Project: " PREFIX "." DATE LF
//   "#    Probability for this case: " E12.4
inline constexpr std::string_view kCaseHead = "#    Case no ";
inline constexpr std::size_t kCaseNumberWidth = 5;
inline constexpr std::string_view kForProject = " for Project: ";
inline constexpr std::size_t kCaseRunLabelColumn =
    kCaseHead.size() + kCaseNumberWidth + kForProject.size();
inline constexpr std::string_view kProbabilityHead = "#    Probability for this case: ";
inline constexpr std::string_view kWeightedMatrixHeading =
    "#  S_Coo        <---------------- Hot Spots --------------->";

// Accumulated damage report.
//   "#    Summary of" I4 " cases for: " PREFIX "." DATE
inline constexpr std::string_view kSummaryHead = "#    Summary of";
inline constexpr std::size_t kCaseCountWidth = 4;
inline constexpr std::string_view kCasesFor = " cases for: ";
inline constexpr std::size_t kSummaryRunLabelColumn =
    kSummaryHead.size() + kCaseCountWidth + kCasesFor.size();
// Count lines: head, I5.
inline constexpr std::string_view kSectionCountHead = "#    Number of Sections (elements)     : ";
inline constexpr std::string_view kHotSpotCountHead = "#    Number of HotSpots per section    : ";
inline constexpr std::string_view kHashBlanks = "#                                              ";
inline constexpr std::string_view kSeparator =
    "#  ------------------------------------------------------";
// "#    Print of  the " I3 " heaviest exposed sections."
inline constexpr std::string_view kRankingHead = "#    Print of  the ";
inline constexpr std::size_t kRankingLengthWidth = 3;
inline constexpr std::string_view kRankingTail = " heaviest exposed sections.";
inline constexpr std::string_view kDamageHeading =
    "#     S_Coo      Damage                          Fatigue Life";
inline constexpr std::string_view kSectionTableHead =
    "#    Print of Max Damage per Section along Riser";
inline constexpr std::string_view kMatrixHead = "#    Print of full matrix.";
inline constexpr std::string_view kReportMatrixHeading =
    "#     S_Coo        <---------------- Hot Spots --------------->";
// Ranking and section rows: S_Coo F13.3, damage E12.4, fatigue life F35.1.
inline constexpr std::size_t kLifeWidth = 35;
inline constexpr std::size_t kDamageColumn = kCoordinateWidth;
static_assert(kSeparator.size() == 57 && kHashBlanks.size() == 47 && kDamageHeading.size() == 61);
inline constexpr std::size_t kLifeColumn = kCoordinateWidth + kDamageWidth;

}  // namespace vantor::file_formats

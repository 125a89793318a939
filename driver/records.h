// Header records of the output files: assembled in a 256-character line
// field, then written on unit 90 up to the field's last
// non-blank character (blanks before an embedded line feed are kept).
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

#include "driver/file_layouts.h"
#include "driver/state.h"
#include "freeinput/text.h"
#include "textio/format/field.h"
#include "textio/records/writer.h"

namespace vantor::driver {

// Layouts of one, two and three texts.
inline constexpr auto kText = textio::layout_of("(A)");
inline constexpr auto kTwoTexts = textio::layout_of("(A,A)");
inline constexpr auto kThreeTexts = textio::layout_of("(A,A,A)");

// Assembles the items in the line field, then writes it on unit 90 up to its
// last non-blank character.

template <class... Items>
void write_header(const textio::layout& l, const Items&... items) {
  textio::field<256> line;
  textio::write_internal(line, l, items...);
  textio::write(kUnitWrite, kText, freeinput::trim_right(textio::view(line)));
}

// A matrix row on unit 90: the section coordinate, then one damage per hot spot.
inline void write_matrix_row(double coordinate, const section_damages& damage, std::size_t nhot) {
  textio::write_reals(kUnitWrite, kRowLayout, coordinate,
                      std::span<const double>(damage.data(), nhot));
}

// The matrix rows of sections 1 to nelem, between the heading record
// ("#    ", line feed, heading) and the end record ("#    ", line feed, end
// line) of every output file.
inline void write_matrix_heading(std::string_view heading) {
  write_header(kThreeTexts, file_formats::kCommentLead, kLineFeed, heading);
}

inline void write_matrix_end() {
  write_header(kThreeTexts, file_formats::kCommentLead, kLineFeed, file_formats::kEndLine);
}

inline void write_matrix(std::string_view heading, const std::array<double, kMostSections>& scoo,
                         const std::array<section_damages, kMostSections>& table, std::size_t nelem,
                         std::size_t nhot) {
  write_matrix_heading(heading);
  for (std::size_t e = 0; e < nelem; ++e) write_matrix_row(scoo[e], table[e], nhot);
  write_matrix_end();
}

}  // namespace vantor::driver

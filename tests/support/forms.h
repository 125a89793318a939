// Inputs of every form for the comparisons of one build with another: console
// answers, free-format fields of a raw damage record and values at the
// rounding boundaries of the output fields. The same seed gives the same list
// on every machine.
//
// Lists hold texts in their written form (escaped): "\t", "\r", "\\" stand
// for a tab, a carriage return and a backslash, and "<c*N>" for N copies of
// the character c, so that answers of a million characters stay one short
// line of a table. expand() gives the text itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantor::testing {

// The text a written form stands for.
std::string expand(std::string_view written);
// The written form of a short text (no repetition marks).
std::string escape(std::string_view text);

// One console answer line per entry (no line end): every form of a free-form
// integer, the forms around them, long ones included. `random_count` random
// tokens are added to the systematic ones.
std::vector<std::string> answer_forms(std::uint64_t seed, int random_count);

// One raw damage record per entry (a coordinate, then fields): every form of
// a number field and of an expression, the 12-column damage field with each of
// its columns replaced by each character that matters, and random fields.
std::vector<std::string> field_records(std::uint64_t seed, int random_count);

// Values at and around the rounding boundaries of 1PE12.4 and F13.3, with the
// special values (zeros, infinities, NaN, subnormals).
std::vector<double> boundary_values();

// A raw damage file with some of its fields replaced by forms of
// field_records' kind or edited character by character (about `rate` of the
// data records touched).
std::string mutate_raw_damage(std::string_view text, std::uint64_t seed, double rate);

}  // namespace vantor::testing

// A number in a CSV table of vantor-plot, as spreadsheets and CSV readers
// (pandas.read_csv) read one: the shortest form that reads back as the same
// double, "inf" and "-inf" for the infinities (an infinite life), "nan" for
// no number. Every CSV file of the program spells its numbers so.
#pragma once

#include <string>

namespace vantor::plot {

std::string csv_number(double value);

}  // namespace vantor::plot

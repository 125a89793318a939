// The two fillings of a number field that carry no digits: asterisks for a
// value too wide for its field, and the words of a non-finite real. Shared by
// the entry points (number_format) and the general paths (format_general).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstring>
#include <span>
#include <string_view>

namespace vantor::textio {

// A field too narrow for its value: w asterisks.
inline void fill_stars(std::span<char> field) {
  std::fill(field.begin(), field.end(), '*');
}

// Non-finite reals in F and E fields: " Infinity", " -Infinity" or " NaN",
// left-aligned; asterisks when the field is narrower than that.
inline void format_non_finite(std::span<char> field, double value) {
  const std::string_view text =
      std::isnan(value) ? std::string_view("NaN")
                        : (std::signbit(value) ? std::string_view("-Infinity") : "Infinity");
  if (text.size() + 1 > field.size()) {
    fill_stars(field);
    return;
  }
  std::fill(field.begin(), field.end(), ' ');
  std::memcpy(field.data() + 1, text.data(), text.size());
}

}  // namespace vantor::textio

// Fixed-length, blank-padded text fields.
//
// Every text of the system (answers, names, report lines) is a character field
// of fixed length padded on the right with blanks; its length travels with it.
// A field is a std::array<char, N>; routines take std::span<char> (to write)
// or std::string_view (to read).
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>
#include <string_view>

namespace vantor::textio {

template <std::size_t N>
using field = std::array<char, N>;

// Fills the whole field with blanks.
inline void blank_fill(std::span<char> f) {
  std::fill(f.begin(), f.end(), ' ');
}

// Blank-fills the field, then copies as much of the text as fits.
inline void assign(std::span<char> f, std::string_view text) {
  const std::size_t n = std::min(f.size(), text.size());
  std::copy_n(text.begin(), n, f.begin());
  std::fill(f.begin() + static_cast<std::ptrdiff_t>(n), f.end(), ' ');
}

// The whole field (trailing blanks included) as a view.
template <std::size_t N>
constexpr std::string_view view(const field<N>& f) {
  return std::string_view(f.data(), N);
}
inline std::string_view view(std::span<const char> f) {
  return std::string_view(f.data(), f.size());
}

// True when the field holds blanks only (or is empty).
inline bool is_blank(std::string_view f) {
  return f.find_first_not_of(' ') == std::string_view::npos;
}

}  // namespace vantor::textio

// The text cells of vantor-plot's CSV tables: quoted where the text holds a
// separator, a quote or a line end (a quote doubled inside), as spreadsheets
// and CSV readers take them back.
#pragma once

#include <string>
#include <string_view>

namespace vantor::plot {

inline std::string csv_cell(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (const char c : text) {
    quoted += c;
    if (c == '"') quoted += '"';
  }
  return quoted + '"';
}

// A column heading with its unit: "what (unit)", or what alone for no unit.
inline std::string csv_heading(std::string_view what, const std::string& unit) {
  return csv_cell(unit.empty() ? std::string(what) : std::string(what) + " (" + unit + ")");
}

}  // namespace vantor::plot

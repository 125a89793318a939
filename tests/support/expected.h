// What the end-to-end tests share: the typical run (cases 1 to 3, two
// sections, two hot spots) and the console texts that the tests expect,
// built the way the program writes them (CR LF record ends).
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/e2e/harness.h"
#include "tests/support/answers.h"

namespace vantor::testing {

inline const std::string kTypicalAnswers = dialogue_answers{}.text();
inline const std::string kErrorHeader = "\r\n  *** ERROR IN Vantor    ***\r\n";

inline void write_typical_run(const scratch_dir& dir) {
  dir.write("probs.txt", "0.5 0.3 0.2\n");
  dir.write("riser_001.RawDam", "# case 1\n 10.0  1.0E-3  2.0E-3\n 20.0  4.0E-3  1.0E-3\n");
  dir.write("riser_002.RawDam", "# case 2\n 10.0  2.0E-3  2.0E-3\n 20.0  1.0E-3  1.0E-3\n");
  dir.write("riser_003.RawDam", "# case 3\n 10.0  5.0E-3  0.0\n 20.0  0.0  1.0E-2\n");
}

inline std::string pad_left(std::string_view text, std::size_t width) {
  return std::string(width > text.size() ? width - text.size() : 0, ' ') + std::string(text);
}

inline std::string repeat(std::string_view text, std::size_t times) {
  std::string out;
  out.reserve(text.size() * times);
  for (std::size_t k = 0; k < times; ++k) out += text;
  return out;
}

// The driver's error report: header, title line, labelled values in I8.
inline std::string block(std::string_view title,
                         std::vector<std::pair<std::string_view, int>> values) {
  std::string text = kErrorHeader + "\r\n  " + std::string(title) + "\r\n";
  for (const auto& [label, value] : values) {
    text += "  " + std::string(label) + pad_left(std::to_string(value), 8) + "\r\n";
  }
  return text;
}

// The closing line of every run.
inline std::string count_line(int count) {
  return "\r\n" + pad_left(std::to_string(count), 6) + " lines with plot data found\r\n\r\n";
}

}  // namespace vantor::testing

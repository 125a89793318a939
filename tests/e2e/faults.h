// What the fault tests of the real program share: the names of a run's case
// files, the files of its complete run to compare with, and the raw damage
// text of a large case.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/e2e/harness.h"
#include "tests/support/expected.h"
#include "tests/support/generate_run.h"

namespace vantor::testing {

inline std::string case_name(int c, std::string_view suffix) {
  return case_file_name("riser", c, 3, suffix);
}

// The files of a complete run of the typical case set, dates masked.
struct reference {
  std::vector<std::string> names;  // in the order they are written
  std::vector<std::string> texts;
};

// Every file of the complete run is in the folder, byte for byte.
inline void expect_complete(const scratch_dir& dir, const reference& ref) {
  for (std::size_t k = 0; k < ref.names.size(); ++k) {
    EXPECT_EQ(mask_date(dir.read(ref.names[k])), ref.texts[k]) << ref.names[k];
  }
}

inline reference complete_run(const std::function<void(const scratch_dir&)>& make, int cases,
                              const std::string& answers) {
  scratch_dir dir;
  make(dir);
  const run_result r = run_vantor(dir.path(), answers);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  reference ref;
  for (int c = 1; c <= cases; ++c) ref.names.push_back(case_name(c, ".WghDam"));
  ref.names.push_back("riser.AccDam");
  for (const std::string& name : ref.names) ref.texts.push_back(mask_date(dir.read(name)));
  return ref;
}

inline bool ends_with_record(const std::string& text) {
  return text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0;
}

inline constexpr int kLargeSections = 3000;
inline constexpr int kLargeHotSpots = 20;

inline std::string large_case_text() {
  return raw_damage_text(
      {1, kLargeSections, kLargeHotSpots, [](int e) { return (e + 1) * 0.5; },
       [](int e, int j) { return ((e * 37 + j * 11 + 48) % 997 + 1) * 1.0E-7; }});
}

}  // namespace vantor::testing

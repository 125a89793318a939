// One case's records into its plane (case_records.h).
#include "driver/case_records.h"

#include <algorithm>
#include <cstddef>

#include "freeinput/reader.h"

namespace vantor::driver {

void read_case_records(const record_buffers& buffers, std::span<section_damages> plane,
                       bool first_case, int& nhot, std::span<double> scoo, case_records& r) {
  int read_errors = 0;
  for (;;) {
    ++r.lines;
    // The unit argument only has to be positive: the records come from the
    // source the reader is bound to.
    freeinput::RDMIX(buffers.count, buffers.types, buffers.values, {}, 0, kUnitProb,
                     buffers.message_unit, read_errors);
    if (read_errors != 0) {
      r.fault = case_fault::read_failure;
      return;
    }
    const int n = buffers.count;
    if (n < 0) return;
    if (n == 0) continue;
    const int e = ++r.sections;
    if (first_case && e == 1) nhot = n - 1;
    const auto row = static_cast<std::size_t>(e - 1);
    const bool kept = row < plane.size();
    if (row < scoo.size()) scoo[row] = buffers.values[0];
    // Counted first (a loop without exits is vector work), found when there are any.
    int text_items = 0;
    for (int i = 2; i <= n; ++i)
      text_items += buffers.types[static_cast<std::size_t>(i - 1)] == freeinput::kTextItem ? 1 : 0;
    for (int i = 2; text_items > 0 && i <= n; ++i) {
      if (buffers.types[static_cast<std::size_t>(i - 1)] == freeinput::kTextItem) {
        r.fault = case_fault::illegal_character;
        r.parameter = i;
        return;
      }
    }
    if (kept) {
      const auto stored = std::min(static_cast<std::size_t>(n - 1), std::size_t{kMostHotSpots});
      std::copy_n(buffers.values.begin() + 1, stored, plane[row].begin());
    }
    if (n - 1 != nhot) {
      r.fault = case_fault::hot_spots_missing;
      r.hots_found = n - 1;
      return;
    }
  }
}

}  // namespace vantor::driver

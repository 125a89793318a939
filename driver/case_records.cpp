// One case's records into its plane (case_records.h).
#include "driver/case_records.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "freeinput/reader.h"

namespace vantor::driver {
namespace {

// The text items among items 2 to n of a record. A record of kMostHotSpots
// hot spots, the usual one, is counted by a loop of fixed length: vector work
// without the steps of a loop of any length.
int text_items_after_first(std::span<const int> types, int n) {
  constexpr std::size_t kRow = kMostHotSpots + 1;
  int count = 0;
  if (static_cast<std::size_t>(n) == kRow && types.size() >= kRow) {
    for (std::size_t i = 1; i < kRow; ++i) count += types[i] == freeinput::kTextItem ? 1 : 0;
    return count;
  }
  for (int i = 2; i <= n; ++i)
    count += types[static_cast<std::size_t>(i - 1)] == freeinput::kTextItem ? 1 : 0;
  return count;
}

}  // namespace

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
    const int text_items = text_items_after_first(buffers.types, n);
    for (int i = 2; text_items > 0 && i <= n; ++i) {
      if (buffers.types[static_cast<std::size_t>(i - 1)] == freeinput::kTextItem) {
        r.fault = case_fault::illegal_character;
        r.parameter = i;
        return;
      }
    }
    if (kept) {
      const auto stored = std::min(static_cast<std::size_t>(n - 1), std::size_t{kMostHotSpots});
      if (stored == kMostHotSpots) {
        // The whole row in two halves of fixed length, each short enough to
        // be copied by a few moves in place of a call.
        constexpr std::size_t kHalf = kMostHotSpots / 2;
        static_assert(2 * kHalf == kMostHotSpots);
        const double* const from = buffers.values.data() + 1;
        std::memcpy(plane[row].data(), from, kHalf * sizeof(double));
        std::memcpy(plane[row].data() + kHalf, from + kHalf, kHalf * sizeof(double));
      } else {
        std::copy_n(buffers.values.begin() + 1, stored, plane[row].begin());
      }
    }
    if (n - 1 != nhot) {
      r.fault = case_fault::hot_spots_missing;
      r.hots_found = n - 1;
      return;
    }
  }
}

}  // namespace vantor::driver

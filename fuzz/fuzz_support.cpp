#include "fuzz/fuzz_support.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "driver/state.h"

namespace vantor::driver {
namespace {

// The tables are reset byte by byte, so it must hold nothing but plain values.
static_assert(std::is_trivially_copyable_v<run_tables>);
static_assert(std::is_standard_layout_v<run_tables>);

// Zeroes [begin, begin + size). Whole pages inside the range are dropped
// (anonymous private memory reads back as zero pages); the partial pages at
// either end are written.
void zero_bytes(std::byte* begin, std::size_t size) {
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto first = reinterpret_cast<std::uintptr_t>(begin);
  const std::uintptr_t last = first + size;
  const std::uintptr_t inner_first = (first + page - 1) / page * page;
  const std::uintptr_t inner_last = last / page * page;
  if (inner_last <= inner_first + page) {
    std::memset(begin, 0, size);
    return;
  }
  std::memset(begin, 0, inner_first - first);
  std::memset(reinterpret_cast<void*>(inner_last), 0, last - inner_last);
  if (::madvise(reinterpret_cast<void*>(inner_first), inner_last - inner_first, MADV_DONTNEED) !=
      0) {
    std::memset(reinterpret_cast<void*>(inner_first), 0, inner_last - inner_first);
  }
}

}  // namespace

void reset_run_tables() {
  run_tables& s = reserved_tables();
  zero_bytes(reinterpret_cast<std::byte*>(&s), sizeof s);
}

}  // namespace vantor::driver

// The reservation of the run's tables (driver/state.h).
#include "driver/state.h"

#include <cstddef>
#include <new>
#include <string>
#include <string_view>

#include "textio/platform/platform.h"

namespace vantor::driver {
namespace {

run_tables* g_tables = nullptr;

[[noreturn]] void cannot_reserve(std::size_t bytes, std::string_view reason) {
  std::string line = "Vantor: cannot reserve the run's tables (";
  line += std::to_string(bytes);
  line += " bytes): ";
  line += reason;
  line += '\n';
  (void)platform::write_all(platform::console_error(), line.data(), line.size());
  platform::exit_with_status(1);
}

void commit_or_end(void* at, std::size_t bytes) {
  if (!platform::commit_range(at, bytes)) {
    cannot_reserve(bytes, "the system cannot commit the memory");
  }
}

// The tables are reserved once, reading as zero; only what a run writes costs
// memory. Everything but the case planes of RAWDAM is committed at once. A
// trivially default-constructible type begins its life in such storage
// without a constructor call: the zero bytes are its start values.
run_tables& reserve_tables() {
  std::string reason;
  void* at = platform::reserve_zeroed(sizeof(run_tables), reason);
  if (at == nullptr) cannot_reserve(sizeof(run_tables), reason);
  auto* bytes = static_cast<std::byte*>(at);
  constexpr std::size_t planes_begin = offsetof(run_tables, RAWDAM);
  constexpr std::size_t planes_end = planes_begin + sizeof(run_tables::RAWDAM);
  commit_or_end(bytes, planes_begin);
  commit_or_end(bytes + planes_end, sizeof(run_tables) - planes_end);
  return *std::launder(reinterpret_cast<run_tables*>(at));
}

}  // namespace

run_tables& reserved_tables() {
  if (g_tables == nullptr) g_tables = &reserve_tables();
  return *g_tables;
}

void commit_case_plane(run_tables& t, int icase) {
  auto& plane = t.RAWDAM[static_cast<std::size_t>(icase - 1)];
  commit_or_end(&plane, sizeof plane);
}

}  // namespace vantor::driver

// The reservation of the run state (driver/state.h).
#include "driver/state.h"

#include <cstddef>
#include <new>
#include <string>
#include <string_view>

#include "textio/platform/platform.h"

namespace vantor::driver {
namespace {

run_state* g_state = nullptr;

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
run_state& reserve_run_state() {
  std::string reason;
  void* at = platform::reserve_zeroed(sizeof(run_state), reason);
  if (at == nullptr) cannot_reserve(sizeof(run_state), reason);
  auto* bytes = static_cast<std::byte*>(at);
  constexpr std::size_t planes_begin = offsetof(run_state, RAWDAM);
  constexpr std::size_t planes_end = planes_begin + sizeof(run_state::RAWDAM);
  commit_or_end(bytes, planes_begin);
  commit_or_end(bytes + planes_end, sizeof(run_state) - planes_end);
  return *std::launder(reinterpret_cast<run_state*>(at));
}

}  // namespace

run_state& state() {
  if (g_state == nullptr) g_state = &reserve_run_state();
  return *g_state;
}

void commit_case_plane(int icase) {
  auto& plane = state().RAWDAM[static_cast<std::size_t>(icase - 1)];
  commit_or_end(&plane, sizeof plane);
}

}  // namespace vantor::driver

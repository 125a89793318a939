#include "plot/cli/part_files.h"

#include <array>
#include <atomic>
#include <cstring>
#include <new>

#include "plot/cli/app.h"

namespace vantor::plot {
namespace {

// Every output of one run at once, with room to spare.
constexpr std::size_t kParts = 8;

struct part_slot {
  std::atomic<bool> taken{false};  // claimed by a writer
  std::atomic<bool> named{false};  // set once name holds the whole name
  std::atomic<bool> open{false};   // file holds the open file (all zero: no start values)
  std::atomic<platform::handle> file{0};
  std::array<char, platform::kLongestEndName> name{};
};
static_assert(std::atomic<bool>::is_always_lock_free);
static_assert(std::atomic<platform::handle>::is_always_lock_free);

std::array<part_slot, kParts> g_parts;
std::atomic<bool> g_ending{false};

// Claims the ending and removes the temporary files; false when another
// ending came first. Only what a signal handler may do.
bool end_here() noexcept {
  if (g_ending.exchange(true)) return false;
  for (part_slot& p : g_parts) {
    if (!p.named.load()) continue;
    if (p.open.exchange(false)) (void)platform::close_file(p.file.load());
    (void)platform::remove_file_at_end(p.name.data());
  }
  return true;
}

void wait_for_the_end() noexcept {
  for (;;) platform::sleep_milliseconds(1000);
}

}  // namespace

void install_endings() noexcept {
  platform::end_at_console_events(end_here);
  std::set_new_handler(out_of_memory);
}

int keep_part(std::string_view name) noexcept {
  wait_if_ending();
  if (name.size() >= platform::kLongestEndName || name.find('\0') != std::string_view::npos) {
    return -1;
  }
  for (std::size_t k = 0; k < kParts; ++k) {
    part_slot& p = g_parts[k];
    if (bool free = false; !p.taken.compare_exchange_strong(free, true)) continue;
    std::memcpy(p.name.data(), name.data(), name.size());
    p.name[name.size()] = '\0';
    p.open.store(false);
    p.named.store(true);
    return static_cast<int>(k);
  }
  return -1;
}

void part_opened(int part, platform::handle file) noexcept {
  part_slot& p = g_parts[static_cast<std::size_t>(part)];
  p.file.store(file);
  p.open.store(true);
}

void part_closing(int part) noexcept {
  g_parts[static_cast<std::size_t>(part)].open.store(false);
}

void forget_part(int part) noexcept {
  if (part < 0) return;
  part_closing(part);
  g_parts[static_cast<std::size_t>(part)].named.store(false);
  g_parts[static_cast<std::size_t>(part)].taken.store(false);
}

void wait_if_ending() noexcept {
  if (g_ending.load()) wait_for_the_end();
}

[[noreturn]] void out_of_memory() noexcept {
  if (!end_here()) wait_for_the_end();
  constexpr std::string_view kLine = "vantor-plot: out of memory\n";
  (void)platform::write_all(platform::console_error(), kLine.data(), kLine.size());
  platform::exit_with_status(kExitBadInput);
}

}  // namespace vantor::plot

// How many threads a run may use: VANTOR_THREADS when it is a positive number,
// otherwise as many as the machine runs at once. With 1 a run keeps every step
// on the main thread (and the writer thread it has always had).
#pragma once

#include <atomic>
#include <cstdint>

namespace vantor::driver {

int run_threads();

// A helper thread that stays for the rest of the process, waiting on a pair of
// counters (asked, done). It is started once per process (a child made by
// fork has none of its parent's threads), the counters set to zero before.
// False when no thread can be started.
struct standing_helper {
  std::uint64_t started_in = 0;
  bool running = false;
};
bool start_standing_helper(standing_helper& helper, std::atomic<int>& asked, std::atomic<int>& done,
                           void (*body)(void*));

}  // namespace vantor::driver

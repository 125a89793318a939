#include "driver/run_threads.h"

#include <cstdlib>
#include <thread>

#include "textio/platform/platform.h"

namespace vantor::driver {

int run_threads() {
  constexpr long kMost = 64;
  if (const char* v = std::getenv("VANTOR_THREADS"); v != nullptr) {
    char* end = nullptr;
    const long n = std::strtol(v, &end, 10);
    if (end != v && *end == '\0' && n >= 1) return static_cast<int>(n > kMost ? kMost : n);
  }
  const unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : static_cast<int>(n > kMost ? kMost : n);
}

bool start_standing_helper(standing_helper& helper, std::atomic<int>& asked, std::atomic<int>& done,
                           void (*body)(void*)) {
  if (const std::uint64_t here = platform::process_id(); helper.started_in != here) {
    helper.started_in = here;
    asked.store(0);
    done.store(0);
    helper.running = platform::start_thread(body, nullptr);
  }
  return helper.running;
}

}  // namespace vantor::driver

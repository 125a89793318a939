#include "driver/run_threads.h"

#include <cstdlib>
#include <thread>

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

}  // namespace vantor::driver

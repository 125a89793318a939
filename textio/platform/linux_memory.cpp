// The address space of the run's tables on Linux: one private anonymous
// mapping that reads as zero, with the advice and the faulting-in of ranges
// of it.
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

#include "textio/platform/platform.h"

namespace vantor::platform {
namespace {

constexpr std::size_t kLargePage = std::size_t{2} << 20;

#ifndef MADV_POPULATE_WRITE
constexpr int MADV_POPULATE_WRITE = 23;  // Linux 5.14
#endif

std::uintptr_t round_up(std::uintptr_t v, std::size_t to) {
  return (v + to - 1) / to * to;
}

std::uintptr_t round_down(std::uintptr_t v, std::size_t to) {
  return v / to * to;
}

std::size_t page_size() {
  static const auto size = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  return size;
}

}  // namespace

void* reserve_zeroed(std::size_t bytes, std::string& reason) noexcept {
  void* at = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                    MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (at == MAP_FAILED) {
    reason = std::strerror(errno);
    return nullptr;
  }
  return at;
}

bool commit_range(void*, std::size_t) noexcept {
  return true;
}

// Only the whole large pages inside the range are advised: the pages at its
// ends may hold what the program never writes.
bool advise_large_pages(void* at, std::size_t bytes) noexcept {
  const auto begin = reinterpret_cast<std::uintptr_t>(at);
  const std::uintptr_t first = round_up(begin, kLargePage);
  const std::uintptr_t last = round_down(begin + bytes, kLargePage);
  return last > first &&
         ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE) == 0;
}

bool populate_range(void* at, std::size_t bytes) noexcept {
  const std::size_t page = page_size();
  const auto begin = round_down(reinterpret_cast<std::uintptr_t>(at), page);
  const std::uintptr_t end = round_up(reinterpret_cast<std::uintptr_t>(at) + bytes, page);
  if (end <= begin) return true;
  return ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE) == 0 ||
         errno != EINVAL;
}

}  // namespace vantor::platform

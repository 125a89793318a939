// Throughput of the free-format reader on a raw damage file: INIFII_2 and a
// RDMIX loop over 3000 records of a coordinate and 20 damages in exponent form,
// repeated a few times. Prints the rate in MB/s.
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "freeinput/reader.h"
#include "freeinput/state.h"
#include "tests/support/generate_run.h"
#include "textio/units/units.h"

namespace {

constexpr int kSections = 3000;
constexpr int kHotSpots = 20;
constexpr int kRepetitions = 20;
constexpr int kUnit = 88;

}  // namespace

int main() {
  using namespace vantor;
  std::array<char, 64> name{};
  std::snprintf(name.data(), name.size(), "/tmp/reader_bench_%d.RawDam",
                static_cast<int>(getpid()));
  const std::string text = vantor::testing::realistic_run({1, kSections, kHotSpots}).raw_damage(1);
  if (std::FILE* f = std::fopen(name.data(), "wb")) {
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  } else {
    std::fprintf(stderr, "cannot write %s\n", name.data());
    return 1;
  }
  if (textio::open_unit(kUnit, {name.data(), textio::open_status::old_file}) != 0) {
    std::fprintf(stderr, "cannot open %s\n", name.data());
    return 1;
  }

  std::array<int, 500> types{};
  std::array<double, 500> values{};
  std::array<char, 500 * 80> texts{};
  long items = 0;
  double checksum = 0.0;
  const auto start = std::chrono::steady_clock::now();
  const std::clock_t cpu_start = std::clock();
  for (int r = 0; r < kRepetitions; ++r) {
    int ierr = 0;
    freeinput::INIFII_2(512, 8, kUnit, 6, ierr);
    for (;;) {
      int count = 0;
      freeinput::RDMIX(count, types, values, texts, 80, 89, 6, ierr);
      if (count < 0 || ierr != 0) break;
      items += count;
      for (int i = 0; i < count; ++i) checksum += values[static_cast<std::size_t>(i)];
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpu_seconds = static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
  textio::close_unit(kUnit);
  std::remove(name.data());

  const double megabytes = static_cast<double>(text.size()) * kRepetitions / 1.0e6;
  // On a busy machine the processor time is the steadier measure.
  std::printf("reader: %.1f MB in %.3f s = %.1f MB/s (processor time %.3f s = %.1f MB/s)\n",
              megabytes, seconds, megabytes / seconds, cpu_seconds, megabytes / cpu_seconds);
  std::printf("reader: %ld items, checksum %.6e\n", items, checksum);
  return 0;
}

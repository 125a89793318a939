// Writes a deterministic, realistic run for benchmarks:
//   generate_run DIR CASES SECTIONS HOTSPOTS [SEED]
// DIR/riser_NNN.RawDam (coordinate in F13.3, damages in 1PE12.4 spread over
// 1e-9 to 1e-2, "#" heading lines), DIR/probs.txt and DIR/answers.txt.
#include "tests/support/generate_run.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 5 && argc != 6) {
    std::fprintf(stderr, "usage: generate_run DIR CASES SECTIONS HOTSPOTS [SEED]\n");
    return 2;
  }
  vantor::testing::write_realistic_run(
      argv[1], {std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]),
                argc == 6 ? std::strtoull(argv[5], nullptr, 10) : vantor::testing::kRunSeed});
  return 0;
}

// Runs made to measure for the tests and the benchmarks: raw damage files of
// the shape engineers produce (two "#" heading lines, then per section the
// coordinate in F13.3 and one damage per hot spot in 1PE12.4), their
// probability file and the console answers. The same arguments give the same
// bytes on every machine.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/splitmix.h"

namespace vantor::testing {

// The seed of the runs the tests and benchmarks have always used.
inline constexpr std::uint64_t kRunSeed = 20081231;

struct run_shape {
  int cases = 1;
  int sections = 1;
  int hot_spots = 1;
  std::uint64_t seed = kRunSeed;  // another seed, another run of the same shape
};

// "riser_007.RawDam": prefix, "_", the case number in `digits` digits with
// leading zeros, suffix.
std::string case_file_name(std::string_view prefix, int case_no, int digits,
                           std::string_view suffix);

// One raw damage file: the heading lines, then per section its coordinate
// and the damage at every hot spot (sections and hot spots counted from 0).
struct raw_damage {
  int case_no = 1;
  int sections = 1;
  int hot_spots = 1;
  std::function<double(int section)> coordinate;
  std::function<double(int section, int hot_spot)> damage;
};
std::string raw_damage_text(const raw_damage& file);

// A realistic run: damage peaks at the hang-off and at the touchdown zone,
// varies around the section and spreads over 1e-9 to 1e-2; probabilities from
// random weights. Cases must be asked for in order, 1 first.
class realistic_run {
 public:
  explicit realistic_run(run_shape shape);
  std::string raw_damage(int case_no);
  std::string probability_text() const;
  std::string answers() const;  // cases 1 to the last, prefix "riser"
  int digits() const { return digits_; }

 private:
  run_shape shape_;
  splitmix rng_;
  std::vector<double> weights_;
  double total_ = 0.0;
  int digits_ = 3;
};

// dir/riser_NNN.RawDam for every case, dir/probs.txt and dir/answers.txt.
void write_realistic_run(const std::filesystem::path& dir, run_shape shape);

}  // namespace vantor::testing

// Writes a deterministic, realistic run for benchmarks:
//   generate_run DIR CASES SECTIONS HOTSPOTS
// DIR/riser_NNN.RawDam (coordinate in F13.3, damages in 1PE12.4 spread over
// 1e-9 to 1e-2, "#" heading lines), DIR/probs.txt and DIR/answers.txt.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// A small deterministic generator (SplitMix64), the same on every machine.
struct splitmix {
  std::uint64_t state;
  std::uint64_t next() {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
};

void append_fixed(std::string& out, double v) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 3);
  const auto n = static_cast<std::size_t>(r.ptr - buf);
  out.append(n < 13 ? 13 - n : 0, ' ');
  out.append(buf, n);
}

void append_exponent(std::string& out, double v) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 4);
  std::string text(buf, r.ptr);
  const auto e = text.find('e');
  const int exponent = std::atoi(text.c_str() + e + 1);
  char exp_text[8];
  std::snprintf(exp_text, sizeof exp_text, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
  text = text.substr(0, e) + exp_text;
  out.append(text.size() < 12 ? 12 - text.size() : 0, ' ');
  out += text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: generate_run DIR CASES SECTIONS HOTSPOTS\n");
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  const int ncase = std::atoi(argv[2]);
  const int nsec = std::atoi(argv[3]);
  const int nhot = std::atoi(argv[4]);
  std::filesystem::create_directories(dir);
  splitmix rng{20081231};
  const double length = 10.0 * nsec;
  std::vector<double> weights(static_cast<std::size_t>(ncase));
  for (double& w : weights) w = 0.5 + 1.5 * rng.uniform();
  double total = 0.0;
  for (double w : weights) total += w;

  // Case numbers in file names: 3 digits, or as many as the last case needs.
  const int digits = std::max(3, static_cast<int>(std::to_string(ncase).size()));
  std::string out;
  for (int c = 1; c <= ncase; ++c) {
    out.clear();
    out += "# Raw fatigue damage, load case " + std::to_string(c) + "\n";
    out += "#  S_Coo   damage at hot spots 1 to " + std::to_string(nhot) + "\n";
    for (int e = 0; e < nsec; ++e) {
      const double coord = length * e / std::max(nsec - 1, 1);
      append_fixed(out, coord);
      const double top = std::exp(-std::pow((coord - 0.05 * length) / (0.04 * length), 2));
      const double tdz = std::exp(-std::pow((coord - 0.7 * length) / (0.06 * length), 2));
      for (int j = 0; j < nhot; ++j) {
        const double angle = 2.0 * M_PI * j / std::max(nhot, 1);
        const double shape = 0.55 + 0.45 * std::cos(angle - 0.6 * c);
        const double level = -9.0 + 6.5 * std::max(top, tdz) * shape + 0.8 * rng.uniform() - 0.4;
        append_exponent(out, std::min(std::pow(10.0, level), 9.9e-3));
      }
      out += '\n';
    }
    char name[64];
    std::snprintf(name, sizeof name, "riser_%0*d.RawDam", digits, c);
    std::ofstream(dir / name, std::ios::binary) << out;
  }
  std::ofstream probs(dir / "probs.txt", std::ios::binary);
  probs << "' Probability of occurrence of each load case\n";
  for (int c = 0; c < ncase; ++c) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.9f%c", weights[static_cast<std::size_t>(c)] / total,
                  (c % 8 == 7 || c == ncase - 1) ? '\n' : ' ');
    probs << buf;
  }
  std::ofstream(dir / "answers.txt", std::ios::binary) << "1\n"
                                                       << ncase << "\nprobs.txt\nriser\n\n";
  return 0;
}

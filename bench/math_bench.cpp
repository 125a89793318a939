// Cost per call of freeinput/math's sin, cos and pow against the C library's,
// on arguments of several ranges. Prints nanoseconds per call (CPU time, the
// best of five rounds).
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <vector>

#include "freeinput/math.h"

namespace {

using vantor::freeinput::portable_cos;
using vantor::freeinput::portable_pow;
using vantor::freeinput::portable_sin;

constexpr std::size_t kCount = 1 << 16;
constexpr int kRounds = 5;

volatile double sink = 0.0;

std::vector<double> spread(double lo, double hi, std::uint64_t seed) {
  std::vector<double> v(kCount);
  for (double& x : v) {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    x = lo + (hi - lo) * (static_cast<double>(seed >> 11) * 0x1p-53);
  }
  return v;
}

template <class F>
double ns_per_call(F f) {
  double best = 1e300;
  for (int r = 0; r < kRounds; ++r) {
    const std::clock_t t0 = std::clock();
    double acc = 0.0;
    for (int rep = 0; rep < 8; ++rep) acc += f();
    const double ns = static_cast<double>(std::clock() - t0) * 1e9 / CLOCKS_PER_SEC /
                      static_cast<double>(8 * kCount);
    sink = sink + acc;
    if (ns < best) best = ns;
  }
  return best;
}

template <class Own, class Libc>
void compare(const char* label, const std::vector<double>& x, const std::vector<double>& y, Own own,
             Libc libc) {
  const double a = ns_per_call([&] {
    double s = 0.0;
    for (std::size_t i = 0; i < kCount; ++i) s += own(x[i], y[i]);
    return s;
  });
  const double b = ns_per_call([&] {
    double s = 0.0;
    for (std::size_t i = 0; i < kCount; ++i) s += libc(x[i], y[i]);
    return s;
  });
  std::printf("%-28s own %7.1f ns   C library %7.1f ns   ratio %5.1f\n", label, a, b, a / b);
}

}  // namespace

int main() {
  const std::vector<double> none(kCount, 0.0);
  const auto own_sin = [](double x, double) { return portable_sin(x); };
  const auto libc_sin = [](double x, double) { return std::sin(x); };
  const auto own_cos = [](double x, double) { return portable_cos(x); };
  const auto libc_cos = [](double x, double) { return std::cos(x); };
  const auto own_pow = [](double x, double y) { return portable_pow(x, y); };
  const auto libc_pow = [](double x, double y) { return std::pow(x, y); };

  const std::array<std::pair<const char*, std::vector<double>>, 3> trig{{
      {"[-pi, pi]", spread(-3.14, 3.14, 1)},
      {"[-1e5, 1e5]", spread(-1e5, 1e5, 2)},
      {"[1e20, 1e300]", spread(1e20, 1e300, 3)},
  }};
  for (const auto& [range, x] : trig) {
    char label[64];
    std::snprintf(label, sizeof label, "sin %s", range);
    compare(label, x, none, own_sin, libc_sin);
    std::snprintf(label, sizeof label, "cos %s", range);
    compare(label, x, none, own_cos, libc_cos);
  }
  compare("pow x in (0,100), |y| < 20", spread(0.0, 100.0, 4), spread(-20.0, 20.0, 5), own_pow,
          libc_pow);
  compare("pow x in (0.5,2), y = 3", spread(0.5, 2.0, 6), std::vector<double>(kCount, 3.0), own_pow,
          libc_pow);
  return 0;
}

// portable_sin, portable_cos and portable_pow against MPFR at 128 bits, over
// VANTOR_MATH_CHECK_COUNT arguments per function (or the count given as the
// first argument): uniform in the exponent, near multiples of pi/2, huge,
// near the overflow and underflow edges of pow, near 1 with large exponents,
// negative bases. Prints per function the worst error in ulps, how many
// results are not the correctly rounded ones and how many differ from the C
// library's; fails when an error exceeds the bound of freeinput/math.h,
// 0.5 + 2^-37 ulp. Before that, sets of powers at and near halfway points and
// of +-1 must all be correctly rounded, and the comparison that settles powers
// near a rounding boundary must put the power on the right side of the
// midpoints beside it.
//
// With --table FILE it writes the rows of tests/freeinput/math_table.inc
// instead: a few hundred of these arguments with their correctly rounded
// results.
#include <mpfr.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "freeinput/math.h"
#include "freeinput/math_pow_near.h"
#include "tests/support/splitmix.h"

#ifndef VANTOR_MATH_CHECK_COUNT
#define VANTOR_MATH_CHECK_COUNT 10000000
#endif

namespace {

using vantor::freeinput::portable_cos;
using vantor::freeinput::portable_pow;
using vantor::freeinput::portable_sin;

constexpr mpfr_prec_t kPrec = 128;
constexpr double kBound = 0.5 + 0x1p-37;

struct splitmix : vantor::testing::splitmix {
  double uniform(double lo, double hi) {
    return lo + (hi - lo) * vantor::testing::splitmix::uniform();
  }
  int range(int lo, int hi) {
    return lo + static_cast<int>(next() % static_cast<std::uint64_t>(hi - lo + 1));
  }
  // A double with a random mantissa, sign bit and the given biased exponent.
  double with_exponent(int biased, bool random_sign) {
    const std::uint64_t sign = random_sign ? (next() & (1ULL << 63)) : 0;
    return std::bit_cast<double>(sign | (static_cast<std::uint64_t>(biased) << 52) |
                                 (next() >> 12));
  }
};

double step_ulps(double x, int n) {
  std::int64_t b = std::bit_cast<std::int64_t>(x);
  return std::bit_cast<double>(b + n);
}

bool same_bits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b) ||
         (std::isnan(a) && std::isnan(b));
}

struct stats {
  const char* name = "";
  std::uint64_t count = 0;
  std::uint64_t not_rounded = 0;
  std::uint64_t differ_libc = 0;
  std::uint64_t libc_not_rounded = 0;
  double worst = 0.0;
  double worst_x = 0.0;
  double worst_y = 0.0;
};

struct reference {
  mpfr_t a, b, r1, r2, diff;
  reference() {
    mpfr_inits2(kPrec, a, b, r1, r2, static_cast<mpfr_ptr>(nullptr));
    mpfr_init2(diff, 4 * kPrec);
  }
  ~reference() { mpfr_clears(a, b, r1, r2, diff, static_cast<mpfr_ptr>(nullptr)); }
  reference(const reference&) = delete;
  reference& operator=(const reference&) = delete;

  // Error of ours in ulps of the correctly rounded value cr of ref.
  double ulps(double ours, mpfr_srcptr ref, double cr) {
    if (!std::isfinite(cr) || !std::isfinite(ours) || ours == 0.0 || cr == 0.0) {
      if (same_bits(ours, cr)) return 0.0;
      if (!std::isfinite(cr) || !std::isfinite(ours))
        return std::numeric_limits<double>::infinity();
    }
    mpfr_sub_d(diff, ref, ours, MPFR_RNDN);
    mpfr_abs(diff, diff, MPFR_RNDN);
    int exp = 0;
    std::frexp(cr, &exp);
    const int ulp_exp = std::max(exp - 53, -1074);
    mpfr_mul_2si(diff, diff, -ulp_exp, MPFR_RNDN);
    return mpfr_get_d(diff, MPFR_RNDN);
  }

  void tally(stats& st, double x, double y, double ours, double libc, mpfr_srcptr ref) {
    const double cr = mpfr_get_d(ref, MPFR_RNDN);
    ++st.count;
    if (!same_bits(ours, cr)) ++st.not_rounded;
    if (!same_bits(ours, libc)) ++st.differ_libc;
    if (!same_bits(libc, cr)) ++st.libc_not_rounded;
    const double e = ulps(ours, ref, cr);
    if (e > st.worst) {
      st.worst = e;
      st.worst_x = x;
      st.worst_y = y;
    }
  }
};

// Arguments of sin and cos, by category (i mod 4).
double trig_argument(splitmix& rng, std::uint64_t i) {
  switch (i % 4) {
    case 0:  // uniform in the exponent, subnormals included
      return rng.with_exponent(rng.range(0, 2046), true);
    case 1: {  // within a few ulps of k pi/2, k up to 2^60
      const double k = std::ldexp(rng.uniform(1.0, 2.0), rng.range(0, 60));
      const double kr = std::nearbyint(k);
      // k pi/2 with pi/2 = h + l: h k + l k is near enough to the nearest double
      const double h = 0x1.921fb54442d18p+0;
      const double l = 0x1.1a62633145c07p-54;
      const double x = std::fma(kr, h, kr * l);
      return step_ulps(x, rng.range(-3, 3));
    }
    case 2:  // huge
      return rng.with_exponent(rng.range(1023 + 20, 2046), true);
    default:  // ordinary, below 2^20
      return rng.with_exponent(rng.range(1023 - 30, 1023 + 19), true);
  }
}

struct pow_args {
  double x;
  double y;
};

pow_args pow_argument(splitmix& rng, std::uint64_t i) {
  switch (i % 6) {
    case 0: {  // any positive x, y with y log x across the whole range
      const double x = rng.with_exponent(rng.range(0, 2046), false);
      if (x == 1.0 || x == 0.0) return {2.0, 0.5};
      return {x, rng.uniform(-760.0, 720.0) / std::log(x)};
    }
    case 1: {  // near the overflow edge, log(DBL_MAX) = 709.78...
      const double x = rng.with_exponent(rng.range(1023 - 40, 1023 + 40), false);
      if (x == 1.0) return {2.0, 1023.5};
      return {x, (709.782712893384 + rng.uniform(-1.0, 1.0) * std::ldexp(1.0, -rng.range(0, 40))) /
                     std::log(x)};
    }
    case 2: {  // subnormal results and the underflow edges
      const double x = rng.with_exponent(rng.range(1023 - 40, 1023 + 40), false);
      if (x == 1.0) return {2.0, -1070.5};
      const double z = rng.next() % 2 == 0 ? rng.uniform(-745.2, -708.3)
                                           : -708.3964185322641 + rng.uniform(-1e-6, 1e-6);
      return {x, z / std::log(x)};
    }
    case 3: {  // x within 2^20 ulps of 1, large y
      const double x = step_ulps(1.0, rng.range(-(1 << 20), 1 << 20));
      if (x == 1.0) return {1.5, 3.0};
      return {x, rng.uniform(-600.0, 600.0) / std::log(x)};
    }
    case 4: {  // negative x, integer and non-integer y
      const double x = -rng.uniform(0.01, 100.0);
      const double y = rng.next() % 4 == 0 ? rng.uniform(-30.0, 30.0) : rng.range(-150, 150);
      return {x, y};
    }
    default: {  // ordinary values, integer powers of integers
      if (rng.next() % 4 == 0)
        return {static_cast<double>(rng.range(1, 1 << 27)), static_cast<double>(rng.range(2, 6))};
      return {rng.uniform(0.0, 1000.0), rng.uniform(-20.0, 20.0)};
    }
  }
}

// Arguments every run checks first.
const double kTrigFixed[] = {0x1.6a09e667f3bccp+0,
                             6381956970095103.0 * 0x1p797,
                             5.319372648326541e+255,
                             1e22,
                             1e300,
                             1e5,
                             3.14159,
                             0x1.921fb54442d18p+0,
                             0x1.921fb54442d18p+1,
                             0x1.921fb54442d18p+2,
                             0x1.fffffffffffffp+1023,
                             0x1p-1074,
                             0x1p-26,
                             0x1p-27,
                             0x1.0p20,
                             0x1.fffffffffffffp19};

void report(const stats& st) {
  std::printf(
      "%-4s %9llu arguments: worst error %.9f ulp (at %a, %a), not correctly rounded %llu, "
      "differ from the C library %llu (C library not correctly rounded %llu)\n",
      st.name, static_cast<unsigned long long>(st.count), st.worst, st.worst_x, st.worst_y,
      static_cast<unsigned long long>(st.not_rounded),
      static_cast<unsigned long long>(st.differ_libc),
      static_cast<unsigned long long>(st.libc_not_rounded));
}

int write_table(const char* path) {
  std::FILE* out = std::fopen(path, "w");
  if (out == nullptr) return 1;
  std::fprintf(out,
               "// Generated by math_mpfr_check --table: arguments and correctly rounded results\n"
               "// (MPFR) of sin ('s'), cos ('c') and pow ('p'), as IEEE bit patterns.\n");
  reference ref;
  splitmix rng{{0x5EED}};
  const auto row = [out](char f, double x, double y, double r) {
    std::fprintf(out, "{'%c', 0x%016llxULL, 0x%016llxULL, 0x%016llxULL},  // %a %a\n", f,
                 static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(x)),
                 static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(y)),
                 static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(r)), x, y);
  };
  std::vector<double> trig(std::begin(kTrigFixed), std::end(kTrigFixed));
  for (std::uint64_t i = 0; i < 120; ++i) trig.push_back(trig_argument(rng, i));
  for (const double x : trig) {
    mpfr_set_d(ref.a, x, MPFR_RNDN);
    mpfr_sin_cos(ref.r1, ref.r2, ref.a, MPFR_RNDN);
    row('s', x, 0.0, mpfr_get_d(ref.r1, MPFR_RNDN));
    row('c', x, 0.0, mpfr_get_d(ref.r2, MPFR_RNDN));
  }
  for (std::uint64_t i = 0; i < 150; ++i) {
    const pow_args p = pow_argument(rng, i);
    mpfr_set_d(ref.a, p.x, MPFR_RNDN);
    mpfr_set_d(ref.b, p.y, MPFR_RNDN);
    mpfr_pow(ref.r1, ref.a, ref.b, MPFR_RNDN);
    row('p', p.x, p.y, mpfr_get_d(ref.r1, MPFR_RNDN));
  }
  return std::fclose(out) == 0 ? 0 : 1;
}

// Checks arguments [begin, end) of both families; each argument comes from
// its own index, so the split among threads does not change them.
void check_range(std::uint64_t begin, std::uint64_t end, stats& sin_st, stats& cos_st,
                 stats& pow_st) {
  reference ref;
  const std::uint64_t n_fixed = std::size(kTrigFixed);
  for (std::uint64_t i = begin; i < end; ++i) {
    splitmix rng{{0xC0FFEE + i * 0x2545F4914F6CDD1DULL}};
    double x = i < n_fixed ? kTrigFixed[i] : trig_argument(rng, i);
    if (i < 2 * n_fixed && i >= n_fixed) x = -kTrigFixed[i - n_fixed];
    mpfr_set_d(ref.a, x, MPFR_RNDN);
    mpfr_sin_cos(ref.r1, ref.r2, ref.a, MPFR_RNDN);
    ref.tally(sin_st, x, 0.0, portable_sin(x), std::sin(x), ref.r1);
    ref.tally(cos_st, x, 0.0, portable_cos(x), std::cos(x), ref.r2);

    const pow_args p = pow_argument(rng, i);
    mpfr_set_d(ref.a, p.x, MPFR_RNDN);
    mpfr_set_d(ref.b, p.y, MPFR_RNDN);
    mpfr_pow(ref.r1, ref.a, ref.b, MPFR_RNDN);
    ref.tally(pow_st, p.x, p.y, portable_pow(p.x, p.y), std::pow(p.x, p.y), ref.r1);
  }
  mpfr_free_cache();
}

void merge(stats& into, const stats& from) {
  into.count += from.count;
  into.not_rounded += from.not_rounded;
  into.differ_libc += from.differ_libc;
  into.libc_not_rounded += from.libc_not_rounded;
  if (from.worst > into.worst) {
    into.worst = from.worst;
    into.worst_x = from.worst_x;
    into.worst_y = from.worst_y;
  }
}

// pow(x, y) rounded once to a double by MPFR: 53 bits in the exponent range
// of doubles, subnormals included, so that no double rounding hides a tie.
double rounded_pow(double x, double y) {
  const mpfr_exp_t emin = mpfr_get_emin();
  const mpfr_exp_t emax = mpfr_get_emax();
  mpfr_set_emin(-1073);
  mpfr_set_emax(1024);
  mpfr_t a, b, r;
  mpfr_inits2(53, a, b, r, static_cast<mpfr_ptr>(nullptr));
  mpfr_set_d(a, x, MPFR_RNDN);
  mpfr_set_d(b, y, MPFR_RNDN);
  const int t = mpfr_pow(r, a, b, MPFR_RNDN);
  mpfr_subnormalize(r, t, MPFR_RNDN);
  const double d = mpfr_get_d(r, MPFR_RNDN);
  mpfr_clears(a, b, r, static_cast<mpfr_ptr>(nullptr));
  mpfr_set_emin(emin);
  mpfr_set_emax(emax);
  return d;
}

// Sets of pow arguments whose results are halfway between two doubles or
// very near that, and powers of +-1. Prints the count of results that are
// not the correctly rounded ones per set; true when there are none.
bool check_pow_sets() {
  std::vector<std::pair<const char*, std::vector<pow_args>>> sets(7);
  sets[0].first = "x=n^2 ** 1.5 (n odd, 208065..262143), halfway";
  for (double n = 208065; n <= 262143; n += 2) sets[0].second.push_back({n * n, 1.5});
  sets[1].first = "x=c^4 ** 1.25, x=c^2 ** 2.5 (c^5 of 54 bits), halfway";
  for (double c = 1553; c <= 1781; c += 2) {
    sets[1].second.push_back({c * c * c * c, 1.25});
    sets[1].second.push_back({c * c, 2.5});
  }
  sets[2].first = "(m 2^-215)**5 (m odd < 1552), subnormal halfway";
  sets[3].first = "(-m 2^-215)**5 (m odd < 1552), subnormal halfway";
  for (double m = 1; m < 1552; m += 2) {
    sets[2].second.push_back({m * 0x1p-215, 5.0});
    sets[3].second.push_back({-m * 0x1p-215, 5.0});
  }
  sets[4].first = "near 2^53, 1 and 2 ** small exponents, near subnormal ties, near halfway";
  const double exponents[] = {-3, -2, -1, -0.5, 0.5, 1.5, 2.5, -1.5, 3, 1.25, 0.25, -0.25};
  for (int j = 1; j <= 40; ++j) {
    const double bases[] = {0x1p53 - j,        1.0 - j * 0x1p-53, 1.0 + j * 0x1p-52,
                            2.0 - j * 0x1p-52, 0x1p52 + j,        0x1p-1022 + j * 0x1p-1074};
    for (const double x : bases) {
      for (const double y : exponents) {
        sets[4].second.push_back({x, y});
        if (y == std::floor(y)) sets[4].second.push_back({-x, y});
      }
    }
  }
  for (double m = 1; m < 64; m += 2) {  // a few ulps off the subnormal ties
    for (const double x : {std::nextafter(m * 0x1p-215, 0.0), std::nextafter(m * 0x1p-215, 1.0)})
      sets[4].second.push_back({x, 5.0});
  }
  sets[5].first = "+-1 ** huge and infinite y";
  const double inf = std::numeric_limits<double>::infinity();
  for (const double x : {1.0, -1.0}) {
    for (const double y : {inf, -inf, 1e20, -1e20, 0x1p53 - 1, 0x1p53 + 2, 0x1.fffffffffffffp+1023})
      sets[5].second.push_back({x, y});
    for (int k = 53; k <= 1023; ++k) {
      sets[5].second.push_back({x, std::ldexp(1.0, k)});
      sets[5].second.push_back({x, -std::ldexp(1.0, k)});
      sets[5].second.push_back({x, std::ldexp(1.0 + 0x1p-52, k)});
      sets[5].second.push_back({x, -std::ldexp(1.0 + 0x1p-51, k)});
    }
  }
  sets[6].first = "powers of two to 2^-1075 and near the overflow edge";
  for (int e = 1; e <= 1075; ++e) {
    if (1075 % e == 0) {
      sets[6].second.push_back({std::ldexp(1.0, -e), 1075.0 / e});
      sets[6].second.push_back({std::ldexp(1.0, e), -1075.0 / e});
      sets[6].second.push_back({-std::ldexp(1.0, -e), 1075.0 / e});
    }
  }
  for (int j = 0; j < 64; ++j) {
    sets[6].second.push_back({0x1.fffffffffffffp+511 - j * 0x1p459, 2.0});
    sets[6].second.push_back({std::nextafter(0x1p-537, 1.0) * (1 + j), 2.0});
  }
  bool ok = true;
  for (const auto& [name, args] : sets) {
    std::uint64_t wrong = 0;
    for (const pow_args& p : args) {
      if (!same_bits(portable_pow(p.x, p.y), rounded_pow(p.x, p.y))) ++wrong;
    }
    std::printf("pow set %s: %llu of %zu not correctly rounded\n", name,
                static_cast<unsigned long long>(wrong), args.size());
    ok = ok && wrong == 0;
  }
  mpfr_free_cache();
  return ok;
}

// compare_power, which settles the powers near a rounding boundary, at the
// midpoints either side of the correctly rounded powers of pow_argument's
// arguments: each power lies below the midpoint above and above the one
// below, or on it (a tie, which exact_dyadic_power settles instead).
bool check_boundary_comparison(std::uint64_t count) {
  using vantor::freeinput::math_detail::compare_power;
  using vantor::freeinput::math_detail::exact_dyadic_power;
  std::uint64_t wrong = 0;
  std::uint64_t tried = 0;
  for (std::uint64_t i = 0; i < count; ++i) {
    splitmix rng{{0xB0DA + i * 0x2545F4914F6CDD1DULL}};
    const pow_args p = pow_argument(rng, i);
    const double ax = std::fabs(p.x);
    const double cr = std::fabs(rounded_pow(p.x, p.y));
    if (ax == 1.0 || !(cr >= 0x1p-1000 && cr <= 0x1p1000) || std::fabs(p.y) >= 0x1p64) continue;
    int e = 0;
    const double m = std::frexp(cr, &e);  // cr = m 2^e, m 2^53 an integer
    const std::uint64_t twice = static_cast<std::uint64_t>(std::ldexp(m, 54));
    const bool power_of_two = m == 0.5;
    for (const int side : {-1, 1}) {
      const std::uint64_t n = side > 0 ? twice + 1 : power_of_two ? 2 * twice - 1 : twice - 1;
      const long scale = side < 0 && power_of_two ? e - 55 : e - 54;
      const int got = compare_power(ax, p.y, n, scale);
      ++tried;
      const bool tie = got == 0 && !std::isnan(exact_dyadic_power(ax, p.y));
      if (got != -side && !tie) ++wrong;
    }
  }
  std::printf("pow boundary comparisons: %llu of %llu wrong\n",
              static_cast<unsigned long long>(wrong), static_cast<unsigned long long>(tried));
  return wrong == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--table") return write_table(argv[2]);
  const std::uint64_t n = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : VANTOR_MATH_CHECK_COUNT;
  const bool sets_ok = check_pow_sets();
  const bool comparisons_ok = check_boundary_comparison(3000);
  // Two threads: the machine's cores are few and shared.
  constexpr int kThreads = 2;
  std::array<std::array<stats, 3>, kThreads> part{};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&part, t, n] {
      auto& [s, c, p] = part[static_cast<std::size_t>(t)];
      check_range(n * t / kThreads, n * (t + 1) / kThreads, s, c, p);
    });
  }
  for (std::thread& th : threads) th.join();
  std::array<stats, 3> total{stats{"sin"}, stats{"cos"}, stats{"pow"}};
  for (const auto& pt : part) {
    for (std::size_t f = 0; f < 3; ++f) merge(total[f], pt[f]);
  }
  bool ok = true;
  for (const stats& st : total) {
    report(st);
    ok = ok && st.worst <= kBound;
  }
  std::printf("bound 0.5 + 2^-37 ulp: %s\n", ok ? "held" : "BROKEN");
  return ok && sets_ok && comparisons_ok ? 0 : 1;
}

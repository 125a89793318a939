// The driver's small routines: tolerant comparison, upper-casing, table fills
// and the selection of the heaviest sections.
#include "driver/helpers.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace vantor::driver {
namespace {

TEST(Eqtol, RelativeToleranceWithStrictBounds) {
  struct eq_case {
    double a, b, tol;
    bool expected;
  };
  const eq_case cases[] = {
      {1.0, 1.0, 0.001, true},      {1.001, 1.0, 0.001, true},    {0.9989, 1.0, 0.001, false},
      {0.999001, 1.0, 0.001, true}, {1.0011, 1.0, 0.001, false},  {0.0, 0.0, 0.001, true},
      {0.0, 1.0, 0.001, false},     {1.0E-100, 0.0, 0.001, true}, {1.0E-100, 1.0E-100, 0.001, true},
      {-1.0, 1.0, 0.001, false},    {2.0, 1.0, 0.001, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EQTOL(c.a, c.b, c.tol), c.expected) << c.a << " " << c.b;
  }
}

TEST(Upcase, LettersOnlyAndOnlyWithinTheLength) {
  std::string text = "yes, ja 7z";
  UPCASE(text, 8);
  EXPECT_EQ(text, "YES, JA 7z");
}

TEST(Fill, NothingForAnEmptyProduct) {
  std::array<double, 6> table{1, 1, 1, 1, 1, 1};
  DFILL(table, 0, 3, 5.0);
  DFILL(table, -2, 3, 5.0);
  EXPECT_EQ(table, (std::array<double, 6>{1, 1, 1, 1, 1, 1}));
  DFILL(table, 2, 2, 5.0);
  EXPECT_EQ(table, (std::array<double, 6>{5, 5, 5, 5, 1, 1}));
  std::array<int, 3> ints{7, 7, 7};
  IFILL(ints, 10, 10, 0);  // never beyond the table
  EXPECT_EQ(ints, (std::array<int, 3>{0, 0, 0}));
}

TEST(Selext, RanksLargestFirstWithTiesToTheLowerIndex) {
  struct sel_case {
    std::vector<double> values;
    int count;
    int direction;
    std::vector<int> expected;
  };
  const sel_case cases[] = {
      {{3.0e-3, 5.0e-3, 5.0e-3, 1.0e-3}, 10, 1, {2, 3, 1, 4, 0, 0, 0, 0, 0, 0}},
      {{3.0e-3, 5.0e-3, 5.0e-3, 1.0e-3}, 2, 1, {2, 3}},
      {{3.0, 1.0, 2.0}, 3, -1, {2, 3, 1}},
      {{3.0, 1.0, 2.0}, 3, 0, {0, 0, 0}},
      // No value beats the start value: the previous pick is repeated.
      {{1.0, -2.0e35, -3.0e35}, 3, 1, {1, 1, 1}},
      {{}, 3, 1, {0, 0, 0}},
  };
  for (const auto& c : cases) {
    std::vector<int> list(static_cast<std::size_t>(c.count), -7);
    SELEXT(c.values, list, static_cast<int>(c.values.size()), c.count, c.direction);
    EXPECT_EQ(list, c.expected);
  }
}

}  // namespace
}  // namespace vantor::driver

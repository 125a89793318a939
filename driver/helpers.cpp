#include "driver/helpers.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "textio/records/writer.h"

namespace vantor::driver {
namespace {

constexpr auto kPrompt = textio::layout_of("(' ',A,$)");

template <class T>
void fill_table(std::span<T> table, int rows, int columns, T value) {
  const std::int64_t n = static_cast<std::int64_t>(rows) * columns;
  if (n <= 0) return;
  const auto count = std::min<std::size_t>(static_cast<std::size_t>(n), table.size());
  std::fill_n(table.begin(), count, value);
}

}  // namespace

void PROMPT(int unit, std::string_view text, int length) {
  std::array<char, 80> work;
  work.fill(' ');
  const auto n = static_cast<std::size_t>(std::clamp(length, 0, 80));
  std::copy_n(text.begin(), std::min(n, text.size()), work.begin());
  textio::write(unit, kPrompt, std::string_view(work.data(), n));
}

void DFILL(std::span<double> table, int rows, int columns, double value) {
  fill_table(table, rows, columns, value);
}

void IFILL(std::span<int> table, int rows, int columns, int value) {
  fill_table(table, rows, columns, value);
}

bool EQTOL(double a, double b, double tolerance) {
  const double a1 = std::fabs(a) < 1.0E-99 ? 0.0 : a;
  const double b1 = std::fabs(b) < 1.0E-99 ? 0.0 : b;
  if (a == 0.0 && b == 0.0) return true;
  double r = 0.0;
  if (a1 != 0.0) {
    r = b1 / a1;
  } else {
    r = b1 == 0.0 ? 1.0 : 0.0;
  }
  return 1.0 - tolerance < r && r < 1.0 + tolerance;
}

void UPCASE(std::span<char> text, int length) {
  const auto n = std::min<std::size_t>(static_cast<std::size_t>(std::max(length, 0)), text.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (text[i] >= 'a' && text[i] <= 'z') text[i] = static_cast<char>(text[i] - 32);
  }
}

void SELEXT(std::span<const double> values, std::span<int> index_list, int n, int count,
            int direction) {
  IFILL(index_list, count, 1, 0);
  if (direction != 1 && direction != -1) return;
  // The start value is the single-precision 1.0E35, widened.
  const double start = static_cast<double>(direction == 1 ? -1.0E35F : 1.0E35F);
  const int rounds = std::min({count, n, static_cast<int>(index_list.size())});
  const int last = std::min(n, static_cast<int>(values.size()));
  // The positions picked in earlier rounds (index_list[0..k-2]) are skipped;
  // a flag per position tells them apart without a search of the list.
  std::vector<char> picked(static_cast<std::size_t>(std::max(last, 0)) + 1, 0);
  int pick = 0;
  for (int k = 1; k <= rounds; ++k) {
    double best = start;
    for (int j = 1; j <= last; ++j) {
      if (picked[static_cast<std::size_t>(j)] != 0) continue;
      const double v = values[static_cast<std::size_t>(j - 1)];
      if (direction == 1 ? v > best : v < best) {
        best = v;
        pick = j;
      }
    }
    index_list[static_cast<std::size_t>(k - 1)] = pick;
    picked[static_cast<std::size_t>(pick)] = 1;
  }
}

}  // namespace vantor::driver

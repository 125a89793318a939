#include "freeinput/text.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <string>

#include "textio/format/field.h"
#include "textio/records/writer.h"

namespace vantor::freeinput {

namespace {

using textio::layout_of;

// A row of blanks for bulk comparisons of long blank tails.
constexpr std::size_t kBlankRow = 256;
constexpr auto kBlanks = [] {
  std::array<char, kBlankRow> row{};
  row.fill(' ');
  return row;
}();

bool all_blank(std::string_view s) {
  while (!s.empty()) {
    const std::size_t n = std::min(s.size(), kBlankRow);
    if (std::memcmp(s.data(), kBlanks.data(), n) != 0) return false;
    s.remove_prefix(n);
  }
  return true;
}

// Fractions of the length at which a blank tail is probed, in single precision.
constexpr std::array<float, 5> kProbeFactors = {0.1F, 0.2F, 0.3F, 0.4F, 0.7F};

// Id.d for d = 1 to 9: exactly d digits with leading zeros.
constexpr std::array<textio::layout, 9> kDigitLayouts = {
    layout_of("(I1.1)"), layout_of("(I2.2)"), layout_of("(I3.3)"),
    layout_of("(I4.4)"), layout_of("(I5.5)"), layout_of("(I6.6)"),
    layout_of("(I7.7)"), layout_of("(I8.8)"), layout_of("(I9.9)")};

// The smallest number that no longer fits in d digits, d = 1 to 9.
constexpr std::array<int, 9> kDigitBounds = {10,      100,      1000,      10000,     100000,
                                             1000000, 10000000, 100000000, 1000000000};

constexpr auto kCharinHeader = layout_of("(/,TR2,'*** ERROR IN CHARIN ***')");
constexpr auto kCharinNegative = layout_of("(/,/,'   Negative integer input         : ',I12)");
constexpr auto kCharinTooBig = layout_of("(/,/,'   Too big integer number         : ',I12)");
constexpr auto kCharinTooMany = layout_of(
    "(/,/,'   Actual integer number          : ',I12,/,'   has more digits than specified : "
    "',I10)");

constexpr std::size_t kCharinWork = 80;

}  // namespace

int LENNB(std::string_view text) {
  std::size_t length = text.size();
  if (length == 0) return 0;

  // Probe for a long blank tail; at most one probe succeeds.
  for (const float factor : kProbeFactors) {
    const long rounded = std::lround(static_cast<float>(length) * factor);
    if (rounded < 2) continue;
    const auto p = static_cast<std::size_t>(rounded);
    if (p <= length && all_blank(text.substr(p - 1, length - p + 1))) {
      length = p;
      break;
    }
  }

  for (std::size_t i = length; i > 0; --i) {
    if (text[i - 1] != ' ') return static_cast<int>(i);
  }
  return 0;
}

int POSNB(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  return first == std::string_view::npos ? 0 : static_cast<int>(first) + 1;
}

std::string_view trim_right(std::string_view text) {
  return text.substr(0, static_cast<std::size_t>(LENNB(text)));
}

std::string_view trim(std::string_view text) {
  const int first = POSNB(text);
  if (first == 0) return {};
  return text.substr(static_cast<std::size_t>(first - 1),
                     static_cast<std::size_t>(LENNB(text) - first + 1));
}

void CHRAPP(std::span<char> target, std::string_view second) {
  const int f = POSNB(textio::view(target));
  const int l = LENNB(textio::view(target));
  // The work field holds a copy, so the second text may lie within the target.
  std::string work;
  if (f == 0 || l == 0) {
    work.assign(second);
  } else {
    work.reserve(target.size());
    work.append(target.data() + (f - 1), static_cast<std::size_t>(l - f + 1));
    work.append(second.substr(0, target.size() - work.size()));
  }
  textio::assign(target, work);
}

bool charin_fits(int number, int ndigits) {
  return number >= 0 && ndigits <= 9 &&
         (ndigits < 1 || number < kDigitBounds[static_cast<std::size_t>(ndigits) - 1]);
}

void CHARIN(std::span<char> target, std::string_view source, int number, int ndigits, int lunmsg,
            int& ierr) {
  std::array<char, kCharinWork> work{};
  textio::blank_fill(work);

  if (!charin_fits(number, ndigits)) {
    textio::write(lunmsg, kCharinHeader);
    if (number < 0) {
      textio::write(lunmsg, kCharinNegative, number);
    } else if (ndigits > 9) {
      textio::write(lunmsg, kCharinTooBig, number);
    } else {
      textio::write(lunmsg, kCharinTooMany, number, ndigits);
    }
    ierr = -1;
    return;
  }

  const int f = POSNB(source);
  const int l = LENNB(source);
  if (ndigits >= 1) {
    textio::write_internal(work, kDigitLayouts[static_cast<std::size_t>(ndigits) - 1], number);
  }

  // The source is read once, by the move; target and source may overlap.
  std::size_t n = 0;
  if (f > 0 && l > 0) {
    n = std::min(static_cast<std::size_t>(l - f + 1), target.size());
    if (n > 0) std::memmove(target.data(), source.data() + (f - 1), n);
  }
  const std::size_t digits = std::min(work.size(), target.size() - n);
  std::copy_n(work.begin(), digits, target.begin() + static_cast<std::ptrdiff_t>(n));
  std::fill(target.begin() + static_cast<std::ptrdiff_t>(n + digits), target.end(), ' ');
}

}  // namespace vantor::freeinput

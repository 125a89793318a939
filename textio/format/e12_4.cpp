#include "textio/format/e12_4.h"

#include <span>

#include "textio/format/format_general.h"

namespace vantor::textio::detail {

void put_e12_4_other(char* out, double value) {
  if (std::signbit(value) && put_e12_4(out, -value)) {
    out[1] = '-';
    return;
  }
  format_exponent_general(std::span<char>(out, 12), value, 4, 1);
}

std::size_t put_e12_4_run(char* out, const double* values, std::size_t count) {
  std::size_t k = 0;
  for (; k + 2 <= count; k += 2, out += 24) {  // two at a time: half the loop's own steps
    if (!put_e12_4(out, values[k])) return k;
    if (!put_e12_4(out + 12, values[k + 1])) return k + 1;
  }
  return k < count && !put_e12_4(out, values[k]) ? k : count;
}

}  // namespace vantor::textio::detail

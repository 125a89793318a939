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
#if defined(__SSE2__)
  // Four pairs at a time (a row of twenty: two steps of the loop and two
  // pairs after it), then two pairs. Where the lanes leave a value, the loop
  // at the end goes on one value at a time from the first value of the step
  // (writing again what the lanes wrote, the same text) and finds the value
  // that stops the run.
  e12_pair_constants c;
  // Kept in registers for the whole run: opaque to the compiler, which would
  // otherwise build them again from memory for every pair.
  asm("" : "+x"(c.decided), "+x"(c.magnitude));
  for (; k + 8 <= count; k += 8, out += 96) {
    if (!put_e12_4_pair(out, values + k, c) || !put_e12_4_pair(out + 24, values + k + 2, c) ||
        !put_e12_4_pair(out + 48, values + k + 4, c) ||
        !put_e12_4_pair(out + 72, values + k + 6, c)) {
      break;
    }
  }
  if (k + 4 <= count && put_e12_4_pair(out, values + k, c) &&
      put_e12_4_pair(out + 24, values + k + 2, c)) {
    k += 4;
    out += 48;
  }
#else
  for (; k + 4 <= count; k += 4, out += 48) {  // four at a time: a quarter of the loop's own steps
    if (!put_e12_4(out, values[k])) return k;
    if (!put_e12_4(out + 12, values[k + 1])) return k + 1;
    if (!put_e12_4(out + 24, values[k + 2])) return k + 2;
    if (!put_e12_4(out + 36, values[k + 3])) return k + 3;
  }
#endif
  for (; k < count; ++k, out += 12) {
    if (!put_e12_4(out, values[k])) return k;
  }
  return count;
}

}  // namespace vantor::textio::detail

#include "freeinput/scan.h"

#include <algorithm>
#include <cstdint>

namespace vantor::freeinput {

void MOVCUR(int amount) {
  free_input_state& st = input_state;
  if (amount == 0) {
    if (st.ICOL > st.LASTCL) return;
    int col = std::max(st.ICOL, 1);
    while (col <= st.LASTCL && column_char(col) != ' ') ++col;
    st.ICOL = col;
    return;
  }
  const std::int64_t target = std::int64_t{st.ICOL} + amount;
  st.ICOL = static_cast<int>(std::clamp<std::int64_t>(target, 1, std::int64_t{st.LASTCL} + 1));
}

}  // namespace vantor::freeinput

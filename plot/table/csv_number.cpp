#include "plot/table/csv_number.h"

#include <cmath>

#include "plot/text/number_text.h"

namespace vantor::plot {

std::string csv_number(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  return format_number(value);
}

}  // namespace vantor::plot

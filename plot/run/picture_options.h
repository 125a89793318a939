// What the operator adds to a picture, a page or a table of a finished run:
// the required life (design life times design fatigue factor) and the units
// the values are labelled in.
#pragma once

#include <string>

namespace vantor::plot {

struct picture_options {
  double design_life = 0.0;  // years; 0 for none
  double dff = 1.0;          // design fatigue factor
  std::string life_unit;     // "years"; empty for none
  std::string length_unit;   // "m"; empty for none
  // R = design life x DFF; 0 without a design life.
  double required_life() const { return design_life > 0.0 ? design_life * dff : 0.0; }
};

}  // namespace vantor::plot

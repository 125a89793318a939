// Writes the rows of the golden tables from the build it is linked with:
//   golden_probe answers SEED RANDOM   console answers and their outcome
//   golden_probe fields SEED RANDOM    raw damage records and their items
//   golden_probe render                F13.3 and 1PE12.4 renderings
// Rows: the written form (tests/support/forms.h) or the value's bits, a tab,
// the outcome.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "tests/golden/outcomes.h"
#include "tests/support/forms.h"

int main(int argc, char** argv) {
  using namespace vantor;
  const std::string mode = argc > 1 ? argv[1] : "";
  const std::uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
  const int random = argc > 3 ? std::atoi(argv[3]) : 0;
  if (mode == "answers") {
    for (const std::string& form : testing::answer_forms(seed, random)) {
      std::cout << form << '\t' << golden::answer_outcome(testing::expand(form)) << '\n';
    }
  } else if (mode == "fields") {
    for (const std::string& form : testing::field_records(seed, random)) {
      std::cout << form << '\t' << golden::record_outcome(testing::expand(form)) << '\n';
    }
  } else if (mode == "render") {
    for (const double value : testing::boundary_values()) {
      std::cout << golden::hex_bits(value) << '\t' << golden::rendering(value) << '\n';
    }
  } else {
    std::cerr << "usage: golden_probe answers|fields SEED RANDOM, or golden_probe render\n";
    return 2;
  }
  std::remove(golden::kInput.c_str());
  return 0;
}

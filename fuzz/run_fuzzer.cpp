// libFuzzer entry of the target whole_run (fuzz/targets.h).
#include <cstddef>
#include <cstdint>

#include "fuzz/targets.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vantor::fuzz::set_up_fuzzer();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vantor::fuzz::whole_run({data, size});
  return 0;
}

// libFuzzer entry of the target dialogue (fuzz/targets.h).
#include <cstddef>
#include <cstdint>

#include "fuzz/targets.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vantor::fuzz::set_up_fuzzer();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vantor::fuzz::dialogue({data, size});
  return 0;
}

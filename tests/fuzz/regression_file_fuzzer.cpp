// Fuzz target: a regression data file read through the file constructor, then fitted.
// Malformed files must end in the documented fatal error, never in a crash, a hang or an
// out-of-bounds access.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "kelmath.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PrepareOutputChannel();
  const std::string path = WriteFuzzInput(data, size, ".lrg");
  RunGuarded([&] {
    KelLinearRegression regression(path.c_str());
    if (regression.Experiments() <= 200 && regression.NumberOfParameters() <= 20)
      regression.GetR2();
  });
  return 0;
}

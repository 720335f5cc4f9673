#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>

#include "kelmath.h"

bool kelFuzzInsideTarget = false;

extern "C" [[noreturn]] void __real_exit(int status);

// The fuzzer's own driver exits through the same symbol: only an exit from inside the target
// becomes an exception.
extern "C" [[noreturn]] void __wrap_exit(int status) {
  if (kelFuzzInsideTarget) throw KelFuzzExit{status};
  __real_exit(status);
}

std::string WriteFuzzInput(const uint8_t* data, size_t size, const char* suffix) {
  static const std::string path = "/tmp/kelmath_fuzz_" + std::to_string(::getpid()) + suffix;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return path;
  if (size > 0) std::fwrite(data, 1, size, file);
  std::fclose(file);
  return path;
}

void PrepareOutputChannel() {
  // A fatal error closes the channel and leaves it null: open a new one then.
  if (kelOutputFile == nullptr || kelOutputFile == stdout)
    kelOutputFile = std::fopen("/dev/null", "w");
  kelWarningMode = -1;
}

// Shared by the fuzz targets: fatal errors of the library end the process through exit(); the
// targets are linked with --wrap=exit, so that such an exit becomes an exception the target
// catches, and the next input runs in the same process.
#ifndef KELMATH_TESTS_FUZZ_SUPPORT_H
#define KELMATH_TESTS_FUZZ_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <string>

struct KelFuzzExit {
  int status;
};

// True while a target runs library code whose exit() must become a KelFuzzExit.
extern bool kelFuzzInsideTarget;

// Runs body as part of the target: a fatal error of the library ends it with KelFuzzExit,
// which is caught here.
template <typename Body>
void RunGuarded(Body body) {
  kelFuzzInsideTarget = true;
  try {
    body();
  } catch (const KelFuzzExit&) {
    // The documented fatal path of bad input.
  }
  kelFuzzInsideTarget = false;
}

// Writes the input to a scratch file of the process and returns its name.
std::string WriteFuzzInput(const uint8_t* data, size_t size, const char* suffix);
// Makes sure the output channel exists (a fatal error closes it) and points nowhere visible.
void PrepareOutputChannel();

#endif

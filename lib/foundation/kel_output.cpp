#include "foundation/kel_output.h"

#include <cmath>
#include <cstdarg>
#include <cstdlib>

#include "foundation/kel_constants.h"
#include "foundation/kel_errors.h"

FILE* kelOutputFile = nullptr;
char kelPrintMessages = 'Y';
signed char kelWarningMode = 1;
const char* const kelVersion = "Version 6.0.20091218";

// Referenced by the link options of kelmath so that this object, which runs the start-up
// sequence, is part of every program whatever the program itself references.
extern "C" {
int kelStartupAnchor = 0;
}

namespace {

// Message boxes have no console equivalent in batch runs: caption and text go to standard
// error, and nothing waits for a key.
void showMessageBox(const char* caption, const char* text) {
  std::fprintf(stderr, "%s\n%s\n", caption, text);
  std::fflush(stderr);
}

// Computes the epsilon of the working precision the way the start-up sequence prescribes:
// halve until 1 + e no longer differs from 1, and take twice the last e.
template <typename Real>
Real halvingEpsilon() {
  volatile Real e = 1;
  volatile Real sum = 0;
  for (;;) {
    sum = Real(1) + e / 2;
    if (sum == Real(1)) break;
    e = e / 2;
  }
  return e;
}

// Start-up sequence, in an order that matters: the floating-point setting comes first because
// the epsilon loops depend on it.
struct KelStartup {
  KelFloatingPointSetting floatingPointSetting;

  KelStartup() {
    volatile double e = halvingEpsilon<double>();
    // The single-precision constant is computed in the working precision; when that is finer
    // than single precision the documented 2^-23 is used instead.
    kelMachEpsFloat = e / 2 >= 1e-7 ? static_cast<float>(e) : 1.1920929e-7f;
    kelMachEps = e;
    kelOutputFile = std::fopen("KelFile.txt", "w");
    if (kelOutputFile == nullptr) KelError("%s", kelErrOpen);
    kelPi = 4.0 * std::atan(1.0 / 1.0);
    kelTenMachEpsFloat = 10.0 * static_cast<double>(kelMachEpsFloat);
  }
};

// Runs before the static objects of the programs that link the library.
__attribute__((init_priority(101))) KelStartup kelStartup;

void formatBounded(char* buffer, const char* format, va_list arguments) {
  // vsnprintf never writes past the buffer and always terminates it: longer texts are cut.
  std::vsnprintf(buffer, kelMessageBufferSize, format, arguments);
}

int printToChannel(const char* format, va_list arguments) {
  // After a fatal error has closed the channel, exit handlers may still try to print.
  if (kelOutputFile == nullptr) return -1;
  return std::vfprintf(kelOutputFile, format, arguments);
}

}  // namespace

int KelPrint(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  int written = printToChannel(format, arguments);
  va_end(arguments);
  return written;
}

int KelMessage(const char* format, ...) {
  if (kelPrintMessages != 'Y') return 0;
  va_list arguments;
  va_start(arguments, format);
  int written = printToChannel(format, arguments);
  va_end(arguments);
  return written;
}

void KelError(const char* format, ...) {
  char text[kelMessageBufferSize];
  va_list arguments;
  va_start(arguments, format);
  formatBounded(text, format, arguments);
  va_end(arguments);
  showMessageBox("Error in KelMath Library", text);
  // Without a channel (it failed to open at start-up) there is nothing to write or close.
  if (kelOutputFile != nullptr) {
    std::fprintf(kelOutputFile, "\nFatal Error!!\n%s", text);
    std::fclose(kelOutputFile);
    kelOutputFile = nullptr;
  }
  std::exit(1);
}

void KelWarning(const char* format, ...) {
  if (kelWarningMode == -1) return;
  char text[kelMessageBufferSize];
  va_list arguments;
  va_start(arguments, format);
  formatBounded(text, format, arguments);
  va_end(arguments);
  if (kelWarningMode == 1) showMessageBox("Warning", text);
  if (kelOutputFile != nullptr) std::fprintf(kelOutputFile, "\nWarning!!\n%s", text);
}

void KelPause() {
  if (kelOutputFile != stdout) return;
  KelPrint("\n>>>>>>Press any key to continue");
  std::getchar();
  KelPrint("\n");
}

void KelSetOutputFile(const char* fileName) {
  FILE* file = std::fopen(fileName, "w");
  if (file == nullptr) KelError("%s", kelErrOpen);
  kelOutputFile = file;
}

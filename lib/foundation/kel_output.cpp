#include "foundation/kel_output.h"

#include <cmath>
#include <cstdarg>
#include <cstdlib>

#include "foundation/kel_constants.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_exception.h"
#include "foundation/kel_output_settings.h"

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
    // The output channel opens its file on the first write, not here: a program that never
    // prints leaves no "KelFile.txt" behind, and one in a folder it cannot write still starts.
    KelRegisterMainThreadSettings();
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

}  // namespace

int KelPrintV(const char* format, va_list arguments) {
  // After a fatal error has closed the channel, exit handlers may still try to print.
  FILE* const channel = kelOutputFile.load();
  if (channel == nullptr) return -1;
  KelPrepareOutputChannel();
  return std::vfprintf(channel, format, arguments);
}

int KelPrint(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  int written = KelPrintV(format, arguments);
  va_end(arguments);
  return written;
}

int KelMessage(const char* format, ...) {
  if (kelPrintMessages.load() != 'Y') return 0;
  va_list arguments;
  va_start(arguments, format);
  int written = KelPrintV(format, arguments);
  va_end(arguments);
  return written;
}

void KelError(const char* format, ...) {
  char text[kelMessageBufferSize];
  va_list arguments;
  va_start(arguments, format);
  formatBounded(text, format, arguments);
  va_end(arguments);
  if (kelErrorMode.load() == KelErrorMode::Throw) throw KelMakeException(text);
  showMessageBox("Error in KelMath Library", text);
  // Without a channel (closed, or a default file that cannot be created) there is nothing to
  // write or close. The default channel is shared by every thread: it is flushed, not closed.
  FILE* const channel = kelOutputFile.load();
  if (KelChannelCanWrite(channel)) {
    std::fprintf(channel, "\nFatal Error!!\n%s", text);
    if (channel == KelDefaultOutputChannel()) {
      std::fflush(channel);
    } else {
      std::fclose(channel);
    }
    kelOutputFile.store(nullptr);
  }
  std::exit(1);
}

void KelWarning(const char* format, ...) {
  const signed char mode = kelWarningMode.load();
  if (mode == -1) return;
  char text[kelMessageBufferSize];
  va_list arguments;
  va_start(arguments, format);
  formatBounded(text, format, arguments);
  va_end(arguments);
  if (mode == 1) showMessageBox("Warning", text);
  KelPrint("\nWarning!!\n%s", text);
}

void KelPause() {
  if (kelOutputFile.load() != stdout) return;
  KelPrint("\n>>>>>>Press any key to continue");
  std::getchar();
  KelPrint("\n");
}

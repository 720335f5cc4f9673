#include "foundation/kel_output.h"

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
extern const int kelStartupAnchor = 0;
}

namespace {

// Message boxes have no console equivalent in batch runs: caption and text go to standard
// error, and nothing waits for a key.
void showMessageBox(const char* caption, const char* text) {
  std::fprintf(stderr, "%s\n%s\n", caption, text);
  std::fflush(stderr);
}

// Start-up sequence: the floating-point setting (masked exceptions, rounding to nearest, the
// arithmetic the machine constants were computed in), then the main thread's output settings
// become the ones later threads start from.
struct KelStartup {
  KelFloatingPointSetting floatingPointSetting;

  KelStartup() {
    // The output channel opens its file on the first write, not here: a program that never
    // prints leaves no "KelFile.txt" behind, and one in a folder it cannot write still starts.
    KelRegisterMainThreadSettings();
  }
};

// Runs before the static objects of the programs that link the library.
__attribute__((init_priority(101))) const KelStartup kelStartup;

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

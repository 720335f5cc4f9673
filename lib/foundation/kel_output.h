// The single output channel of the library, fatal errors, warnings and diagnostic notes.
#ifndef KELMATH_KEL_OUTPUT_H
#define KELMATH_KEL_OUTPUT_H

#include <cstdio>

// Every print and report of the library goes to this stream ("KelFile.txt" from start-up).
extern FILE* kelOutputFile;
// 'Y' lets KelMessage write; any other value (the library uses 'N') silences it.
extern char kelPrintMessages;
// 1: warnings on standard error and in the file; 0: file only; -1: nowhere.
extern signed char kelWarningMode;
// Version text of the library; nothing prints it.
extern const char* const kelVersion;

// Writes the printf-style text to the output channel; returns the characters written.
int KelPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
// As KelPrint, but only while kelPrintMessages holds 'Y'; otherwise returns 0.
int KelMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Reports a violated precondition and ends the process with exit status 1; never returns.
[[noreturn]] void KelError(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Reports a soft condition according to kelWarningMode and returns.
void KelWarning(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Waits for a key only when the output channel is standard output; otherwise does nothing.
void KelPause();
// Moves the output channel to the named file (created or truncated); the previous one stays open.
void KelSetOutputFile(const char* fileName);

// Silences KelMessage for its lifetime and puts back the previous setting on every way out
// (return, exception): the library's own inner factorizations and fits use it so that their
// notes do not reach the caller's report. With active = false it changes nothing.
class KelQuietMessages {
 public:
  explicit KelQuietMessages(bool active = true) noexcept : saved(kelPrintMessages) {
    if (active) kelPrintMessages = 'N';
  }
  ~KelQuietMessages() { kelPrintMessages = saved; }
  KelQuietMessages(const KelQuietMessages&) = delete;
  KelQuietMessages& operator=(const KelQuietMessages&) = delete;

 private:
  char saved;
};

// Size of the buffers into which KelError and KelWarning format their texts; longer texts are cut.
inline constexpr int kelMessageBufferSize = 500;

#endif

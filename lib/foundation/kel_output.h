// The single output channel of the library, fatal errors, warnings and diagnostic notes.
#ifndef KELMATH_KEL_OUTPUT_H
#define KELMATH_KEL_OUTPUT_H

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <string>

// The output settings belong to the calling thread: each thread has its own channel, message
// switch and warning mode, so that threads working on distinct objects never share them. A
// thread starts with the values the main thread holds at that moment (in a program that
// changes nothing, the initial values given below). They are atomics only so that a
// starting thread can read the main thread's values safely; each thread writes only its own.
//
// Every print and report of the library goes to this stream. Its initial value is the default
// channel, which creates "KelFile.txt" in the working folder when something is first written to
// it, so a program that never prints leaves no file behind.
extern thread_local std::atomic<FILE*> kelOutputFile;
// 'Y' lets KelMessage write; any other value (the library uses 'N') silences it.
extern thread_local std::atomic<char> kelPrintMessages;
// 1: warnings on standard error and in the file; 0: file only; -1: nowhere.
extern thread_local std::atomic<signed char> kelWarningMode;
// Version text of the library; nothing prints it.
extern const char* const kelVersion;

// The default channel: a stream that opens "KelFile.txt" (created or truncated) on the first
// write, shared by all threads that have not moved their channel elsewhere.
FILE* KelDefaultOutputChannel();
// Makes sure the calling thread's channel can take a write: for the default channel, opens
// "KelFile.txt" now and, when that fails, reports "Can't open FILE" through KelError.
void KelPrepareOutputChannel();

// Writes the printf-style text to the output channel; returns the characters written.
int KelPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
// KelPrint with the arguments in a va_list.
int KelPrintV(const char* format, va_list arguments);
// As KelPrint, but only while kelPrintMessages holds 'Y'; otherwise returns 0.
int KelMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Reports a violated precondition and never returns: in the default error mode it ends the
// process with exit status 1, in throw mode (KelSetErrorMode) it throws KelException.
[[noreturn]] void KelError(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Reports a soft condition according to kelWarningMode and returns.
void KelWarning(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Waits for a key only when the output channel is standard output; otherwise does nothing.
void KelPause();
// Moves the calling thread's output channel to the named file (created or truncated). The
// previous channel stays open, except a file that an earlier call on this thread opened, which
// is closed when this call replaces it.
void KelSetOutputFile(const char* fileName);

// Directs the calling thread's output (reports, messages, warnings) for its lifetime and puts the
// previous channel back when it ends, an exception included. Capture: every write is appended to
// the string, complete when the scope ends. A stream: writes go there (flushed, not closed, at
// the end). nullptr: everything is discarded.
class KelOutputScope {
 public:
  explicit KelOutputScope(std::string& buffer);
  explicit KelOutputScope(FILE* file);
  ~KelOutputScope();
  KelOutputScope(const KelOutputScope&) = delete;
  KelOutputScope& operator=(const KelOutputScope&) = delete;

 private:
  FILE* previous;
  FILE* target;
  // A stream the scope made itself (capture or discard), closed when the scope ends.
  bool ownsTarget;
};

// Silences KelMessage for its lifetime and puts back the previous setting on every way out
// (return, exception): the library's own inner factorizations and fits use it so that their
// notes do not reach the caller's report. With active = false it changes nothing.
class KelQuietMessages {
 public:
  explicit KelQuietMessages(bool active = true) noexcept : saved(kelPrintMessages.load()) {
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

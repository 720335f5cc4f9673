// The per-thread output settings and error mode, the default channel that creates "KelFile.txt"
// on its first write, the scoped output targets and KelSetOutputFile.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "foundation/kel_errors.h"
#include "foundation/kel_exception.h"
#include "foundation/kel_output.h"
#include "foundation/kel_output_settings.h"

namespace {

// The main thread's settings, the ones a new thread starts from. Registered once at start-up
// (static initialisation runs on the main thread) and never changed afterwards.
struct MainThreadSettings {
  std::atomic<FILE*>* channel;
  std::atomic<char>* messages;
  std::atomic<signed char>* warnings;
  std::atomic<KelErrorMode>* errors;
};
std::atomic<const MainThreadSettings*> mainThreadSettings{nullptr};

template <typename T>
T inherited(std::atomic<T>* MainThreadSettings::*member, T fallback) {
  const MainThreadSettings* main = mainThreadSettings.load();
  return main == nullptr ? fallback : (main->*member)->load();
}

// The default channel's file descriptor, opened by the first call (the initialization of a
// local static is thread-safe) and never changed: -1 when "KelFile.txt" cannot be created. It is
// trivially destructible, so the channel still works while the run-time flushes the streams at
// exit, after every static object is gone.
int defaultFileDescriptor() {
  static const int descriptor =
      ::open("KelFile.txt", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  return descriptor;
}

bool openDefaultFile() {
  return defaultFileDescriptor() >= 0;
}

ssize_t writeAll(int descriptor, const char* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t written = ::write(descriptor, data + done, size - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return -1;
    done += static_cast<size_t>(written);
  }
  return static_cast<ssize_t>(size);
}

// The stream's own lock serializes the calls, whichever threads print.
ssize_t writeDefaultFile(void*, const char* data, size_t size) {
  if (!openDefaultFile()) return -1;
  return writeAll(defaultFileDescriptor(), data, size);
}

ssize_t appendToString(void* cookie, const char* data, size_t size) {
  static_cast<std::string*>(cookie)->append(data, size);
  return static_cast<ssize_t>(size);
}

ssize_t discard(void*, const char*, size_t size) {
  return static_cast<ssize_t>(size);
}

FILE* openCookieStream(void* cookie, cookie_write_function_t* write) {
  FILE* stream = fopencookie(cookie, "w", cookie_io_functions_t{nullptr, write, nullptr, nullptr});
  if (stream == nullptr) KelError("%s", kelErrSpace);
  return stream;
}

// The file KelSetOutputFile opened last on this thread, closed when a later call replaces it.
thread_local FILE* fileOpenedBySetOutputFile = nullptr;

}  // namespace

thread_local std::atomic<FILE*> kelOutputFile{
    inherited(&MainThreadSettings::channel, KelDefaultOutputChannel())};
thread_local std::atomic<char> kelPrintMessages{inherited(&MainThreadSettings::messages, 'Y')};
thread_local std::atomic<signed char> kelWarningMode{
    inherited(&MainThreadSettings::warnings, static_cast<signed char>(1))};
thread_local std::atomic<KelErrorMode> kelErrorMode{
    inherited(&MainThreadSettings::errors, KelErrorMode::Exit)};

void KelRegisterMainThreadSettings() {
  static const MainThreadSettings settings{&kelOutputFile, &kelPrintMessages, &kelWarningMode,
                                           &kelErrorMode};
  mainThreadSettings.store(&settings);
}

FILE* KelDefaultOutputChannel() {
  // Created on first use, whatever the order of static initialisation; never closed, so that
  // every thread can keep it as its channel.
  // Without memory for the stream the channel is null: prints then write nothing.
  static FILE* const channel =
      fopencookie(nullptr, "w", cookie_io_functions_t{nullptr, writeDefaultFile, nullptr, nullptr});
  return channel;
}

bool KelChannelCanWrite(FILE* channel) {
  if (channel == nullptr) return false;
  return channel != KelDefaultOutputChannel() || openDefaultFile();
}

void KelPrepareOutputChannel() {
  FILE* const channel = kelOutputFile.load();
  if (channel != nullptr && !KelChannelCanWrite(channel)) KelError("%s", kelErrOpen);
}

void KelSetErrorMode(KelErrorMode mode) {
  kelErrorMode.store(mode);
}

KelErrorMode KelGetErrorMode() {
  return kelErrorMode.load();
}

void KelSetOutputFile(const char* fileName) {
  FILE* file = std::fopen(fileName, "w");
  if (file == nullptr) KelError("%s", kelErrOpen);
  FILE* const replaced = kelOutputFile.exchange(file);
  if (replaced != nullptr && replaced == fileOpenedBySetOutputFile) std::fclose(replaced);
  fileOpenedBySetOutputFile = file;
}

KelOutputScope::KelOutputScope(std::string& buffer)
    : previous(kelOutputFile.load()),
      target(openCookieStream(&buffer, appendToString)),
      ownsTarget(true) {
  kelOutputFile.store(target);
}

KelOutputScope::KelOutputScope(FILE* file)
    : previous(kelOutputFile.load()),
      target(file != nullptr ? file : openCookieStream(nullptr, discard)),
      ownsTarget(file == nullptr) {
  kelOutputFile.store(target);
}

KelOutputScope::~KelOutputScope() {
  if (ownsTarget) {
    std::fclose(target);
  } else {
    std::fflush(target);
  }
  kelOutputFile.store(previous);
}

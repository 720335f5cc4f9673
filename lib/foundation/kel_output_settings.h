// The internals of the per-thread output settings shared by the foundation's own files.
#ifndef KELMATH_KEL_OUTPUT_SETTINGS_H
#define KELMATH_KEL_OUTPUT_SETTINGS_H

#include <atomic>
#include <cstdio>

#include "foundation/kel_exception.h"

// The calling thread's error mode (KelSetErrorMode).
extern thread_local std::atomic<KelErrorMode> kelErrorMode;

// Makes the calling (main) thread's settings the ones every later thread starts from.
void KelRegisterMainThreadSettings();
// True when a write to the channel can be made: not a closed channel, and for the default
// channel, "KelFile.txt" is open or could be opened now.
bool KelChannelCanWrite(FILE* channel);

#endif

#include "foundation/kel_base.h"

#include <cstdarg>
#include <cstdio>

#include "foundation/kel_output.h"

void KelBase::Print(const char* format, ...) {
  if (kelOutputFile != nullptr) {
    std::fputc('\n', kelOutputFile);
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(kelOutputFile, format, arguments);
    va_end(arguments);
  }
  PrintObject();
}

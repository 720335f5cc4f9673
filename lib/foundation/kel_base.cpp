#include "foundation/kel_base.h"

#include <cstdarg>
#include <cstdio>

#include "foundation/kel_output.h"

void KelBase::Print(const char* format, ...) {
  KelPrint("\n");
  va_list arguments;
  va_start(arguments, format);
  KelPrintV(format, arguments);
  va_end(arguments);
  PrintObject();
}

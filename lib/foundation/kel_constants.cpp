#include "foundation/kel_constants.h"

#include <cfenv>

float kelMachEpsFloat = 0.0f;
double kelMachEps = 0.0;
double kelTenMachEpsFloat = 0.0;
double kelPi = 0.0;

KelFloatingPointSetting::KelFloatingPointSetting() {
  SetMode(startMode);
}

KelFloatingPointSetting::~KelFloatingPointSetting() {
  SetMode(exitMode);
}

void KelFloatingPointSetting::SetMode(int mode) {
  // x86-64 computes doubles in SSE registers, so "double precision" needs no control-word
  // change; what remains is the rounding mode and the exception masks.
  std::fesetenv(FE_DFL_ENV);
  std::fesetround(FE_TONEAREST);
  std::feclearexcept(FE_ALL_EXCEPT);
  int traps = 0;
  switch (mode) {
    case 0:
      break;
    case 1:
      traps = FE_DIVBYZERO | FE_OVERFLOW;
      break;
    case 3:
      traps = FE_ALL_EXCEPT;
      break;
    default:
      traps = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;
      break;
  }
#if defined(__GLIBC__)
  if (traps != 0) feenableexcept(traps);
#else
  (void)traps;
#endif
}

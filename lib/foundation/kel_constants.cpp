#include "foundation/kel_constants.h"

#include <cfenv>
#include <cmath>

namespace {

// The epsilon of a precision by halving (docs/developers.md, 6): the smallest power of two e
// for which 1 + e still differs from 1. Evaluated by the compiler in that precision with rounding to
// nearest, which is what the floating-point setting establishes at run time, so the constants
// are fixed before any code runs and no thread ever writes them.
template <typename Real>
constexpr Real halvingEpsilon() {
  Real e = 1;
  for (;;) {
    const Real sum = Real(1) + e / 2;
    if (sum == Real(1)) break;
    e = e / 2;
  }
  return e;
}

// The single-precision constant is computed in double precision; when that is finer than
// single precision its own 2^-23 is used instead.
constexpr float singleEpsilon(double e) {
  return e / 2 >= 1e-7 ? static_cast<float>(e) : 1.1920929e-7f;
}

}  // namespace

const float kelMachEpsFloat = singleEpsilon(halvingEpsilon<double>());
const double kelMachEps = halvingEpsilon<double>();
const double kelTenMachEpsFloat = 10.0 * static_cast<double>(kelMachEpsFloat);
const double kelPi = 4.0 * std::atan(1.0 / 1.0);

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

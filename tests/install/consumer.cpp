// A program outside the project, built against the installed package; it includes the library
// either as "kelmath.h" or, with KELMATH_ANGLE_INCLUDE defined, as <kelmath/kelmath.h>.
#include <cstdio>

#ifdef KELMATH_ANGLE_INCLUDE
#include <kelmath/kelmath.h>
#else
#include "kelmath.h"
#endif

int main() {
  KelMatrix F(4, 2, 1., 1., 1., 2., 1., 3., 1., 4.);
  KelVector y(4, 3., 5., 7., 9.);
  KelLinearRegression regression(F, y);
  KelVector b;
  regression.GetParameters(b);
  std::printf("%s %.6f %.6f\n", kelMathVersionString, b(1), b(2));
  return 0;
}

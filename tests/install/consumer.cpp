// A program outside the project, built against the installed package.
#include <cstdio>

#include "kelmath.h"

int main() {
  KelMatrix F(4, 2, 1., 1., 1., 2., 1., 3., 1., 4.);
  KelVector y(4, 3., 5., 7., 9.);
  KelLinearRegression regression(F, y);
  KelVector b;
  regression.GetParameters(b);
  std::printf("%s %.6f %.6f\n", kelMathVersionString, b(1), b(2));
  return 0;
}

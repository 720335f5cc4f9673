// The small exponential problem of the options and bounds tests: y = b1 (1 - exp(-b2 x)) at
// x = 1..8, the data y = 10 (1 - exp(-0.3 x)) with alternating errors of 0.05.
#ifndef KELMATH_TESTS_NONLINEAR_KEL_EIGHT_POINT_EXPONENTIAL_H
#define KELMATH_TESTS_NONLINEAR_KEL_EIGHT_POINT_EXPONENTIAL_H

#include <cmath>

#include "kelmath.h"

namespace kel_test {

inline void Exponential(int, int, KelVector& b, KelVector& x, KelVector& y) {
  y(1) = b(1) * (1.0 - std::exp(-b(2) * x(1)));
}

inline KelMatrix EightX() {
  KelMatrix X(8, 1);
  for (int i = 1; i <= 8; ++i) X(i, 1) = i;
  return X;
}

inline KelMatrix EightY() {
  KelMatrix Y(8, 1);
  for (int i = 1; i <= 8; ++i) Y(i, 1) = 10.0 * (1.0 - std::exp(-0.3 * i)) + (i % 2 ? 0.05 : -0.05);
  return Y;
}

}  // namespace kel_test

#endif

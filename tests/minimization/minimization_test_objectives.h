// Objectives with known minima shared by the minimizer suites.
#ifndef KELMATH_TESTS_MINIMIZATION_TEST_OBJECTIVES_H
#define KELMATH_TESTS_MINIMIZATION_TEST_OBJECTIVES_H

#include "kelmath.h"

namespace kel_test {

// Curved valley with its minimum 0 at (1, ..., 1).
inline double Rosenbrock(KelVector& x) {
  double sum = 0.0;
  for (int i = 1; i < x.Size(); ++i) {
    const double a = x(i + 1) - x(i) * x(i);
    const double b = 1.0 - x(i);
    sum += 100.0 * a * a + b * b;
  }
  return sum;
}

// Minimum 0 at the origin of the plane.
inline double Bowl(KelVector& x) {
  return x(1) * x(1) + x(2) * x(2);
}

}  // namespace kel_test

#endif

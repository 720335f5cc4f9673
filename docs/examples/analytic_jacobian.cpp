// A model with its own derivatives, fitted with unit weights (NIST's Misra1a data).
#include <cmath>

#include "kelmath.h"

// y = b1 (1 - exp(-b2 x))
void Misra(int /*model*/, int /*experiment*/, KelVector& b, KelVector& x, KelVector& y) {
  y(1) = b(1) * (1. - std::exp(-b(2) * x(1)));
}

// dy(j, k) = d y_j / d b_k at the same b and x.
void MisraJacobian(int /*model*/, int /*experiment*/, KelVector& b, KelVector& x, KelMatrix& dy) {
  const double e = std::exp(-b(2) * x(1));
  dy(1, 1) = 1. - e;
  dy(1, 2) = b(1) * x(1) * e;
}

int main() {
  KelMatrix X(14, 1, 77.6, 114.9, 141.1, 190.8, 239.9, 289.0, 332.8, 378.4, 434.8, 477.3, 536.8,
              593.1, 689.1, 760.0);
  KelMatrix Y(14, 1, 10.07, 14.73, 17.94, 23.93, 29.61, 35.18, 40.02, 44.82, 50.76, 55.05, 61.01,
              66.40, 75.47, 81.78);

  KelNonLinearRegression regression(1, X, Y, Misra);
  regression.SetJacobian(1, MisraJacobian);  // optional: central differences otherwise
  regression.SetInitialParameters(1, KelVector(2, 500., 1e-4));
  regression.LeastSquaresAnalysis();

  // A fit that did not converge must not be used as one that did.
  if (!regression.Converged(1)) KelPrint("\nThe estimation did not converge.");
  return 0;
}

// A model whose independent variable is measured with an error as well.
#include "kelmath.h"

void Model(int /*model*/, int /*experiment*/, KelVector& b, KelVector& x, KelVector& y) {
  y(1) = b(1) * x(1) / (b(2) + x(1));
}

int main() {
  KelMatrix X(6, 1, 0.21, 0.49, 1.02, 1.97, 4.05, 7.9);  // measured x
  KelMatrix Y(6, 1, 0.5714, 1., 1.3333, 1.6, 1.7778, 1.8824);

  KelNonLinearRegression regression(1, X, Y, Model);
  // Variance of y, then variance of x: the x are re-estimated with the parameters.
  regression.SetVariances(5, KelVector(2, 1e-4, 1e-3));
  regression.SetInitialParameters(1, KelVector(2, 1., 1.));
  regression.LeastSquaresAnalysis();

  KelVector b = regression.GetParameters(1);
  KelPrint("\n\nb1 %g b2 %g", b(1), b(2));
  return 0;
}

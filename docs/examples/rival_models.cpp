// Two rival models of one response, their comparison and the next experiment to run.
#include <cmath>

#include "kelmath.h"

// One function serves every model: it fills y from the parameters b and the variables x.
void Models(int model, int /*experiment*/, KelVector& b, KelVector& x, KelVector& y) {
  if (model == 1) y(1) = b(1) * x(1) / (b(2) + x(1));           // saturation
  if (model == 2) y(1) = b(1) * (1. - std::exp(-b(2) * x(1)));  // first order
}

int main() {
  KelMatrix X(6, 1, 0.2, 0.5, 1., 2., 4., 8.);  // one experiment per row
  KelMatrix Y(6, 1, 0.58, 0.99, 1.34, 1.59, 1.78, 1.88);

  KelNonLinearRegression regression(2, X, Y, Models);
  regression.SetVariances(5, KelVector(1, 1e-4));  // variance of y, 5 degrees of freedom
  regression.SetInitialParameters(1, KelVector(2, 1., 1.));
  regression.SetInitialParameters(2, KelVector(2, 1., 1.));

  // Reports of both models, suggested experiments in 0.1 <= x <= 10, model comparison.
  regression.LeastSquaresAnalysisAndExperimentsSearch(KelVector(1, 0.1), KelVector(1, 10.));
  return 0;
}

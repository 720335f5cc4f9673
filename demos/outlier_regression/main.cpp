// outlier_regression: one nonlinear two-response model fitted twice to 13 experiments. First to
// data whose experiment 6 carries a mis-recorded x2, with known response variances, so that the
// robust analysis can flag it; then to the corrected data with variances of the independent
// variables as well, so that the x are re-estimated. Everything goes to "KelRegression.txt".
#include "kelmath.h"

namespace {

// a = x1 x2 / (1 + b3 x1 + b4 x2); y1 = b1 a, y2 = b2 a.
void Model(int, int, KelVector& b, KelVector& x, KelVector& y) {
  const double a = x(1) * x(2) / (1.0 + b(3) * x(1) + b(4) * x(2));
  y(1) = b(1) * a;
  y(2) = b(2) * a;
}

KelMatrix Responses() {
  return KelMatrix(13, 2, 6.61, 0.43, 5.42, 0.44, 5.0, 0.64, 7.5, 0.66, 5.73, 0.55, 3.8, 0.33, 7.3,
                   0.79, 4.9, 0.35, 5.9, 0.71, 9.15, 0.926, 13.74, 1.34, 6.0, 1.7, 8.2, 0.84);
}

// Experiment 6 is (25, 20) in the first run and (25, 25) in the second.
KelMatrix IndependentVariables(double x2OfExperiment6) {
  return KelMatrix(13, 2, 20., 20., 30., 20., 20., 30., 30., 30., 25., 25., 25., x2OfExperiment6,
                   25., 35., 15., 25., 35., 25., 55., 32.8, 55., 55., 10.6, 55., 16., 55.);
}

}  // namespace

int main() {
  KelSetOutputFile("KelRegression.txt");
  KelPrint("\n\nOutlier2");
  KelPrint("\n\nnumModels 1 numX 2 numY 2");

  {
    KelMatrix X = IndependentVariables(20.);
    KelMatrix Y = Responses();
    KelNonLinearRegression regression(1, X, Y, Model);
    regression.SetVariances(5, KelVector(2, 0.348, 0.0023));
    regression.SetInitialParameters(1, KelVector(4, 1., 1., 1., 1.));
    regression.RobustAnalysis();
    regression.LeastSquaresAnalysis();
    KelPause();
  }
  // Only one regression object may be alive: the first is gone before the second is built.

  KelPrint("\n\nOutlier2");
  KelPrint("\n\nIndepenent variables with errors");
  KelPrint("\n\nnumModels 1 numX 2 numY 2");
  {
    KelMatrix X = IndependentVariables(25.);
    KelMatrix Y = Responses();
    KelNonLinearRegression regression(1, X, Y, Model);
    regression.SetVariances(5, KelVector(4, 0.348, 0.0023, 0.1, 0.2));
    regression.SetInitialParameters(1, KelVector(4, 1., 1., 1., 1.));
    regression.RobustAnalysis();
    regression.LeastSquaresAnalysis();
    KelPause();
  }
  return 0;
}

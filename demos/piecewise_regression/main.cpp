// piecewise_regression: the least-squares and robust analyses of the regression data file
// "PicewiseA1.lrg" (a piecewise-linear response on a hinge basis), written to "KelFile.txt".
// The program carries the earlier form of the regression, "Version 6.0.20080930".
#include "kelmath.h"

int main() {
  KelLinearRegression regression("PicewiseA1.lrg");
  regression.SetEarlierForm(true);
  regression.LeastSquaresAnalysis();
  regression.RobustAnalysis();
  return 0;
}

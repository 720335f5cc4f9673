// leverage_regression: the robust analysis of the regression data file "Leverage.lrg" (a
// straight line with high-leverage experiments), written to "KelFile.txt". The least-squares
// fit runs, as the robust analysis needs it, but its report is not printed. The program carries
// the earlier form of the regression, "Version 6.0.20080930".
#include "kelmath.h"

int main() {
  KelLinearRegression regression("Leverage.lrg");
  regression.SetEarlierForm(true);
  regression.RobustAnalysis();
  return 0;
}

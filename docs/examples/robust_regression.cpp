// A straight line with one gross error: least squares, then least median of squares.
#include "kelmath.h"

int main() {
  KelMatrix F(10, 2);  // row i: (1, x) with x = i
  for (int i = 1; i <= 10; ++i) {
    F(i, 1) = 1.;
    F(i, 2) = i;
  }
  // y = 1 + 2x with small errors, except experiment 5 (11 was recorded as 25).
  KelVector y(10, 3.05, 4.97, 7.02, 8.96, 25., 13.03, 14.98, 17.04, 18.95, 21.01);

  KelLinearRegression regression(F, y);
  regression.LeastSquaresAnalysis();  // also sets the verdicts the robust report repeats
  regression.RobustAnalysis();
  return 0;
}

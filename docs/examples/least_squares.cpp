// A straight line y = b1 + b2 x through six points: the least-squares report.
#include "kelmath.h"

int main() {
  // Column 1 all ones: a model with intercept. Column 2: the variable x.
  // clang-format off
  KelMatrix F(6, 2, 1., 1.,
                    1., 2.,
                    1., 3.,
                    1., 4.,
                    1., 5.,
                    1., 6.);
  // clang-format on
  KelVector y(6, 3.1, 4.9, 6.9, 9.1, 11., 13.);

  KelLinearRegression regression(F, y);
  regression.LeastSquaresAnalysis();  // the report goes to KelFile.txt

  // The same results, for the program's own use.
  KelVector b;
  regression.GetParameters(b);
  KelPrint("\n\nb1 %g b2 %g R2 %g", b(1), b(2), regression.GetR2());
  return 0;
}

// Two nearly collinear regressors: the singular value analysis finds the stable model.
#include "kelmath.h"

int main() {
  // Column 3 is column 2 plus or minus 0.001.
  // clang-format off
  KelMatrix F(4, 3, 1., -1., -1.001,
                    1., -1., -0.999,
                    1.,  1.,  0.999,
                    1.,  1.,  1.001);
  // clang-format on
  KelVector y(4, 1., 1., 4.98, 5.02);

  KelLinearRegression regression(F, y);
  regression.SVDAnalysis();
  return 0;
}

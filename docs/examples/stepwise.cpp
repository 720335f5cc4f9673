// Which of three factors matter? The best model of every size, by stepwise search.
#include "kelmath.h"

int main() {
  // A two-level design in three factors coded -1 and +1, with an intercept column.
  // clang-format off
  KelMatrix F(8, 4, 1., -1., -1., -1.,
                    1.,  1., -1., -1.,
                    1., -1.,  1., -1.,
                    1.,  1.,  1., -1.,
                    1., -1., -1.,  1.,
                    1.,  1., -1.,  1.,
                    1., -1.,  1.,  1.,
                    1.,  1.,  1.,  1.);
  // clang-format on
  KelVector y(8, 4.8, 9.0, 11.0, 14.8, 5.2, 9.0, 11.0, 15.2);

  KelLinearRegression regression(F, y);
  regression.StepwiseAnalysis();
  return 0;
}

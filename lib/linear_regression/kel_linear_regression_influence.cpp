// KelLinearRegression: influence of each experiment on the least-squares fit (leverages,
// externally studentized residuals, Cook's distances).
#include "linear_regression/kel_fit_statistics.h"
#include "linear_regression/kel_linear_regression.h"

const KelVector& KelLinearRegression::Leverages() {
  return LeastSquaresFit().leverages;
}

KelVector KelLinearRegression::StudentizedResiduals() {
  EnsureLeastSquares();
  KelVector studentized(numExperiments);
  for (int i = 1; i <= numExperiments; ++i)
    studentized(i) = KelInfluenceOf(fit.residuals(i), fit.leverages(i), fit.sumOfSquares,
                                    degreesOfFreedom, numParameters)
                         .studentized;
  return studentized;
}

KelVector KelLinearRegression::CooksDistances() {
  EnsureLeastSquares();
  KelVector distances(numExperiments);
  for (int i = 1; i <= numExperiments; ++i)
    distances(i) = KelInfluenceOf(fit.residuals(i), fit.leverages(i), fit.sumOfSquares,
                                  degreesOfFreedom, numParameters)
                       .cooks;
  return distances;
}

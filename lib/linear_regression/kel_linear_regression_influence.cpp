// KelLinearRegression: influence of each experiment on the least-squares fit (leverages,
// externally studentized residuals, Cook's distances).
#include <cmath>
#include <limits>

#include "foundation/kel_constants.h"
#include "linear_regression/kel_linear_regression.h"

namespace {

constexpr double kNotDefined = std::numeric_limits<double>::quiet_NaN();

// 1 - h, or 0 where the leverage is 1 up to rounding: the fit then passes through the
// experiment whatever its response, and its residual carries no information.
double leverageComplement(double leverage) {
  const double complement = 1.0 - leverage;
  return complement > 10.0 * kelMachEps ? complement : 0.0;
}

}  // namespace

const KelVector& KelLinearRegression::Leverages() {
  return LeastSquaresFit().leverages;
}

KelVector KelLinearRegression::StudentizedResiduals() {
  EnsureLeastSquares();
  const int m = numExperiments;
  KelVector studentized(m);
  const int reducedDof = degreesOfFreedom - 1;
  for (int i = 1; i <= m; ++i) {
    const double complement = leverageComplement(fit.leverages(i));
    if (complement == 0.0 || reducedDof < 1) {
      studentized(i) = kNotDefined;
      continue;
    }
    // The sum of squares without experiment i follows from the full fit (no refit).
    const double reducedSumOfSquares =
        fit.sumOfSquares - fit.residuals(i) * fit.residuals(i) / complement;
    const double reducedDeviation = std::sqrt(std::fmax(reducedSumOfSquares, 0.0) / reducedDof);
    studentized(i) = fit.residuals(i) / (reducedDeviation * std::sqrt(complement));
  }
  return studentized;
}

KelVector KelLinearRegression::CooksDistances() {
  EnsureLeastSquares();
  const int m = numExperiments;
  KelVector distances(m);
  for (int i = 1; i <= m; ++i) {
    const double complement = leverageComplement(fit.leverages(i));
    if (complement == 0.0 || degreesOfFreedom < 1) {
      distances(i) = kNotDefined;
      continue;
    }
    const double standardized = fit.residuals(i) / (fit.standardDeviation * complement);
    distances(i) = standardized * standardized * fit.leverages(i) / numParameters;
  }
  return distances;
}

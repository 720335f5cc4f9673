// KelLinearRegression: the overall F test, likelihood and information criteria, the
// Breusch-Pagan test, centred variance inflation factors and confidence intervals at any level.
#include <cmath>
#include <limits>
#include <vector>

#include "foundation/kel_constants.h"
#include "foundation/kel_error_details.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"
#include "linear_regression/kel_coefficient_inference.h"
#include "linear_regression/kel_fit_statistics.h"
#include "linear_regression/kel_linear_regression.h"
#include "statistics/kel_distributions.h"

namespace {

constexpr double kNotDefined = std::numeric_limits<double>::quiet_NaN();

}  // namespace

KelVector KelLinearRegression::CenteredVarianceInflationFactors() {
  const KelVector& t = Tolerances();
  KelVector vif(numParameters);
  for (int i = 1; i <= numParameters; ++i) vif(i) = 1.0 / t(i);
  // The intercept is not regressed on the other columns.
  if (interceptFlag != 0) vif(1) = 0.0;
  return vif;
}

KelMatrix KelLinearRegression::ConfidenceIntervals(double level) {
  if (!(level > 0.0 && level < 1.0))
    KelError("%s%s%s", kelClassLinearRegression, kelErrCheck,
             KelValueDetail("level", level).c_str());
  EnsureLeastSquares();
  return KelConfidenceIntervals(fit.b, fit.seB, degreesOfFreedom, level);
}

double KelLinearRegression::FStatistic() {
  EnsureLeastSquares();
  const int numerator = numParameters - interceptFlag;
  if (numerator < 1) return kNotDefined;
  const double reference =
      interceptFlag != 0 ? fit.correctedTotalSumOfSquares : fit.totalSumOfSquares;
  return (reference - fit.sumOfSquares) / numerator / fit.meanSquareError;
}

double KelLinearRegression::FStatisticPValue() {
  const double f = FStatistic();
  if (std::isnan(f)) return kNotDefined;
  return KelFProbability(numParameters - interceptFlag, degreesOfFreedom, std::fmax(f, 0.0));
}

double KelLinearRegression::LogLikelihood() {
  EnsureLeastSquares();
  return KelGaussianLogLikelihood(numExperiments, std::log(fit.sumOfSquares));
}

double KelLinearRegression::AIC() {
  return KelAkaikeCriterion(LogLikelihood(), numParameters);
}

double KelLinearRegression::BIC() {
  return KelSchwarzCriterion(LogLikelihood(), numParameters, numExperiments);
}

// The fit of w on F is the projection onto the column space of F, formed with the same left
// singular vectors (of the column-scaled F, over the kept singular values) as the leverages;
// with all of them kept, those of U span the same space.
double KelLinearRegression::BreuschPaganStatistic() {
  EnsureLeastSquares();
  const int m = numExperiments;
  if (numParameters < 2) return kNotDefined;
  const double meanSquare = fit.sumOfSquares / m;
  KelVector w(m);
  double wSquares = 0.0;
  for (int i = 1; i <= m; ++i) {
    w(i) = fit.residuals(i) * fit.residuals(i) - meanSquare;
    wSquares += w(i) * w(i);
  }
  // Squared residuals equal up to rounding leave nothing to explain; the ratio of two rounding
  // errors would be an arbitrary number.
  if (std::sqrt(wSquares) <= 64.0 * kelMachEps * fit.sumOfSquares) return 0.0;
  // The components of w along the kept columns of Us = U M: M^T (U^T w).
  const int n = numParameters;
  std::vector<double> alongU(static_cast<size_t>(n) + 1, 0.0);
  const double* const* u = fit.U.RowPointers();
  for (int i = 1; i <= m; ++i) {
    const double wi = w(i);
    for (int k = 1; k <= n; ++k) alongU[static_cast<size_t>(k)] += u[i][k] * wi;
  }
  double fittedSquares = 0.0;
  for (int c = 1; c <= fit.scaledRank; ++c) {
    double component = 0.0;
    if (fit.scaledRank == n) {
      component = alongU[static_cast<size_t>(c)];
    } else {
      for (int k = 1; k <= n; ++k)
        component += fit.scaledLeftInU(k, c) * alongU[static_cast<size_t>(k)];
    }
    fittedSquares += component * component;
  }
  return m * fittedSquares / wSquares;
}

double KelLinearRegression::BreuschPaganPValue() {
  const double statistic = BreuschPaganStatistic();
  if (std::isnan(statistic)) return kNotDefined;
  return KelChiSquareProbability(numParameters - 1, statistic);
}

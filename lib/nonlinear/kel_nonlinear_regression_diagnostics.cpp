// KelNonLinearRegression diagnostics of a fit, with the values behind the verdicts of the
// least-squares report: the agreement of one more Gauss-Newton step, the correlation of the
// parameters, variance inflation, tolerances and the F-test against the assigned variances.
#include <cmath>

#include "factorizations/kel_factorized_symmetric.h"
#include "foundation/kel_output.h"
#include "linear_regression/kel_linear_regression.h"
#include "linear_regression/kel_linear_regression_collinearity.h"
#include "nonlinear/kel_nonlinear_regression.h"
#include "nonlinear/kel_nonlinear_tails.h"

namespace {

// The thresholds of the linear regression's verdicts, read the same way: above the first two the
// parameters are too correlated, or a variance too inflated, to be told apart; below the third
// a Jacobian column is nearly a combination of the others.
constexpr double kCorrelationLimit = kel_linear_thresholds::kCorrelated;
constexpr double kInflationLimit = kel_linear_thresholds::kVarianceInflation;
constexpr double kToleranceLimit = kel_linear_thresholds::kTolerance;

// Correlation of the parameters from their covariance; raises the flag above the limit.
void correlationFromCovariance(const KelMatrixSymmetric& covariance, KelNonLinearDiagnostics& d) {
  CorrelationOfCovariance(covariance, &d.correlation);
  if (LargestCorrelation(d.correlation) > kCorrelationLimit) d.correlationFlag = true;
}

// Variance inflation factors: the diagonal of the inverse correlation matrix.
void computeInflationFactors(KelNonLinearDiagnostics& d) {
  const int n = d.correlation.Rows();
  KelMatrix inverse;
  {
    const KelQuietMessages quiet;
    KelFactorizedSymmetricPivot factorized(d.correlation);
    factorized.Inverse(&inverse);
  }
  d.inflationFactors.Resize(n, false);
  for (int k = 1; k <= n; ++k) {
    d.inflationFactors(k) = std::fabs(inverse(k, k));
    if (d.inflationFactors(k) > kInflationLimit) d.correlationFlag = true;
  }
}

// 1 - R2 of column k of J regressed on the others.
double columnTolerance(const KelMatrix& J, int k) {
  const int rows = J.Rows(), n = J.Columns();
  KelMatrix others(rows, n - 1);
  KelVector column(rows);
  for (int i = 1; i <= rows; ++i) {
    column(i) = J(i, k);
    for (int j = 1, c = 0; j <= n; ++j)
      if (j != k) others(i, ++c) = J(i, j);
  }
  KelLinearRegression regression(others, column);
  return 1.0 - regression.GetR2();
}

// Tolerance of each Jacobian column. A lone column, or one with no more rows than other
// columns, has nothing to compare with or is explained exactly.
void columnTolerances(const KelMatrix& J, KelNonLinearDiagnostics& d) {
  const int rows = J.Rows(), n = J.Columns();
  d.tolerances.Resize(n, false);
  d.multicollinearity = false;
  for (int k = 1; k <= n; ++k) {
    if (n == 1)
      d.tolerances(k) = 1.0;
    else if (rows <= n - 1)
      d.tolerances(k) = 0.0;
    else
      d.tolerances(k) = columnTolerance(J, k);
    if (d.tolerances(k) < kToleranceLimit) d.multicollinearity = true;
  }
}

}  // namespace

void KelNonLinearRegression::ComputeDiagnostics(int model) {
  Model& m = models[static_cast<size_t>(model - 1)];
  KelNonLinearDiagnostics& d = m.diagnostics;
  // Reset field by field: a fresh struct would number one more symmetric matrix, and the
  // reports print those numbers.
  d.correlationFlag = false;
  d.fExperimental = 0.0;
  d.fProbability = 1.0;
  d.fDegreesOfFreedom = 0;
  // One more Gauss-Newton step from the final parameters: how well Newton agrees.
  jacobianSvd = m.estimate.jacobian;
  Solve(&jacobianSvd, m.estimate.weightedResiduals, &d.newtonStep);
  correlationFromCovariance(m.statistics.covariance, d);
  computeInflationFactors(d);
  columnTolerances(m.estimate.jacobian, d);
  ModelFTest(m, d);
  m.diagnosticsReady = true;
}

void KelNonLinearRegression::ModelFTest(const Model& m, KelNonLinearDiagnostics& d) const {
  // Without assigned variances there is nothing to test against: F 0, probability 1.
  if (weightingKind != 2) return;
  if (numY == 1) {
    d.fExperimental = m.statistics.meanSquareError / responseVariances(1);
    d.fDegreesOfFreedom = numExperiments - m.numParameters;
  } else {
    d.fDegreesOfFreedom = nY - m.numParameters;
    d.fExperimental = m.estimate.finalSSE / d.fDegreesOfFreedom;
  }
  d.fProbability =
      kel_nonlinear_tails::F(d.fDegreesOfFreedom, varianceDegreesOfFreedom, d.fExperimental);
}

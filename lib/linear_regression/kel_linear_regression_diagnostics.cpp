// KelLinearRegression: the diagnostics of the least-squares report (parameter correlation,
// variance inflation factors, Tj tolerances, column-correlation factors, normality index),
// computed without printing.
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "factorizations/kel_factorized_symmetric.h"
#include "foundation/kel_output.h"
#include "linear_regression/kel_coefficient_inference.h"
#include "linear_regression/kel_linear_regression.h"
#include "linear_regression/kel_linear_regression_collinearity.h"
#include "statistics/kel_distributions.h"
#include "statistics/kel_standardized.h"

namespace {

// The auxiliary regression on the other columns that the tolerances are defined by is an
// object of this class and takes a serial number; drawing it keeps the numbers that reports
// print for the objects created later, although its fit is no longer needed (docs/developers.md,
// intended behaviour 2).
void drawAuxiliaryRegressionNumber() {
  const KelLinearRegression auxiliary;
}

// The verdicts of the n parameter rows, 1-based as the vectors they judge: element 0 stays false.
template <class RowVerdict>
std::vector<bool> parameterFlags(int n, RowVerdict flagged) {
  std::vector<bool> flags(static_cast<size_t>(n) + 1, false);
  for (int i = 1; i <= n; ++i) flags[static_cast<size_t>(i)] = flagged(i);
  return flags;
}

bool anyFlag(const std::vector<bool>& flags) {
  return std::find(flags.begin(), flags.end(), true) != flags.end();
}

}  // namespace

void KelLinearRegression::EnsureDiagnostics() {
  EnsureLeastSquares();
  if (diagnosticsComputed) return;
  ComputeParameterCorrelation();
  KelFactorizedSymmetricPivot factorization(diagnostics.parameterCorrelation);
  factorization.Inverse(&diagnostics.inverseCorrelation);
  // Both diagnostics share one factorization; the auxiliary regression's number is drawn as
  // ComputeTolerances draws it.
  if (numParameters >= 2) drawAuxiliaryRegressionNumber();
  KelCollinearity collinearity = ComputeCollinearity(F, interceptFlag != 0);
  diagnostics.tolerances = std::move(collinearity.tolerances);
  diagnostics.columnFactors = std::move(collinearity.columnFactors);
  ComputeReportValues();
  ComputeVerdicts();
  diagnosticsComputed = true;
}

// R(j, k) = Cov(j, k) / (sd(j) sd(k)), in its own matrix so that Cov stays.
void KelLinearRegression::ComputeParameterCorrelation() {
  CorrelationOfCovariance(fit.covariance, &diagnostics.parameterCorrelation);
}

const KelMatrixSymmetric& KelLinearRegression::ParameterCorrelation() {
  return Diagnostics().parameterCorrelation;
}

KelVector KelLinearRegression::VarianceInflationFactors() {
  return Diagnostics().varianceInflationFactors;
}

const KelVector& KelLinearRegression::Tolerances() {
  return Diagnostics().tolerances;
}

const KelVector& KelLinearRegression::ColumnsCorrelationFactors() {
  return Diagnostics().columnFactors;
}

double KelLinearRegression::NormalityIndex() {
  EnsureLeastSquares();
  return FitNormalityIndex();
}

// Each column regressed on the others (centred R^2 for a model with intercept, uncentred
// without), from one factorization of F instead of one regression per column.
KelVector KelLinearRegression::ComputeTolerances() {
  if (numParameters >= 2) drawAuxiliaryRegressionNumber();
  return ComputeCollinearity(F, interceptFlag != 0).tolerances;
}

// |last diagonal element of R| in the QR factorization of the normalized columns with column i
// moved last: the distance of that column from the space the others span.
KelVector KelLinearRegression::ComputeColumnsCorrelation() {
  return ComputeCollinearity(F, interceptFlag != 0).columnFactors;
}

// The values the report prints next to its verdicts, from the current fit.
void KelLinearRegression::ComputeReportValues() {
  const int n = numParameters;
  diagnostics.varianceInflationFactors.Resize(n, false);
  for (int i = 1; i <= n; ++i)
    diagnostics.varianceInflationFactors(i) = std::fabs(diagnostics.inverseCorrelation(i, i));
  diagnostics.tValues = FitTValues();
  diagnostics.pValues = FitPValues();
  diagnostics.partialCorrelations = FitPartialCorrelations();
  diagnostics.normalizedResiduals = FitNormalizedResiduals();
  diagnostics.fExperimental = FitFExperimental();
  diagnostics.fTestProbability = FitFTestProbability();
  diagnostics.normalityIndex = FitNormalityIndex();
}

// The verdicts of the least-squares report, each with the extreme value that decides it.
void KelLinearRegression::ComputeVerdicts() {
  namespace limit = kel_linear_thresholds;
  diagnostics.illConditioned = fit.conditionNumber > limit::kIllConditioned;
  diagnostics.badlyScaled = limit::kBadlyScaled * fit.conditionNumber > fit.systemConditioning;
  diagnostics.conditioning = KelConditioning::kWell;
  if (diagnostics.illConditioned) diagnostics.conditioning = KelConditioning::kIllConditioned;
  if (diagnostics.badlyScaled || fit.solutionsDisagree)
    diagnostics.conditioning = KelConditioning::kMustBeNormalized;

  ComputeParameterVerdicts();
  ComputeMulticollinearityVerdict();

  const double index = std::fabs(diagnostics.normalityIndex);
  if (index > limit::kNormal)
    diagnostics.normality = KelNormality::kConsistent;
  else if (index > limit::kProbablyNormal)
    diagnostics.normality = KelNormality::kProbablyViolated;
  else
    diagnostics.normality = KelNormality::kViolated;
}

// The verdict of every parameter row the report prints, and of the model's F test (which the
// report prints only with an assigned variance).
void KelLinearRegression::ComputeParameterVerdicts() {
  namespace limit = kel_linear_thresholds;
  const int n = numParameters;
  const KelLinearDiagnostics& d = diagnostics;
  diagnostics.notSignificant =
      parameterFlags(n, [&d](int i) { return d.pValues(i) > limit::kNotSignificant; });
  diagnostics.lowPartialCorrelation = parameterFlags(
      n, [&d](int i) { return std::fabs(d.tValues(i)) < limit::kPartialCorrelationT; });
  diagnostics.varianceInflated = parameterFlags(
      n, [&d](int i) { return d.varianceInflationFactors(i) > limit::kVarianceInflation; });
  diagnostics.lowTolerance =
      parameterFlags(n, [&d](int i) { return d.tolerances(i) < limit::kTolerance; });
  diagnostics.lowColumnFactor =
      parameterFlags(n, [&d](int i) { return d.columnFactors(i) < limit::kColumnFactor; });
  diagnostics.fTestLackOfFit =
      responseVariance != 0.0 && diagnostics.fTestProbability < limit::kModelFTest;
}

// Multicollinearity by the correlation matrix, the variance inflation factors, the tolerances
// (judged only with more than one parameter) and the column factors, from the row verdicts.
void KelLinearRegression::ComputeMulticollinearityVerdict() {
  namespace limit = kel_linear_thresholds;
  const int n = numParameters;
  diagnostics.largestCorrelation = LargestCorrelation(diagnostics.parameterCorrelation);
  diagnostics.correlatedParameters = diagnostics.largestCorrelation > limit::kCorrelated;
  diagnostics.largestVarianceInflation = 0.0;
  diagnostics.smallestTolerance = 1.0;
  diagnostics.smallestColumnFactor = 1.0;
  for (int i = 1; i <= n; ++i) {
    diagnostics.largestVarianceInflation =
        std::max(diagnostics.largestVarianceInflation, diagnostics.varianceInflationFactors(i));
    diagnostics.smallestTolerance =
        std::min(diagnostics.smallestTolerance, diagnostics.tolerances(i));
    diagnostics.smallestColumnFactor =
        std::min(diagnostics.smallestColumnFactor, diagnostics.columnFactors(i));
  }
  diagnostics.varianceInflationFound = anyFlag(diagnostics.varianceInflated);
  diagnostics.toleranceFound = n > 1 && anyFlag(diagnostics.lowTolerance);
  diagnostics.columnsCorrelationFound = anyFlag(diagnostics.lowColumnFactor);
  diagnostics.multicollinearity = diagnostics.correlatedParameters ||
                                  diagnostics.varianceInflationFound ||
                                  diagnostics.toleranceFound || diagnostics.columnsCorrelationFound;
}

// ---------------------------------------------------------------------------------------------
// Values derived from the current fit; the public queries run the fit first.

// b(i) / se(b)(i).
KelVector KelLinearRegression::FitTValues() const {
  KelVector t(numParameters);
  for (int i = 1; i <= numParameters; ++i) t(i) = KelStandardized(fit.b(i), fit.seB(i));
  return t;
}

KelVector KelLinearRegression::FitPValues() const {
  return KelTwoSidedPValues(FitTValues(), degreesOfFreedom);
}

KelVector KelLinearRegression::FitPartialCorrelations() const {
  KelVector t = FitTValues();
  for (int i = 1; i <= numParameters; ++i) {
    const double t2 = t(i) * t(i);
    t(i) = std::sqrt(t2 / (t2 + degreesOfFreedom));
  }
  return t;
}

KelVector KelLinearRegression::FitNormalizedResiduals() const {
  const double divisor =
      responseVariance != 0.0 ? std::sqrt(responseVariance) : fit.standardDeviation;
  KelVector e(numExperiments);
  for (int j = 1; j <= numExperiments; ++j) e(j) = fit.residuals(j) / divisor;
  return e;
}

double KelLinearRegression::FitFExperimental() const {
  return responseVariance != 0.0 ? fit.meanSquareError / responseVariance : 0.0;
}

double KelLinearRegression::FitFTestProbability() const {
  if (responseVariance == 0.0) return 0.0;
  return KelFProbability(degreesOfFreedom, varianceDegreesOfFreedom, FitFExperimental());
}

// Linear correlation of the sorted normalized residuals with the plotting positions.
double KelLinearRegression::FitNormalityIndex() const {
  KelVector e = FitNormalizedResiduals();
  e.Sort();
  const int m = numExperiments;
  KelVector q(m);
  for (int j = 1; j <= m; ++j) q(j) = (j - 0.5) / m;
  return LinearRegressionCoefficient(e, q);
}

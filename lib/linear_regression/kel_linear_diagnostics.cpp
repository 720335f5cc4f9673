// The diagnostics of the least-squares report as a function of the fit, computed without
// printing, and the values derived from the fit alone.
#include "linear_regression/kel_linear_diagnostics.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "factorizations/kel_factorized_symmetric.h"
#include "linear_regression/kel_coefficient_inference.h"
#include "linear_regression/kel_linear_regression.h"
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

// Builds the diagnostics of one fit: each step writes its own fields of the diagnostics it
// holds, in the order of Build.
class DiagnosticsBuilder {
 public:
  DiagnosticsBuilder(const KelLinearDiagnosticsInputs& inputs, KelLinearDiagnostics&& numbered)
      : in(inputs), n(inputs.F.Columns()), d(std::move(numbered)) {}
  KelLinearDiagnostics Build();

 private:
  void computeReportValues();
  void computeVerdicts();
  void computeParameterVerdicts();
  void computeMulticollinearityVerdict();

  const KelLinearDiagnosticsInputs& in;
  const int n;  // parameters
  KelLinearDiagnostics d;
};

// The parameter correlation and its inverse share one factorization with the variance inflation
// factors; the tolerances and column factors come from one factorization of F.
KelLinearDiagnostics DiagnosticsBuilder::Build() {
  // R(j, k) = Cov(j, k) / (sd(j) sd(k)), in its own matrix so that Cov stays.
  CorrelationOfCovariance(in.fit.covariance, &d.parameterCorrelation);
  KelFactorizedSymmetricPivot factorization(d.parameterCorrelation);
  factorization.Inverse(&d.inverseCorrelation);
  KelCollinearity collinearity = KelComputeTolerancesCollinearity(in.F, in.intercept);
  d.tolerances = std::move(collinearity.tolerances);
  d.columnFactors = std::move(collinearity.columnFactors);
  computeReportValues();
  computeVerdicts();
  return std::move(d);
}

// The values the report prints next to its verdicts, from the fit.
void DiagnosticsBuilder::computeReportValues() {
  d.varianceInflationFactors.Resize(n, false);
  for (int i = 1; i <= n; ++i)
    d.varianceInflationFactors(i) = std::fabs(d.inverseCorrelation(i, i));
  d.tValues = KelLeastSquaresTValues(in.fit);
  d.pValues = KelLeastSquaresPValues(in.fit, in.degreesOfFreedom);
  d.partialCorrelations = KelLeastSquaresPartialCorrelations(in.fit, in.degreesOfFreedom);
  d.normalizedResiduals = KelLeastSquaresNormalizedResiduals(in.fit, in.responseVariance);
  d.fExperimental = KelLeastSquaresFExperimental(in.fit, in.responseVariance);
  d.fTestProbability = KelLeastSquaresFTestProbability(
      in.fit, in.responseVariance, in.degreesOfFreedom, in.varianceDegreesOfFreedom);
  d.normalityIndex = KelLeastSquaresNormalityIndex(in.fit, in.responseVariance);
}

// The verdicts of the least-squares report, each with the extreme value that decides it.
void DiagnosticsBuilder::computeVerdicts() {
  namespace limit = kel_linear_thresholds;
  d.illConditioned = in.fit.conditionNumber > limit::kIllConditioned;
  d.badlyScaled = limit::kBadlyScaled * in.fit.conditionNumber > in.fit.systemConditioning;
  d.conditioning = KelConditioning::kWell;
  if (d.illConditioned) d.conditioning = KelConditioning::kIllConditioned;
  if (d.badlyScaled || in.fit.solutionsDisagree)
    d.conditioning = KelConditioning::kMustBeNormalized;

  computeParameterVerdicts();
  computeMulticollinearityVerdict();

  const double index = std::fabs(d.normalityIndex);
  if (index > limit::kNormal)
    d.normality = KelNormality::kConsistent;
  else if (index > limit::kProbablyNormal)
    d.normality = KelNormality::kProbablyViolated;
  else
    d.normality = KelNormality::kViolated;
}

// The verdict of every parameter row the report prints, and of the model's F test (which the
// report prints only with an assigned variance).
void DiagnosticsBuilder::computeParameterVerdicts() {
  namespace limit = kel_linear_thresholds;
  const KelLinearDiagnostics& v = d;
  d.notSignificant =
      parameterFlags(n, [&v](int i) { return v.pValues(i) > limit::kNotSignificant; });
  d.lowPartialCorrelation = parameterFlags(
      n, [&v](int i) { return std::fabs(v.tValues(i)) < limit::kPartialCorrelationT; });
  d.varianceInflated = parameterFlags(
      n, [&v](int i) { return v.varianceInflationFactors(i) > limit::kVarianceInflation; });
  d.lowTolerance = parameterFlags(n, [&v](int i) { return v.tolerances(i) < limit::kTolerance; });
  d.lowColumnFactor =
      parameterFlags(n, [&v](int i) { return v.columnFactors(i) < limit::kColumnFactor; });
  d.fTestLackOfFit = in.responseVariance != 0.0 && d.fTestProbability < limit::kModelFTest;
}

// Multicollinearity by the correlation matrix, the variance inflation factors, the tolerances
// (judged only with more than one parameter) and the column factors, from the row verdicts.
void DiagnosticsBuilder::computeMulticollinearityVerdict() {
  namespace limit = kel_linear_thresholds;
  d.largestCorrelation = LargestCorrelation(d.parameterCorrelation);
  d.correlatedParameters = d.largestCorrelation > limit::kCorrelated;
  d.largestVarianceInflation = 0.0;
  d.smallestTolerance = 1.0;
  d.smallestColumnFactor = 1.0;
  for (int i = 1; i <= n; ++i) {
    d.largestVarianceInflation =
        std::max(d.largestVarianceInflation, d.varianceInflationFactors(i));
    d.smallestTolerance = std::min(d.smallestTolerance, d.tolerances(i));
    d.smallestColumnFactor = std::min(d.smallestColumnFactor, d.columnFactors(i));
  }
  d.varianceInflationFound = anyFlag(d.varianceInflated);
  d.toleranceFound = n > 1 && anyFlag(d.lowTolerance);
  d.columnsCorrelationFound = anyFlag(d.lowColumnFactor);
  d.multicollinearity = d.correlatedParameters || d.varianceInflationFound || d.toleranceFound ||
                        d.columnsCorrelationFound;
}

}  // namespace

KelLinearDiagnostics KelComputeLinearDiagnostics(const KelLinearDiagnosticsInputs& inputs,
                                                 KelLinearDiagnostics&& numbered) {
  return DiagnosticsBuilder(inputs, std::move(numbered)).Build();
}

// Each column regressed on the others (centred R^2 for a model with intercept, uncentred
// without), from one factorization of F instead of one regression per column.
KelCollinearity KelComputeTolerancesCollinearity(const KelMatrix& F, bool intercept) {
  if (F.Columns() >= 2) drawAuxiliaryRegressionNumber();
  return ComputeCollinearity(F, intercept);
}

KelVector KelLeastSquaresTValues(const KelLinearLeastSquaresFit& fit) {
  const int n = fit.b.Size();
  KelVector t(n);
  for (int i = 1; i <= n; ++i) t(i) = KelStandardized(fit.b(i), fit.seB(i));
  return t;
}

KelVector KelLeastSquaresPValues(const KelLinearLeastSquaresFit& fit, int degreesOfFreedom) {
  return KelTwoSidedPValues(KelLeastSquaresTValues(fit), degreesOfFreedom);
}

KelVector KelLeastSquaresPartialCorrelations(const KelLinearLeastSquaresFit& fit,
                                             int degreesOfFreedom) {
  KelVector t = KelLeastSquaresTValues(fit);
  for (int i = 1; i <= t.Size(); ++i) {
    const double t2 = t(i) * t(i);
    t(i) = std::sqrt(t2 / (t2 + degreesOfFreedom));
  }
  return t;
}

KelVector KelLeastSquaresNormalizedResiduals(const KelLinearLeastSquaresFit& fit,
                                             double responseVariance) {
  const double divisor =
      responseVariance != 0.0 ? std::sqrt(responseVariance) : fit.standardDeviation;
  const int m = fit.residuals.Size();
  KelVector e(m);
  for (int j = 1; j <= m; ++j) e(j) = fit.residuals(j) / divisor;
  return e;
}

double KelLeastSquaresFExperimental(const KelLinearLeastSquaresFit& fit, double responseVariance) {
  return responseVariance != 0.0 ? fit.meanSquareError / responseVariance : 0.0;
}

double KelLeastSquaresFTestProbability(const KelLinearLeastSquaresFit& fit, double responseVariance,
                                       int degreesOfFreedom, int varianceDegreesOfFreedom) {
  if (responseVariance == 0.0) return 0.0;
  return KelFProbability(degreesOfFreedom, varianceDegreesOfFreedom,
                         KelLeastSquaresFExperimental(fit, responseVariance));
}

double KelLeastSquaresNormalityIndex(const KelLinearLeastSquaresFit& fit, double responseVariance) {
  KelVector e = KelLeastSquaresNormalizedResiduals(fit, responseVariance);
  e.Sort();
  const int m = e.Size();
  KelVector q(m);
  for (int j = 1; j <= m; ++j) q(j) = (j - 0.5) / m;
  return LinearRegressionCoefficient(e, q);
}

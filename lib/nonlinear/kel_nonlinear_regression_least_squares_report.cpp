// KelNonLinearRegression least-squares report of one model: conditioning, parameters and their
// intervals, covariance and correlation, multicollinearity, singular values and principal
// components, variance analysis, the F-test against assigned variances, and residuals.
#include <cmath>

#include "factorizations/kel_factorized_symmetric.h"
#include "foundation/kel_constants.h"
#include "foundation/kel_output.h"
#include "foundation/kel_report_format.h"
#include "linear_regression/kel_linear_regression.h"
#include "linear_regression/kel_report_blocks.h"
#include "nonlinear/kel_nonlinear_regression.h"
#include "nonlinear/kel_nonlinear_tails.h"
#include "nonlinear/kel_nonlinear_thresholds.h"
#include "statistics/kel_distributions.h"
#include "statistics/kel_standardized.h"

const char* KelEstimationStopText(KelEstimationStop reason) {
  switch (reason) {
    case KelEstimationStop::kStep:
      return "converged on the step";
    case KelEstimationStop::kGradient:
      return "converged on the gradient";
    case KelEstimationStop::kIterationLimit:
      return "NOT converged: iteration limit";
    case KelEstimationStop::kNoProgress:
      return "NOT converged: no progress";
    case KelEstimationStop::kNotEstimated:
    case KelEstimationStop::kContinue:  // never the reason an estimation stopped
      break;
  }
  return "not estimated";
}

void KelNonLinearRegression::LeastSquaresReport(int model) {
  if (model < 1 || model > numModels) {
    KelWarning("Wrong number for model analysis");
    return;
  }
  // A model without starting parameters has no report; its final SSE stays kelUnsetValue.
  if (Diagnosed(model) == nullptr) return;
  PrintLeastSquaresTitle(model);
  PrintSSEAndConditioning(model);
  PrintConstraintWarnings(model);
  PrintNewtonComparison(model);
  PrintParameters(model);
  PrintParameterConfidenceIntervals(model);
  PrintCovarianceAndCorrelation(model);
  PrintVarianceInflationFactors(model);
  PrintTolerances(model);
  PrintSingularValueAnalysis(model);
  PrintPrincipalComponents(model);
  PrintVarianceAnalysis(model);
  PrintModelTest(model);
  PrintResidualsAnalysis(model);
}

void KelNonLinearRegression::PrintLeastSquaresTitle(int model) const {
  KelPrint("\n\n\n\n=================================================");
  KelPrint("\nLeast Squares Regression Analysis for model %d", model);
  KelPrint("\n=================================================\n");
}

void KelNonLinearRegression::PrintSSEAndConditioning(int model) const {
  const Model& m = ModelAt(model);
  KelPrint("\nInitial value of SSE %e", m.estimate.initialSSE);
  KelPrint("\nFinal value of SSE %e", m.estimate.finalSSE);
  KelPrint("\nEstimation %s after %d iterations and %d model evaluations%s",
           KelEstimationStopText(m.estimate.stopReason), m.estimate.iterations,
           m.estimate.evaluations, KelConverged(m.estimate.stopReason) ? "" : kelReportWarning);
  KelPrint("\n\nCondition Number %e", m.statistics.conditionNumber);
  if (m.statistics.conditionNumber > kel_nonlinear_thresholds::kIllConditioned)
    KelPrint("%s   The Jacobian matrix is ill conditioned", kelReportWarning);
  else
    KelPrint("   The Jacobian matrix is well conditioned");
  KelPrint("\nParameters Norm2 %16.7e\n", m.statistics.parametersNorm);
  KelPause();
}

void KelNonLinearRegression::PrintConstraintWarnings(int model) const {
  const Model& m = ModelAt(model);
  for (int k = 1; k <= m.numParameters; ++k) {
    const double b = m.estimate.parameters(k);
    if (b < m.lower(k) + kel_nonlinear_thresholds::kNearConstraint * std::fabs(b))
      KelPrint("\n%s   Parameter %d is near the lower constraint", kelReportWarning, k);
    if (b > m.upper(k) - kel_nonlinear_thresholds::kNearConstraint * std::fabs(b))
      KelPrint("\n%s   Parameter %d is near the upper constraint", kelReportWarning, k);
  }
}

void KelNonLinearRegression::PrintNewtonComparison(int model) const {
  const Model& m = ModelAt(model);
  KelPrint("\n\n          Parameters obtained             Parameters obtained");
  KelPrint("\n             by minimization                 with Newton method");
  bool notWellDefined = false;
  for (int k = 1; k <= m.numParameters; ++k) {
    const double b = m.estimate.parameters(k);
    const double s = m.diagnostics.newtonStep(k);
    KelPrint("\n%3d     %23.14e         %23.14e", k, b, b + s);
    if (std::fabs(s) > kel_nonlinear_thresholds::kNewtonStep * std::fabs(b)) {
      KelPrint("%s   Parameter not well defined", kelReportWarning);
      notWellDefined = true;
    }
  }
  if (notWellDefined)
    KelPrint(
        "\n\n%s   You have to modify the model\n   and/or restart the regression procedure "
        "using the obtained values of parameters\n",
        kelReportWarning);
  KelPause();
}

void KelNonLinearRegression::PrintParameters(int model) const {
  const Model& m = ModelAt(model);
  KelPrint("\n\n Par.         Value           Standard Error      T-Value          P-Value");
  for (int k = 1; k <= m.numParameters; ++k) {
    const double b = m.estimate.parameters(k);
    const double se = m.statistics.standardErrors(k);
    const double t = KelStandardized(b, se);
    const double p = kel_nonlinear_tails::TwoSidedT(m.statistics.degreesOfFreedom, t);
    KelPrint("\n%3d %23.14e %16.7e %16.7e %16.7e", k, b, se, t, p);
    if (p > kel_nonlinear_thresholds::kNotSignificant) KelPrint("%s", kelReportWarning);
  }
  KelPause();
}

void KelNonLinearRegression::PrintParameterConfidenceIntervals(int model) const {
  const Model& m = ModelAt(model);
  PrintParameterIntervals(m.estimate.parameters, m.statistics.standardErrors, m.statistics.t95,
                          m.statistics.t99, kelReportWarning);
  KelPause();
}

void KelNonLinearRegression::PrintCovarianceAndCorrelation(int model) const {
  const Model& m = ModelAt(model);
  KelPrintResult(m.statistics.covariance, "\n\nVariance-Covariance Matrix");
  KelPause();
  KelPrintResult(m.diagnostics.correlation, "Correlation Matrix");
  KelPause();
}

void KelNonLinearRegression::PrintVarianceInflationFactors(int model) const {
  const Model& m = ModelAt(model);
  KelPrint("\nVariance inflation factor");
  for (int k = 1; k <= m.numParameters; ++k) {
    KelPrint("\n%d %16.7e", k, m.diagnostics.inflationFactors(k));
    if (m.diagnostics.inflationFactors(k) > kel_nonlinear_thresholds::kVarianceInflation)
      KelPrint(" %s", kelReportWarning);
  }
  if (m.diagnostics.correlationFlag)
    KelPrint("\n\n %s Correlation between Parameters", kelReportWarning);
  KelPause();
}

void KelNonLinearRegression::PrintTolerances(int model) const {
  const Model& m = ModelAt(model);
  KelPrint("\n\nColumns correlation = Tj Tolerance");
  for (int k = 1; k <= m.numParameters; ++k) {
    KelPrint("\n%d %16.7e", k, m.diagnostics.tolerances(k));
    if (m.diagnostics.tolerances(k) < kel_nonlinear_thresholds::kTolerance)
      KelPrint(" %s", kelReportWarning);
  }
  if (m.diagnostics.multicollinearity) {
    KelPrint("\n\n %s Correlation between Parameters", kelReportWarning);
    KelPrint("\nThe Tj Tolerance identifies serious multicollinearities");
  } else {
    KelPrint("\n\nThe Tj Tolerance does not identify serious multicollinearities");
  }
  KelPause();
}

void KelNonLinearRegression::PrintSingularValueAnalysis(int model) const {
  const Model& m = ModelAt(model);
  const KelVector& sigma = m.statistics.singularValues;
  const double threshold = std::sqrt(static_cast<double>(kelMachEpsFloat)) * sigma(1);
  KelPrint("\n\n=============================");
  KelPrint("\nSingular Value Analysis");
  KelPrint("\n=============================");
  KelPrint("\nSingular Values D");
  for (int i = 1; i <= m.numParameters; ++i) {
    KelPrint("\n%3d%16.7e", i, sigma(i) * meanWeight);
    if (threshold > sigma(i)) KelPrint("%s", kelReportWarning);
  }
  KelPause();
  KelPrint("\n\nColumns of Matrix V = Principal Diameters of the Confidence Region");
  for (int i = 1; i <= m.numParameters; ++i) {
    const double length = sigma(i) == 0.0 ? kelUnbounded : 1.0 / (sigma(i) * meanWeight);
    KelPrint("\n\nDiameter N. %d Semi-Diameter Length = %e", i, length);
    if (threshold > sigma(i)) KelPrint("%s", kelReportWarning);
    for (int k = 1; k <= m.numParameters; ++k)
      KelPrint("\n%16.7e", m.statistics.rightVectors(k, i));
  }
  KelPause();
}

void KelNonLinearRegression::PrintPrincipalComponents(int model) const {
  const Model& m = ModelAt(model);
  KelPrint("\n\n=============================");
  KelPrint("\nPrincipal Components Analysis");
  KelPrint("\n=============================");
  for (int c = 1; c <= m.numParameters - m.statistics.rankDeficiency; ++c) {
    KelPrint("\nComponent No. %d", c);
    KelPrint("\nRelative Importance %e",
             KelStandardized(m.statistics.singularValues(c), m.statistics.singularValues(1)));
    for (int k = 1; k <= m.numParameters; ++k)
      KelPrint("\n%16.7e f[%d]", m.statistics.scaledVectors(c, k), k);
  }
  KelPause();
}

void KelNonLinearRegression::PrintVarianceAnalysis(int model) const {
  const Model& m = ModelAt(model);
  KelPrint("\n\n=============================");
  KelPrint("\nVariance Analysis");
  KelPrint("\n=============================");
  PrintValueLines({{kelReportTotalSumOfSquares, sst},
                   {kelReportResidualsNorm, m.statistics.residualsNorm},
                   {kelReportSumOfSquares, m.statistics.sumOfSquares},
                   {kelReportStandardDeviation, m.statistics.standardDeviation},
                   {kelReportMeanSquareError, m.statistics.meanSquareError},
                   {"Weighted Square Error", m.estimate.finalSSE},
                   {kelReportR2, m.statistics.r2}},
                  kelReportLabelWidth);
  KelPause();
}

void KelNonLinearRegression::PrintModelTest(int model) const {
  if (weightingKind != 2) return;
  const Model& m = ModelAt(model);
  if (numY == 1) {
    KelPrint("\nResponse Variance Assigned              = %16.7e", responseVariances(1));
  } else {
    KelPrint("\nResponse Variance Assigned");
    for (int j = 1; j <= numY; ++j)
      KelPrint("\nResponse Variable %d                     = %16.7e", j, responseVariances(j));
  }
  KelPrint("\n\n\nF-test for the model");
  KelPrint("\nFexperimental = %e", m.diagnostics.fExperimental);
  KelPrint("\nThe probability that F with dfNum %d dfDen %d \nis greater than %e is %e",
           m.diagnostics.fDegreesOfFreedom, varianceDegreesOfFreedom, m.diagnostics.fExperimental,
           m.diagnostics.fProbability);
  if (m.diagnostics.fProbability < kel_nonlinear_thresholds::kModelFTest)
    KelPrint("%s", kelReportComparisonWarning);
  KelPause();
}

void KelNonLinearRegression::PrintResidualsAnalysis(int model) const {
  const Model& m = ModelAt(model);
  KelPrint("\n\n=============================");
  KelPrint("\nResiduals Analysis");
  KelPrint("\n=============================");
  for (int j = 1; j <= numY; ++j) {
    const double d =
        weightingKind == 2 ? std::sqrt(responseVariances(j)) : m.statistics.standardDeviation;
    KelPrint("\n\nResponse Variable %d", j);
    KelPrint(
        "\n        Observed y     Estimated y     Residuals r    Residuals    Residuals\n"
        "                                                      Normalized    Weighted");
    for (int l = 1; l <= numExperiments; ++l) {
      const int i = l + (j - 1) * numExperiments;
      const double normalized = KelStandardized(m.estimate.residuals(i), d);
      KelPrint("\n%3d%16.7e%16.7e%16.7e%9.2f  %12.2f", l, y(i), m.estimate.predictions(i),
               m.estimate.residuals(i), normalized, m.estimate.weightedResiduals(i));
      if (std::fabs(normalized) > kel_nonlinear_thresholds::kLargeResidual)
        KelPrint("%s", kelReportWarning);
    }
    KelPause();
    const KelRowRange response{(j - 1) * numExperiments, numExperiments};
    PrintResponseIntervalBlock(kelReportResponseInterval95, m.estimate.predictions,
                               m.statistics.predictionStandardErrors, m.statistics.t95,
                               kelReportWarning, response);
    KelPause();
    PrintResponseIntervalBlock(kelReportResponseInterval99, m.estimate.predictions,
                               m.statistics.predictionStandardErrors, m.statistics.t99,
                               kelReportWarning, response);
    KelPause();
  }
}

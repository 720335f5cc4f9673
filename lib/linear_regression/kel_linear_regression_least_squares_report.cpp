// KelLinearRegression: the least-squares report, one function per section. The sections only
// read stored results.
#include <cmath>
#include <utility>

#include "foundation/kel_output.h"
#include "foundation/kel_report_format.h"
#include "linear_regression/kel_linear_regression.h"
#include "linear_regression/kel_report_rows.h"

namespace {

void printCorrelationVerdict(bool found, const char* diagnostic) {
  if (found)
    KelPrint(
        "\n\n %s Correlation between Parameters\nThe %s identifies serious multicollinearities",
        kelReportWarning, diagnostic);
  else
    KelPrint("\n\nThe %s does not identify serious multicollinearities", diagnostic);
}

}  // namespace

// The robust report repeats the multicollinearity and conditioning verdicts of the least-squares
// report when that report has run for the current data (and says nothing of them otherwise):
// printing the least-squares report is what leaves them, so they are set here and nowhere else.
void KelLinearRegression::LeaveLeastSquaresVerdicts() {
  multicollinearityFound = multicollinearity ? 1 : 0;
  switch (conditioning) {
    case KelConditioning::kWell:
      conditioningVerdict = kConditioningNone;
      break;
    case KelConditioning::kIllConditioned:
      conditioningVerdict = kIllConditioned;
      break;
    case KelConditioning::kMustBeNormalized:
      conditioningVerdict = kMustBeNormalized;
      break;
  }
}

// Prints the least-squares report, running the fit and its diagnostics first when needed.
void KelLinearRegression::LeastSquaresAnalysis() {
  EnsureDiagnostics();
  LeaveLeastSquaresVerdicts();
  PrintTitle();
  PrintConditioning();
  PrintParameters();
  PrintPartialCorrelations();
  PrintParameterConfidenceIntervals();
  PrintCovariance();
  PrintCorrelation();
  PrintVarianceInflationFactors();
  if (numParameters > 1) PrintTolerances();
  PrintColumnsCorrelation();
  PrintMulticollinearityVerdict();
  PrintGoodnessOfFit();
  if (responseVariance != 0.0) PrintFTest();
  PrintResiduals();
  PrintResponseConfidenceIntervals();
  PrintNormality();
  PrintOutlierVerdict();
}

void KelLinearRegression::PrintTitle() const {
  KelPrint("\n\n================================");
  // The earlier form of the regression had the singular in its title.
  KelPrint(earlierForm != 0 ? "\nLeast Square Regression Analysis"
                            : "\nLeast Squares Regression Analysis");
  KelPrint("\n================================\n");
}

void KelLinearRegression::PrintConditioning() const {
  KelPrint("\nCondition Number %e", conditionNumber);
  if (illConditioned) {
    KelPrint("%s", kelReportWarning);
    KelPrint("\nThe condition number identifies serious multicollinearities\n");
  } else {
    KelPrint("   The matrix F is well conditioned");
    KelPrint("\nThe condition number does not identify serious multicollinearities\n");
  }
  KelPrint("\nSystem Contitioning %e", systemConditioning);
  if (badlyScaled) {
    KelPrint("%s", kelReportWarning);
    KelPrint("\nMatrix F has to be normalized\n");
  }
  if (solutionsDisagree != 0) {
    KelPrint("\nParameters have to be evaluated with standardized matrix");
    KelPrint("%s", kelReportWarning);
  }
}

void KelLinearRegression::PrintParameters() const {
  const KelVector& t = tValues;
  const KelVector& p = pValues;
  KelPrint("\nParameters Norm2 %16.7e", parametersNorm);
  KelPrint("\n\n Par.      Value       Standard Error      T-Value          P-Value");
  for (int i = 1; i <= numParameters; ++i) {
    KelPrint("\n%3d %16.7e %16.7e %16.7e %16.7e", i, b(i), seB(i), t(i), p(i));
    if (p(i) > 0.05) KelPrint("%s", kelReportWarning);
  }
}

void KelLinearRegression::PrintPartialCorrelations() const {
  const KelVector& t = tValues;
  const KelVector& partial = partialCorrelations;
  KelPrint("\n\nPartial Correlations");
  for (int i = 1; i <= numParameters; ++i) {
    KelPrint("\n%3d %16.7e", i, partial(i));
    if (std::fabs(t(i)) < 2.0) KelPrint("%s", kelReportWarning);
  }
}

void KelLinearRegression::PrintParameterConfidenceIntervals() const {
  const double quantiles[2] = {t95, t99};
  const char* titles[2] = {"\n\nConfidence Interval 95%", "\n\nConfidence Interval 99%"};
  for (int level = 0; level < 2; ++level) {
    KelPrint("%s", titles[level]);
    KelPrint("\n Par.      Lower           Upper");
    for (int i = 1; i <= numParameters; ++i) {
      const double h = seB(i) * quantiles[level];
      KelPrint("\n%3d %16.7e %16.7e", i, b(i) - h, b(i) + h);
      if (h > 2.5 * std::fabs(b(i))) KelPrint("%s", kelReportWarning);
    }
  }
  KelPause();
}

void KelLinearRegression::PrintCovariance() const {
  KelPrintResult(covariance, "\n\nVariance-Covariance Matrix");
  KelPause();
}

void KelLinearRegression::PrintCorrelation() const {
  KelPrintResult(parameterCorrelation, "Correlation Matrix");
}

void KelLinearRegression::PrintVarianceInflationFactors() const {
  const KelVector& vif = varianceInflationFactors;
  KelPrint("\n\nVariance inflation factor");
  for (int i = 1; i <= numParameters; ++i) {
    KelPrint("\n%d %16.7e", i, vif(i));
    if (vif(i) > kel_linear_thresholds::kVarianceInflation) KelPrint(" %s", kelReportWarning);
  }
  printCorrelationVerdict(varianceInflationFound, "Variance inflation factor");
  KelPause();
}

void KelLinearRegression::PrintTolerances() const {
  KelPrint("\n\nColumns correlation = Tj Tolerance");
  for (int i = 1; i <= numParameters; ++i) {
    KelPrint("\n%d %16.7e", i, tolerances(i));
    if (tolerances(i) < kel_linear_thresholds::kTolerance) KelPrint(" %s", kelReportWarning);
  }
  printCorrelationVerdict(toleranceFound, "Tj Tolerance");
  KelPause();
}

void KelLinearRegression::PrintColumnsCorrelation() const {
  KelPrint("\n\nkelColumnsCorrelation");
  for (int i = 1; i <= numParameters; ++i) {
    KelPrint("\n%d %16.7e", i, columnFactors(i));
    if (columnFactors(i) < kel_linear_thresholds::kColumnFactor) KelPrint(" %s", kelReportWarning);
  }
  printCorrelationVerdict(columnsCorrelationFound, "kelColumnsCorrelation factor");
  KelPause();
}

void KelLinearRegression::PrintMulticollinearityVerdict() const {
  if (multicollinearity)
    KelPrint(
        "\n %s Correlation between Parameters\nSerious multicollinearities have been identified",
        kelReportWarning);
  else
    KelPrint("\nNo serious multicollinearities have been identified");
  KelPause();
}

void KelLinearRegression::PrintGoodnessOfFit() const {
  KelPrint("\n\n\nTotal Sum of Squares                    = %16.7e", totalSumOfSquares);
  if (interceptFlag != 0)
    KelPrint("\nTotal Sum of Squares corrected by mean  = %16.7e", correctedTotalSumOfSquares);
  KelPrint("\nResiduals Norm2                         = %16.7e", residualsNorm);
  KelPrint("\nSum of Squares                          = %16.7e", sumOfSquares);
  KelPrint("\nStandard Deviation                      = %16.7e", standardDeviation);
  KelPrint("\nMean Square Error                       = %16.7e", meanSquareError);
  KelPrint("\nCoefficient of Determination (R2)       = %16.7e", r2);
  KelPrint("\nAdjusted R2                             = %16.7e", adjustedR2);
  KelPause();
}

void KelLinearRegression::PrintFTest() const {
  const double p = fTestProbability;
  KelPrint("\nResponse Variance Assigned              = %16.7e", responseVariance);
  KelPrint("\n\n\nF-test for the model");
  KelPrint("\nFexperimental = %e", fExperimental);
  KelPrint("\nThe probability that F with dfNum %d dfDen %d \nis greater than %e is %e",
           degreesOfFreedom, varianceDegreesOfFreedom, fExperimental, p);
  if (p < 0.05) KelPrint("%s", kelReportWarning);
  KelPause();
}

void KelLinearRegression::PrintResiduals() const {
  const KelVector& e = normalizedResiduals;
  KelPrint(
      "\n\n        Observed y     Estimated y     Residuals r    Residuals\n"
      "                                                      Normalized");
  PrintResidualRows(y, yEstimated, residuals, e, kelReportWarning);
  KelPause();
}

void KelLinearRegression::PrintResponseConfidenceIntervals() const {
  // These titles go through the formatter: "%%" prints one "%".
  KelPrint("\n\nConfidence Interval 95%% for y");
  PrintResponseIntervalRows(t95);
  KelPrint("\n\nConfidence Interval 99%% for y");
  PrintResponseIntervalRows(t99);
  KelPause();
}

void KelLinearRegression::PrintResponseIntervalRows(double quantile) const {
  KelPrint("\n Exp.      Lower            y             Upper");
  PrintResponseIntervals(yEstimated, seYEstimated, quantile, kelReportWarning);
}

void KelLinearRegression::PrintNormality() const {
  KelPrint("\n\n\nFirst Index for normality assumption       = %16.7e", normalityIndex);
  if (normality == KelNormality::kConsistent)
    KelPrint("\nThe data are consistent with the normality assumption");
  else if (normality == KelNormality::kProbablyViolated)
    KelPrint("\nThe normality assumption is probably violated");
  else
    KelPrint("\nThe normality assumption is violated");
  KelPause();
}

void KelLinearRegression::PrintOutlierVerdict() const {
  if (highlyProbableOutlier >= 1)
    KelPrint("\n\n\nThe experiment %d is a highly probable outlier", highlyProbableOutlier);
  else if (probableOutlier > 0)
    KelPrint("\n\n\nThe experiment %d is a probable outlier", probableOutlier);
}

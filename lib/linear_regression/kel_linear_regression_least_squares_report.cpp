// KelLinearRegression: the least-squares report, one function per section. The sections only
// read stored results.
#include <utility>

#include "foundation/kel_output.h"
#include "foundation/kel_report_format.h"
#include "linear_regression/kel_linear_regression.h"
#include "linear_regression/kel_report_blocks.h"

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
  reported.multicollinearity = diagnostics.multicollinearity;
  reported.conditioning = diagnostics.conditioning;
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
  KelPrint(earlierForm ? "\nLeast Square Regression Analysis"
                       : "\nLeast Squares Regression Analysis");
  KelPrint("\n================================\n");
}

void KelLinearRegression::PrintConditioning() const {
  KelPrint("\nCondition Number %e", fit.conditionNumber);
  if (diagnostics.illConditioned) {
    KelPrint("%s", kelReportWarning);
    KelPrint("\nThe condition number identifies serious multicollinearities\n");
  } else {
    KelPrint("   The matrix F is well conditioned");
    KelPrint("\nThe condition number does not identify serious multicollinearities\n");
  }
  KelPrint("\nSystem Contitioning %e", fit.systemConditioning);
  if (diagnostics.badlyScaled) {
    KelPrint("%s", kelReportWarning);
    KelPrint("\nMatrix F has to be normalized\n");
  }
  if (fit.solutionsDisagree) {
    KelPrint("\nParameters have to be evaluated with standardized matrix");
    KelPrint("%s", kelReportWarning);
  }
}

void KelLinearRegression::PrintParameters() const {
  const KelVector& t = diagnostics.tValues;
  const KelVector& p = diagnostics.pValues;
  KelPrint("\nParameters Norm2 %16.7e", fit.parametersNorm);
  KelPrint("\n\n Par.      Value       Standard Error      T-Value          P-Value");
  for (int i = 1; i <= numParameters; ++i) {
    KelPrint("\n%3d %16.7e %16.7e %16.7e %16.7e", i, fit.b(i), fit.seB(i), t(i), p(i));
    if (diagnostics.notSignificant[static_cast<size_t>(i)]) KelPrint("%s", kelReportWarning);
  }
}

void KelLinearRegression::PrintPartialCorrelations() const {
  const KelVector& partial = diagnostics.partialCorrelations;
  KelPrint("\n\nPartial Correlations");
  for (int i = 1; i <= numParameters; ++i) {
    KelPrint("\n%3d %16.7e", i, partial(i));
    if (diagnostics.lowPartialCorrelation[static_cast<size_t>(i)]) KelPrint("%s", kelReportWarning);
  }
}

void KelLinearRegression::PrintParameterConfidenceIntervals() const {
  PrintParameterIntervals(fit.b, fit.seB, fit.t95, fit.t99, kelReportWarning);
  KelPause();
}

void KelLinearRegression::PrintCovariance() const {
  KelPrintResult(fit.covariance, "\n\nVariance-Covariance Matrix");
  KelPause();
}

void KelLinearRegression::PrintCorrelation() const {
  KelPrintResult(diagnostics.parameterCorrelation, "Correlation Matrix");
}

void KelLinearRegression::PrintVarianceInflationFactors() const {
  const KelVector& vif = diagnostics.varianceInflationFactors;
  KelPrint("\n\nVariance inflation factor");
  for (int i = 1; i <= numParameters; ++i) {
    KelPrint("\n%d %16.7e", i, vif(i));
    if (diagnostics.varianceInflated[static_cast<size_t>(i)]) KelPrint(" %s", kelReportWarning);
  }
  printCorrelationVerdict(diagnostics.varianceInflationFound, "Variance inflation factor");
  KelPause();
}

void KelLinearRegression::PrintTolerances() const {
  KelPrint("\n\nColumns correlation = Tj Tolerance");
  for (int i = 1; i <= numParameters; ++i) {
    KelPrint("\n%d %16.7e", i, diagnostics.tolerances(i));
    if (diagnostics.lowTolerance[static_cast<size_t>(i)]) KelPrint(" %s", kelReportWarning);
  }
  printCorrelationVerdict(diagnostics.toleranceFound, "Tj Tolerance");
  KelPause();
}

void KelLinearRegression::PrintColumnsCorrelation() const {
  KelPrint("\n\nkelColumnsCorrelation");
  for (int i = 1; i <= numParameters; ++i) {
    KelPrint("\n%d %16.7e", i, diagnostics.columnFactors(i));
    if (diagnostics.lowColumnFactor[static_cast<size_t>(i)]) KelPrint(" %s", kelReportWarning);
  }
  printCorrelationVerdict(diagnostics.columnsCorrelationFound, "kelColumnsCorrelation factor");
  KelPause();
}

void KelLinearRegression::PrintMulticollinearityVerdict() const {
  if (diagnostics.multicollinearity)
    KelPrint(
        "\n %s Correlation between Parameters\nSerious multicollinearities have been identified",
        kelReportWarning);
  else
    KelPrint("\nNo serious multicollinearities have been identified");
  KelPause();
}

void KelLinearRegression::PrintGoodnessOfFit() const {
  KelPrint("\n\n");
  PrintValueLines({{kelReportTotalSumOfSquares, fit.totalSumOfSquares}}, kelReportLabelWidth);
  if (interceptFlag != 0)
    PrintValueLines({{"Total Sum of Squares corrected by mean", fit.correctedTotalSumOfSquares}},
                    kelReportLabelWidth);
  PrintValueLines({{kelReportResidualsNorm, fit.residualsNorm},
                   {kelReportSumOfSquares, fit.sumOfSquares},
                   {kelReportStandardDeviation, fit.standardDeviation},
                   {kelReportMeanSquareError, fit.meanSquareError},
                   {kelReportR2, fit.r2},
                   {"Adjusted R2", fit.adjustedR2}},
                  kelReportLabelWidth);
  KelPause();
}

void KelLinearRegression::PrintFTest() const {
  const double p = diagnostics.fTestProbability;
  KelPrint("\nResponse Variance Assigned              = %16.7e", responseVariance);
  KelPrint("\n\n\nF-test for the model");
  KelPrint("\nFexperimental = %e", diagnostics.fExperimental);
  KelPrint("\nThe probability that F with dfNum %d dfDen %d \nis greater than %e is %e",
           degreesOfFreedom, varianceDegreesOfFreedom, diagnostics.fExperimental, p);
  if (diagnostics.fTestLackOfFit) KelPrint("%s", kelReportWarning);
  KelPause();
}

void KelLinearRegression::PrintResiduals() const {
  const KelVector& e = diagnostics.normalizedResiduals;
  KelPrint(
      "\n\n        Observed y     Estimated y     Residuals r    Residuals\n"
      "                                                      Normalized");
  PrintResidualRows(y, fit.yEstimated, fit.residuals, e, kelReportWarning);
  KelPause();
}

void KelLinearRegression::PrintResponseConfidenceIntervals() const {
  const KelRowRange all{0, numExperiments};
  PrintResponseIntervalBlock(kelReportResponseInterval95, fit.yEstimated, fit.seYEstimated, fit.t95,
                             kelReportWarning, all);
  PrintResponseIntervalBlock(kelReportResponseInterval99, fit.yEstimated, fit.seYEstimated, fit.t99,
                             kelReportWarning, all);
  KelPause();
}

void KelLinearRegression::PrintNormality() const {
  KelPrint("\n\n\nFirst Index for normality assumption       = %16.7e", diagnostics.normalityIndex);
  if (diagnostics.normality == KelNormality::kConsistent)
    KelPrint("\nThe data are consistent with the normality assumption");
  else if (diagnostics.normality == KelNormality::kProbablyViolated)
    KelPrint("\nThe normality assumption is probably violated");
  else
    KelPrint("\nThe normality assumption is violated");
  KelPause();
}

void KelLinearRegression::PrintOutlierVerdict() const {
  if (fit.highlyProbableOutlier >= 1)
    KelPrint("\n\n\nThe experiment %d is a highly probable outlier", fit.highlyProbableOutlier);
  else if (fit.probableOutlier > 0)
    KelPrint("\n\n\nThe experiment %d is a probable outlier", fit.probableOutlier);
}

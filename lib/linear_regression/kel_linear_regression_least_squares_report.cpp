// KelLinearRegression: the diagnostics of the least-squares report (parameter correlation,
// variance inflation factors, Tj tolerances, column-correlation factors, normality index) and
// the report itself, one function per section. The sections only read stored results.
#include <algorithm>
#include <cmath>

#include "kel_distributions.h"
#include "kel_factorized_householder.h"
#include "kel_factorized_symmetric.h"
#include "kel_linear_regression.h"
#include "kel_output.h"
#include "kel_report_format.h"

namespace {

void PrintCorrelationVerdict(bool found, const char* diagnostic) {
  if (found)
    KelPrint(
        "\n\n %s Correlation between Parameters\nThe %s identifies serious multicollinearities",
        kelReportWarning, diagnostic);
  else
    KelPrint("\n\nThe %s does not identify serious multicollinearities", diagnostic);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Diagnostics

void KelLinearRegression::EnsureDiagnostics() {
  EnsureLeastSquares();
  if (diagnosticsComputed != 0) return;
  ComputeParameterCorrelation();
  KelFactorizedSymmetricPivot factorization(parameterCorrelation);
  factorization.Inverse(&inverseCorrelation);
  tolerances = ComputeTolerances();
  columnFactors = ComputeColumnsCorrelation();
  diagnosticsComputed = 1;
}

// R(j, k) = Cov(j, k) / (sd(j) sd(k)), computed in a copy so that Cov stays.
void KelLinearRegression::ComputeParameterCorrelation() {
  const int n = numParameters;
  parameterCorrelation = covariance;
  std::vector<double> sd(static_cast<size_t>(n) + 1);
  for (int i = 1; i <= n; ++i) sd[i] = std::max(std::sqrt(covariance(i, i)), 1e-20);
  for (int j = 1; j <= n; ++j) {
    for (int k = 1; k < j; ++k) parameterCorrelation(j, k) = covariance(j, k) / (sd[j] * sd[k]);
    parameterCorrelation(j, j) = 1.0;
  }
}

const KelMatrixSymmetric& KelLinearRegression::ParameterCorrelation() {
  EnsureDiagnostics();
  return parameterCorrelation;
}

KelVector KelLinearRegression::VarianceInflationFactors() {
  EnsureDiagnostics();
  KelVector vif(numParameters);
  for (int i = 1; i <= numParameters; ++i) vif(i) = std::fabs(inverseCorrelation(i, i));
  return vif;
}

const KelVector& KelLinearRegression::Tolerances() {
  EnsureDiagnostics();
  return tolerances;
}

const KelVector& KelLinearRegression::ColumnsCorrelationFactors() {
  EnsureDiagnostics();
  return columnFactors;
}

double KelLinearRegression::NormalityIndex() {
  KelVector e = NormalizedResiduals();
  e.Sort();
  const int m = numExperiments;
  KelVector q(m);
  for (int j = 1; j <= m; ++j) q(j) = (j - 0.5) / m;
  return LinearRegressionCoefficient(e, q);
}

// Each column regressed on the others by one auxiliary regression reused for every column.
// The auxiliary model decides its own intercept from its first column, so an intercept model
// gives centred R^2 and a model without intercept uncentred R^2.
KelVector KelLinearRegression::ComputeTolerances() {
  const int m = numExperiments;
  const int n = numParameters;
  KelVector t(n);
  t = 1.0;
  if (n < 2) return t;
  const int first = interceptFlag != 0 ? 2 : 1;
  KelLinearRegression auxiliary;
  KelMatrix others(m, n - 1);
  KelVector column(m);
  for (int i = first; i <= n; ++i) {
    int target = 1;
    if (interceptFlag != 0) {
      others.SetColumn(1, 1.0);
      target = 2;
    }
    for (int j = first; j <= n; ++j) {
      if (j == i) continue;
      for (int r = 1; r <= m; ++r) others(r, target) = F(r, j);
      ++target;
    }
    F.GetColumn(i, column);
    auxiliary.Initialize(others, column);
    t(i) = 1.0 - auxiliary.GetR2();
  }
  return t;
}

// |last diagonal element of R| in the QR factorization of the normalized columns with column i
// moved last: the distance of that column from the space the others span.
KelVector KelLinearRegression::ComputeColumnsCorrelation() {
  const int n = numParameters;
  const KelQuietMessages quiet;
  KelMatrix normalized = F;
  KelVector k(n);
  int first = 1;
  if (interceptFlag != 0) {
    double mean = 0.0;
    double norm = 0.0;
    for (int j = 2; j <= n; ++j) normalized.NormalizeColumn(j, &mean, &norm);
    k(1) = 1.0;
    first = 2;
  } else {
    normalized.NormalizeColumns();
  }
  KelVector diagonal;
  for (int i = first; i <= n; ++i) {
    KelMatrix moved = normalized;
    if (i < n) moved.SwapColumns(i, n);
    KelFactorizedQR qr(moved);
    qr.GetDiagonal(&diagonal);
    k(i) = std::fabs(diagonal(n));
  }
  return k;
}

// ---------------------------------------------------------------------------------------------
// Report

// Prints the least-squares report, running the fit and its diagnostics first when needed, and
// leaves the multicollinearity flag and the conditioning verdict for the robust report.
void KelLinearRegression::LeastSquaresAnalysis() {
  EnsureDiagnostics();
  multicollinearityFound = 0;
  conditioningVerdict = kConditioningNone;
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

void KelLinearRegression::PrintTitle() {
  KelPrint("\n\n================================");
  // The earlier form of the regression had the singular in its title.
  KelPrint(earlierForm != 0 ? "\nLeast Square Regression Analysis"
                            : "\nLeast Squares Regression Analysis");
  KelPrint("\n================================\n");
}

void KelLinearRegression::PrintConditioning() {
  KelPrint("\nCondition Number %e", conditionNumber);
  if (conditionNumber > 1000.0) {
    KelPrint("%s", kelReportWarning);
    conditioningVerdict = kIllConditioned;
    KelPrint("\nThe condition number identifies serious multicollinearities\n");
  } else {
    KelPrint("   The matrix F is well conditioned");
    KelPrint("\nThe condition number does not identify serious multicollinearities\n");
  }
  KelPrint("\nSystem Contitioning %e", systemConditioning);
  // Balancing that lowers the condition number more than a hundredfold means F is badly scaled.
  if (0.01 * conditionNumber > systemConditioning) {
    KelPrint("%s", kelReportWarning);
    conditioningVerdict = kMustBeNormalized;
    KelPrint("\nMatrix F has to be normalized\n");
  }
  if (solutionsDisagree != 0) {
    conditioningVerdict = kMustBeNormalized;
    KelPrint("\nParameters have to be evaluated with standardized matrix");
    KelPrint("%s", kelReportWarning);
  }
}

void KelLinearRegression::PrintParameters() {
  const KelVector t = ParameterTValues();
  const KelVector p = ParameterPValues();
  KelPrint("\nParameters Norm2 %16.7e", parametersNorm);
  KelPrint("\n\n Par.      Value       Standard Error      T-Value          P-Value");
  for (int i = 1; i <= numParameters; ++i) {
    KelPrint("\n%3d %16.7e %16.7e %16.7e %16.7e", i, b(i), seB(i), t(i), p(i));
    if (p(i) > 0.05) KelPrint("%s", kelReportWarning);
  }
}

void KelLinearRegression::PrintPartialCorrelations() {
  const KelVector t = ParameterTValues();
  const KelVector partial = PartialCorrelations();
  KelPrint("\n\nPartial Correlations");
  for (int i = 1; i <= numParameters; ++i) {
    KelPrint("\n%3d %16.7e", i, partial(i));
    if (std::fabs(t(i)) < 2.0) KelPrint("%s", kelReportWarning);
  }
}

void KelLinearRegression::PrintParameterConfidenceIntervals() {
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

void KelLinearRegression::PrintCovariance() {
  covariance.Print("\n\nVariance-Covariance Matrix");
  KelPause();
}

void KelLinearRegression::PrintCorrelation() {
  for (int j = 1; j <= numParameters; ++j)
    for (int k = 1; k < j; ++k)
      if (std::fabs(parameterCorrelation(j, k)) > 0.99) multicollinearityFound = 1;
  parameterCorrelation.Print("Correlation Matrix");
}

void KelLinearRegression::PrintVarianceInflationFactors() {
  const KelVector vif = VarianceInflationFactors();
  bool found = false;
  KelPrint("\n\nVariance inflation factor");
  for (int i = 1; i <= numParameters; ++i) {
    KelPrint("\n%d %16.7e", i, vif(i));
    if (vif(i) > 1000.0) {
      found = true;
      KelPrint(" %s", kelReportWarning);
    }
  }
  if (found) multicollinearityFound = 1;
  PrintCorrelationVerdict(found, "Variance inflation factor");
  KelPause();
}

void KelLinearRegression::PrintTolerances() {
  bool found = false;
  KelPrint("\n\nColumns correlation = Tj Tolerance");
  for (int i = 1; i <= numParameters; ++i) {
    KelPrint("\n%d %16.7e", i, tolerances(i));
    if (tolerances(i) < 0.01) {
      found = true;
      KelPrint(" %s", kelReportWarning);
    }
  }
  if (found) multicollinearityFound = 1;
  PrintCorrelationVerdict(found, "Tj Tolerance");
  KelPause();
}

void KelLinearRegression::PrintColumnsCorrelation() {
  bool found = false;
  KelPrint("\n\nkelColumnsCorrelation");
  for (int i = 1; i <= numParameters; ++i) {
    KelPrint("\n%d %16.7e", i, columnFactors(i));
    if (columnFactors(i) < 0.1) {
      found = true;
      KelPrint(" %s", kelReportWarning);
    }
  }
  if (found) multicollinearityFound = 1;
  PrintCorrelationVerdict(found, "kelColumnsCorrelation factor");
  KelPause();
}

void KelLinearRegression::PrintMulticollinearityVerdict() {
  if (multicollinearityFound != 0)
    KelPrint(
        "\n %s Correlation between Parameters\nSerious multicollinearities have been identified",
        kelReportWarning);
  else
    KelPrint("\nNo serious multicollinearities have been identified");
  KelPause();
}

void KelLinearRegression::PrintGoodnessOfFit() {
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

void KelLinearRegression::PrintFTest() {
  const double fExperimental = FExperimental();
  const double p = FTestProbability();
  KelPrint("\nResponse Variance Assigned              = %16.7e", responseVariance);
  KelPrint("\n\n\nF-test for the model");
  KelPrint("\nFexperimental = %e", fExperimental);
  KelPrint("\nThe probability that F with dfNum %d dfDen %d \nis greater than %e is %e",
           degreesOfFreedom, varianceDegreesOfFreedom, fExperimental, p);
  if (p < 0.05) KelPrint("%s", kelReportWarning);
  KelPause();
}

void KelLinearRegression::PrintResiduals() {
  const KelVector e = NormalizedResiduals();
  KelPrint(
      "\n\n        Observed y     Estimated y     Residuals r    Residuals\n"
      "                                                      Normalized");
  for (int j = 1; j <= numExperiments; ++j) {
    KelPrint("\n%3d%16.7e%16.7e%16.7e%9.2f", j, y(j), yEstimated(j), residuals(j), e(j));
    if (std::fabs(e(j)) > 2.5) KelPrint("%s", kelReportWarning);
  }
  KelPause();
}

void KelLinearRegression::PrintResponseConfidenceIntervals() {
  // These titles go through the formatter: "%%" prints one "%".
  KelPrint("\n\nConfidence Interval 95%% for y");
  PrintResponseIntervalRows(t95);
  KelPrint("\n\nConfidence Interval 99%% for y");
  PrintResponseIntervalRows(t99);
  KelPause();
}

void KelLinearRegression::PrintResponseIntervalRows(double quantile) {
  KelPrint("\n Exp.      Lower            y             Upper");
  for (int j = 1; j <= numExperiments; ++j) {
    const double h = seYEstimated(j) * quantile;
    KelPrint("\n%3d %16.7e %16.7e %16.7e", j, yEstimated(j) - h, yEstimated(j), yEstimated(j) + h);
    if (h > 2.5 * std::fabs(yEstimated(j))) KelPrint("%s", kelReportWarning);
  }
}

void KelLinearRegression::PrintNormality() {
  const double index = NormalityIndex();
  KelPrint("\n\n\nFirst Index for normality assumption       = %16.7e", index);
  if (std::fabs(index) > 0.95)
    KelPrint("\nThe data are consistent with the normality assumption");
  else if (std::fabs(index) > 0.9)
    KelPrint("\nThe normality assumption is probably violated");
  else
    KelPrint("\nThe normality assumption is violated");
  KelPause();
}

void KelLinearRegression::PrintOutlierVerdict() {
  if (highlyProbableOutlier >= 1)
    KelPrint("\n\n\nThe experiment %d is a highly probable outlier", highlyProbableOutlier);
  else if (probableOutlier > 0)
    KelPrint("\n\n\nThe experiment %d is a probable outlier", probableOutlier);
}

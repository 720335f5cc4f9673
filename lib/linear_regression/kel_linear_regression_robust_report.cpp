// KelLinearRegression: the robust regression report, one function per section. The sections
// only read what the robust computation stored, plus the verdicts the least-squares and
// singular value reports left.
#include "foundation/kel_output.h"
#include "foundation/kel_report_format.h"
#include "linear_regression/kel_linear_regression.h"
#include "linear_regression/kel_linear_robust_fit.h"
#include "linear_regression/kel_report_blocks.h"

namespace {

// The robust goodness-of-fit block aligns its "=" narrower than the least-squares one.
constexpr int kRobustLabelWidth = 29;

void printVerdict(bool found, const char* diagnostic) {
  if (found)
    KelPrint("\n\n %s\nThe %s identifies serious multicollinearities", kelReportWarning,
             diagnostic);
  else
    KelPrint("\nThe %s does not identify serious multicollinearities", diagnostic);
}

void printIndices(const KelVectorInt& indices) {
  for (int i = 1; i <= indices.Size(); ++i) KelPrint(" %d", indices(i));
}

}  // namespace

// Prints the title, computes what is missing, then prints the robust report.
void KelLinearRegression::RobustAnalysis() {
  PrintRobustTitle();
  EnsureRobust();
  PrintRobustResponse();
  PrintRobustColumns();
  PrintStandardizedF();
  PrintRobustParameters();
  PrintRobustGoodnessOfFit();
  PrintRobustResiduals();
  PrintRobustOutliers();
  PrintRobustVerdicts();
  PrintHomoscedasticity();
}

void KelLinearRegression::PrintRobustTitle() const {
  KelPrint("\n\n\n==========================");
  KelPrint("\nRobust Regression Analysis");
  KelPrint("\n==========================\n");
}

void KelLinearRegression::PrintRobustResponse() const {
  KelPrint("\nMedian of y     = %16.7e", robust.medianOfY);
  KelPrint("\nDispersion of y = %16.7e", robust.dispersionOfY);
  KelPrint("\n\ny Standardized");
  for (int j = 1; j <= numExperiments; ++j) {
    KelPrint("\n%3d %16.7e", j, robust.standardizedY(j));
    if (robust.extremeY[static_cast<size_t>(j)]) KelPrint("%s", kelReportWarning);
  }
  KelPause();
}

void KelLinearRegression::PrintRobustColumns() const {
  KelPrint("\n\nMatrix F columns");
  KelPrint("\n\n Par.    Median         Dispersion");
  for (int i = 1; i <= numParameters; ++i)
    KelPrint("\n%3d %16.7e %16.7e", i, robust.columnMedians(i), robust.columnDispersions(i));
  KelPause();
}

void KelLinearRegression::PrintStandardizedF() const {
  KelPrint("\n\nStandardized Matrix F");
  for (int j = 1; j <= numExperiments; ++j) {
    KelPrint("\n%3d", j);
    for (int i = 1; i <= numParameters; ++i) KelPrint(" %12.3e", robust.standardizedF(j, i));
    if (robust.extremeFRow[static_cast<size_t>(j)]) KelPrint("%s", kelReportWarning);
  }
  KelPause();
}

void KelLinearRegression::PrintRobustParameters() const {
  KelPrint("\n\n\n Parameters for Least Median of Squares");
  KelPrint("\n\n Par.      Value");
  for (int i = 1; i <= numParameters; ++i) KelPrint("\n%3d %16.7e", i, robust.robustB(i));
  KelPause();
}

void KelLinearRegression::PrintRobustGoodnessOfFit() const {
  KelPrint("\n\n");
  PrintValueLines({{"Least Median of Squares", robust.leastMedianOfSquares},
                   {"Residuals median", robust.residualMedian},
                   {"Residuals Mad", robust.residualMad},
                   {"Scale", robust.scale},
                   {"Coefficient of Determination", KelRobustR2(robust, y, interceptFlag != 0)}},
                  kRobustLabelWidth);
  KelPause();
}

void KelLinearRegression::PrintRobustResiduals() const {
  KelPrint(
      "\n\n        Observed y     Estimated y     Residuals r    Residuals\n"
      "                                                      Normalized");
  for (int j = 1; j <= numExperiments; ++j) {
    KelPrint("\n%3d%16.7e%16.7e%16.7e%9.2f", j, y(j), robust.robustYEstimated(j),
             robust.robustResiduals(j), robust.normalizedRobustResiduals(j));
    if (robust.outlyingResidual[static_cast<size_t>(j)]) KelPrint("%s", kelReportWarning);
  }
}

void KelLinearRegression::PrintRobustOutliers() const {
  if (robust.allOutliers.Size() == 0) {
    KelPrint("\n\nThere are no Outliers");
    return;
  }
  // The earlier form of the regression had no list by importance.
  if (!earlierForm) {
    KelPrint("\n\nOutliers sorted by importance:\n");
    printIndices(KelRobustOutliersByImportance(robust));
  }
  if (robust.highlyProbableOutliers.Size() == 0) {
    KelPrint("\n\nThere are no highly probable Outliers");
  } else {
    KelPrint("\n\nThese are highly probable Outliers:");
    printIndices(robust.highlyProbableOutliers);
  }
  if (robust.possibleOutliers.Size() != 0) {
    KelPrint("\n\nThese are possible Outliers:");
    printIndices(robust.possibleOutliers);
  }
}

// The robust components, then the verdicts the least-squares and singular value reports left
// (clear when those reports have not run for the current data).
void KelLinearRegression::PrintRobustVerdicts() const {
  if (robust.componentsMulticollinear)
    KelPrint(
        "\n\n %s\nThe robust principal component analysis identifies serious "
        "multicollinearities ",
        kelReportWarning);
  else
    KelPrint(
        "\n\nThe robust principal component analysis does not identify serious "
        "multicollinearities ");
  printVerdict(reported.multicollinearity, "correlation matrix");
  if (reported.conditioning == KelConditioning::kIllConditioned)
    KelPrint("\n\n %s\nThe condition number identifies serious multicollinearities",
             kelReportWarning);
  else if (reported.conditioning == KelConditioning::kMustBeNormalized)
    KelPrint("\n\n %s\nThe system conditioning identifies that matrix F has to be normalized",
             kelReportWarning);
  else
    KelPrint("\nThe condition number does not identify serious multicollinearities");
  printVerdict(reported.principalComponents, "principal component analysis");
  KelPause();
}

void KelLinearRegression::PrintHomoscedasticity() const {
  switch (KelRobustHomoscedasticity(robust)) {
    case KelHomoscedasticity::kViolated:
      KelPrint("\n\n%s\nThe homoscedasticity hypothesis is violated", kelReportWarning);
      break;
    case KelHomoscedasticity::kProbablyViolated:
      KelPrint("\n\n%s\nProbable violation of homoscedasticity hypothesis", kelReportWarning);
      break;
    case KelHomoscedasticity::kVerified:
      KelPrint("\nThe homoscedasticity hypothesis seems verified");
      break;
    case KelHomoscedasticity::kPossiblyViolated:
      KelPrint("\n\n%s\nPossible violation of homoscedasticity hypothesis", kelReportWarning);
      break;
  }
  KelPause();
}

// KelLinearRegression: the singular value analysis report. It explains the least-squares problem
// through F = U D V^T: the singular values, the principal diameters of the confidence region,
// the left singular vectors, the candidate solutions that keep the 1, 2, ..., n largest
// singular values (each with a small least-squares report) and the principal components. The
// candidates are computed in kel_linear_regression_svd.cpp.
#include <cmath>
#include <limits>

#include "foundation/kel_constants.h"
#include "foundation/kel_output.h"
#include "foundation/kel_report_format.h"
#include "linear_regression/kel_linear_regression.h"
#include "linear_regression/kel_report_blocks.h"
#include "linear_regression/kel_svd_analysis.h"
#include "statistics/kel_standardized.h"

namespace {

// Length printed for the semi-diameter of a zero singular value: the largest single-precision
// number stands for infinity.
constexpr double kInfiniteLength = static_cast<double>(std::numeric_limits<float>::max());
// The candidates' value blocks align their "=" narrower than the full report's.
constexpr int kCandidateLabelWidth = 34;

// sqrt(single-precision epsilon): singular values below this fraction of the largest are small.
double smallRelativeThreshold() {
  return std::sqrt(static_cast<double>(kelMachEpsFloat));
}

void printAnalysisTitle() {
  KelPrint("\n\n=====================================");
  KelPrint("\nSingular Value Decomposition Analysis");
  KelPrint("\n=====================================\n");
}

void printSingularValues(const KelVector& d) {
  const double threshold = smallRelativeThreshold() * d(1);
  KelPrint("\n\nSingular Values D");
  for (int i = 1; i <= d.Size(); ++i) {
    KelPrint("\n%3d%16.7e", i, d(i));
    if (d(i) < threshold) KelPrint("%s", kelReportWarning);
  }
  KelPause();
}

void printPrincipalDiameters(const KelVector& d, const KelMatrix& V) {
  const double threshold = smallRelativeThreshold() * d(1);
  KelPrint("\n\nColumns of Matrix V = Principal Diameters of the Confidence Region");
  for (int i = 1; i <= d.Size(); ++i) {
    KelPrint("\n\nDiameter N. %d Semi-Diameter Length = %e", i,
             d(i) == 0.0 ? kInfiniteLength : 1.0 / d(i));
    if (d(i) < threshold) KelPrint("%s", kelReportWarning);
    for (int j = 1; j <= V.Rows(); ++j) KelPrint("\n%16.7e", V(j, i));
    KelPause();
  }
}

void printLeftVectors(const KelMatrix& U) {
  KelPrint("\n\nColumns of Matrix U");
  for (int i = 1; i <= U.Columns(); ++i) {
    KelPrint("\n\nColumns N. %d", i);
    for (int j = 1; j <= U.Rows(); ++j) KelPrint("\n%16.7e", U(j, i));
    KelPause();
  }
}

void printCandidatesTitle() {
  KelPrint("\n\n\n===============================");
  KelPrint("\nSequence of Candidate Solutions");
  KelPrint("\n===============================\n");
}

void printCandidateHeader(int i, bool discarded) {
  KelPrint("\n\n===============================");
  KelPrint("\nModel with %d Singular Value(s)", i);
  KelPrint("\n===============================\n");
  if (discarded) KelPrint("\n\n%s\nThis Model should be probably discarded", kelReportWarning);
}

void printCandidateParameters(const KelSvdCandidate& fit) {
  KelPrint("\nParameters Norm2 %16.7e", fit.parametersNorm);
  KelPrint("\n\n Par.      Value       Standard Error     T-Value");
  for (int k = 1; k <= fit.parameters.Size(); ++k) {
    KelPrint("\n%3d %16.7e %16.7e %16.7e", k, fit.parameters(k), fit.standardErrors(k),
             KelStandardized(fit.parameters(k), fit.standardErrors(k)));
  }
}

void printCandidateCorrelation(const KelSvdCandidate& fit) {
  KelPrintResult(fit.covariance, "\n\nVariance-Covariance Matrix");
  KelPause();
  KelPrintResult(fit.correlation, "Correlation Matrix");
  if (fit.correlated) KelPrint("\n %s Correlation between Parameters", kelReportWarning);
  KelPause();
}

void printCandidateGoodnessOfFit(const KelSvdCandidate& fit, double totalSumOfSquares) {
  KelPrint("\n\n");
  PrintValueLines({{kelReportTotalSumOfSquares, totalSumOfSquares},
                   {kelReportResidualsNorm, fit.residualsNorm},
                   {kelReportSumOfSquares, fit.sumOfSquares},
                   {kelReportStandardDeviation, fit.standardDeviation},
                   {kelReportMeanSquareError, fit.meanSquareError},
                   {kelReportR2, fit.r2}},
                  kCandidateLabelWidth);
  KelPause();
}

void printCandidateResiduals(const KelSvdCandidate& fit, const KelVector& y) {
  KelPrint(
      "\n\n        Observed y     Estimated y     Residuals r    Residuals\n"
      "                                                      Normalized");
  // Normalized by this candidate's own deviation, also when a variance is assigned.
  KelVector normalized(y.Size());
  for (int j = 1; j <= y.Size(); ++j) normalized(j) = fit.residuals(j) / fit.standardDeviation;
  PrintResidualRows(y, fit.estimated, fit.residuals, normalized, kelReportWarning);
  KelPause();
}

// The small least-squares report of candidate i.
void printCandidate(int i, const KelSvdCandidate& fit, const KelVector& y, double sst, double t95,
                    double t99) {
  printCandidateHeader(i, fit.discarded);
  printCandidateParameters(fit);
  PrintParameterIntervals(fit.parameters, fit.standardErrors, t95, t99, kelReportWarning);
  KelPause();
  printCandidateCorrelation(fit);
  printCandidateGoodnessOfFit(fit, sst);
  printCandidateResiduals(fit, y);
}

void printPrincipalComponentsTable(const KelVector& d, const KelMatrix& W) {
  KelPrint("\n\n\n=============================");
  KelPrint("\nPrincipal Components Analysis");
  KelPrint("\n=============================");
  for (int i = 1; i <= W.Rows(); ++i) {
    KelPrint("\n\nComponent No. %d dValue %16.7e", i, d(i));
    KelPrint("\nRelative Importance %e", d(i) / d(1));
    for (int j = 1; j <= W.Columns(); ++j) KelPrint("\n%16.7e f[%d]", W(i, j), j);
    KelPause();
  }
}

void printPrincipalComponentsVerdict(bool multicollinear) {
  if (!multicollinear) return;
  KelPrint("\n\n %s", kelReportWarning);
  KelPrint("\nThe principal component analysis identifies serious multicollinearities");
}

}  // namespace

// The candidates are computed one at a time, each printed before the next replaces it.
void KelLinearRegression::SVDAnalysis() {
  printAnalysisTitle();
  EnsureLeastSquares();
  printSingularValues(fit.d);
  printPrincipalDiameters(fit.d, fit.V);
  printLeftVectors(fit.U);
  // Checked only here, after the sections above, which a response of zeros still prints.
  const double sst = KelCandidateTotalSumOfSquares(y);

  printCandidatesTitle();
  const int n = numParameters;
  KelVector parameterNorms(n);
  KelVector residualNorms(n);
  KelSvdCandidate candidate;
  for (int i = 1; i <= n; ++i) {
    KelComputeSvdCandidate({F, y, fit, degreesOfFreedom}, i, sst, candidate);
    parameterNorms(i) = candidate.parametersNorm;
    residualNorms(i) = candidate.residualsNorm;
    printCandidate(i, candidate, y, sst, fit.t95, fit.t99);
  }
  printPrincipalComponentsTable(fit.d, fit.W);
  const bool multicollinear = KelPrincipalComponentsMulticollinear(fit);
  printPrincipalComponentsVerdict(multicollinear);
  // The report's own candidates are the analysis; the robust report repeats its verdict.
  svd = KelSvdAnalysis{parameterNorms, residualNorms, multicollinear};
  svdComputed = true;
  reported.principalComponents = multicollinear;
}

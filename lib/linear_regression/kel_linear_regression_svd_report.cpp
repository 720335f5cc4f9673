// KelLinearRegression: the singular value analysis. It explains the least-squares problem
// through F = U D V^T: the singular values, the principal diameters of the confidence region,
// the left singular vectors, the candidate solutions that keep the 1, 2, ..., n largest
// singular values (each with a small least-squares report) and the principal components.
#include <cmath>
#include <limits>

#include "kel_constants.h"
#include "kel_errors.h"
#include "kel_linear_regression.h"
#include "kel_output.h"
#include "kel_report_format.h"

namespace {

// Length printed for the semi-diameter of a zero singular value: the largest single-precision
// number stands for infinity.
constexpr double kInfiniteLength = static_cast<double>(std::numeric_limits<float>::max());
constexpr double kSmallestDeviation = 1e-20;
constexpr double kCorrelated = 0.99;
constexpr double kWideInterval = 2.5;
constexpr double kLargeResidual = 2.5;
constexpr double kMinorComponent = 0.001;

// sqrt(single-precision epsilon): singular values below this fraction of the largest are small.
double SmallRelativeThreshold() {
  return std::sqrt(static_cast<double>(kelMachEpsFloat));
}

// One candidate model and what its small report prints.
struct CandidateFit {
  KelVector parameters;
  KelVector standardErrors;
  KelMatrixSymmetric covariance;
  KelMatrixSymmetric correlation;
  bool correlated = false;
  KelVector estimated;
  KelVector residuals;
  double parametersNorm = 0.0;
  double residualsNorm = 0.0;
  double sumOfSquares = 0.0;
  double standardDeviation = 0.0;
  double meanSquareError = 0.0;
  double r2 = 0.0;
};

// Least squares with the i largest singular values. A singular value of exactly 0 among them is
// left out, as the covariance leaves it out: taken as the solve's relative threshold, 0 would
// drop every singular value and give the zero vector.
void CandidateSolve(KelFactorizedSVD& svd, const KelVector& d, const KelVector& y, int i,
                    KelVector& parameters) {
  int kept = i;
  while (kept > 1 && d(kept) == 0.0) --kept;
  Solve(&svd, y, &parameters, kept);
}

// Cov = s^2 V D^-2 V^T over the i largest singular values (zero ones left out), and the
// standard errors from its diagonal.
void CandidateCovariance(const KelVector& d, const KelMatrix& V, int i, double varianceUsed,
                         KelMatrixSymmetric& covariance, KelVector& standardErrors) {
  const int n = V.Rows();
  covariance.ChangeDimensions(n, n);
  for (int k = 1; k <= i; ++k) {
    if (d(k) == 0.0) continue;
    const double factor = varianceUsed / (d(k) * d(k));
    for (int j = 1; j <= n; ++j) {
      for (int l = 1; l <= j; ++l) covariance(j, l) += factor * V(j, k) * V(l, k);
    }
  }
  standardErrors.Resize(n, false);
  for (int j = 1; j <= n; ++j)
    standardErrors(j) = std::fmax(std::sqrt(covariance(j, j)), kSmallestDeviation);
}

void CandidateCorrelation(CandidateFit& fit) {
  const int n = fit.covariance.Rows();
  fit.correlation = fit.covariance;
  fit.correlated = false;
  KelVector deviation(n);
  for (int k = 1; k <= n; ++k)
    deviation(k) = std::fmax(std::sqrt(fit.covariance(k, k)), kSmallestDeviation);
  for (int l = 1; l <= n; ++l) {
    for (int k = 1; k < l; ++k) {
      const double r = fit.covariance(l, k) / (deviation(l) * deviation(k));
      fit.correlation(l, k) = r;
      if (std::fabs(r) > kCorrelated) fit.correlated = true;
    }
    fit.correlation(l, l) = 1.0;
  }
}

void PrintAnalysisTitle() {
  KelPrint("\n\n=====================================");
  KelPrint("\nSingular Value Decomposition Analysis");
  KelPrint("\n=====================================\n");
}

void PrintSingularValues(const KelVector& d) {
  const double threshold = SmallRelativeThreshold() * d(1);
  KelPrint("\n\nSingular Values D");
  for (int i = 1; i <= d.Size(); ++i) {
    KelPrint("\n%3d%16.7e", i, d(i));
    if (d(i) < threshold) KelPrint("%s", kelReportWarning);
  }
  KelPause();
}

void PrintPrincipalDiameters(const KelVector& d, const KelMatrix& V) {
  const double threshold = SmallRelativeThreshold() * d(1);
  KelPrint("\n\nColumns of Matrix V = Principal Diameters of the Confidence Region");
  for (int i = 1; i <= d.Size(); ++i) {
    KelPrint("\n\nDiameter N. %d Semi-Diameter Length = %e", i,
             d(i) == 0.0 ? kInfiniteLength : 1.0 / d(i));
    if (d(i) < threshold) KelPrint("%s", kelReportWarning);
    for (int j = 1; j <= V.Rows(); ++j) KelPrint("\n%16.7e", V(j, i));
    KelPause();
  }
}

void PrintLeftVectors(const KelMatrix& U) {
  KelPrint("\n\nColumns of Matrix U");
  for (int i = 1; i <= U.Columns(); ++i) {
    KelPrint("\n\nColumns N. %d", i);
    for (int j = 1; j <= U.Rows(); ++j) KelPrint("\n%16.7e", U(j, i));
    KelPause();
  }
}

void PrintCandidatesTitle() {
  KelPrint("\n\n\n===============================");
  KelPrint("\nSequence of Candidate Solutions");
  KelPrint("\n===============================\n");
}

void PrintCandidateHeader(int i, bool discarded) {
  KelPrint("\n\n===============================");
  KelPrint("\nModel with %d Singular Value(s)", i);
  KelPrint("\n===============================\n");
  if (discarded) KelPrint("\n\n%s\nThis Model should be probably discarded", kelReportWarning);
}

void PrintCandidateParameters(const CandidateFit& fit) {
  KelPrint("\nParameters Norm2 %16.7e", fit.parametersNorm);
  KelPrint("\n\n Par.      Value       Standard Error     T-Value");
  for (int k = 1; k <= fit.parameters.Size(); ++k) {
    KelPrint("\n%3d %16.7e %16.7e %16.7e", k, fit.parameters(k), fit.standardErrors(k),
             fit.parameters(k) / fit.standardErrors(k));
  }
}

void PrintCandidateInterval(const CandidateFit& fit, const char* title, double t) {
  KelPrint("%s", title);
  KelPrint("\n Par.      Lower           Upper");
  for (int k = 1; k <= fit.parameters.Size(); ++k) {
    const double h = fit.standardErrors(k) * t;
    KelPrint("\n%3d %16.7e %16.7e", k, fit.parameters(k) - h, fit.parameters(k) + h);
    if (h > kWideInterval * std::fabs(fit.parameters(k))) KelPrint("%s", kelReportWarning);
  }
}

void PrintCandidateCorrelation(CandidateFit& fit) {
  fit.covariance.Print("\n\nVariance-Covariance Matrix");
  KelPause();
  fit.correlation.Print("Correlation Matrix");
  if (fit.correlated) KelPrint("\n %s Correlation between Parameters", kelReportWarning);
  KelPause();
}

void PrintCandidateGoodnessOfFit(const CandidateFit& fit, double totalSumOfSquares) {
  KelPrint("\n\n\nTotal Sum of Squares              = %16.7e", totalSumOfSquares);
  KelPrint("\nResiduals Norm2                   = %16.7e", fit.residualsNorm);
  KelPrint("\nSum of Squares                    = %16.7e", fit.sumOfSquares);
  KelPrint("\nStandard Deviation                = %16.7e", fit.standardDeviation);
  KelPrint("\nMean Square Error                 = %16.7e", fit.meanSquareError);
  KelPrint("\nCoefficient of Determination (R2) = %16.7e", fit.r2);
  KelPause();
}

void PrintCandidateResiduals(const CandidateFit& fit, const KelVector& y) {
  KelPrint(
      "\n\n        Observed y     Estimated y     Residuals r    Residuals\n"
      "                                                      Normalized");
  for (int j = 1; j <= y.Size(); ++j) {
    // Normalized by this candidate's own deviation, also when a variance is assigned.
    const double normalized = fit.residuals(j) / fit.standardDeviation;
    KelPrint("\n%3d%16.7e%16.7e%16.7e%9.2f", j, y(j), fit.estimated(j), fit.residuals(j),
             normalized);
    if (std::fabs(normalized) > kLargeResidual) KelPrint("%s", kelReportWarning);
  }
  KelPause();
}

void PrintPrincipalComponents(const KelVector& d, const KelMatrix& W) {
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

void PrintPrincipalComponentsVerdict(bool multicollinear) {
  if (!multicollinear) return;
  KelPrint("\n\n %s", kelReportWarning);
  KelPrint("\nThe principal component analysis identifies serious multicollinearities");
}

}  // namespace

int KelLinearRegression::SmallSingularValueCount() {
  EnsureLeastSquares();
  return smallSingularValues;
}

int KelLinearRegression::NegligibleSingularValueCount() {
  EnsureLeastSquares();
  return negligibleSingularValues;
}

KelVector KelLinearRegression::CandidateParameters(int i) {
  if (i < 1 || i > numParameters)
    KelError("%s%s%sCandidateParameters", kelClassLinearRegression, kelErrIndex, kelErrFunction);
  EnsureLeastSquares();
  KelVector parameters;
  CandidateSolve(plainSvd, d, y, i, parameters);
  return parameters;
}

KelVector KelLinearRegression::CandidateStandardErrors(int i) {
  if (i < 1 || i > numParameters)
    KelError("%s%s%sCandidateStandardErrors", kelClassLinearRegression, kelErrIndex,
             kelErrFunction);
  EnsureLeastSquares();
  KelMatrixSymmetric candidateCovariance;
  KelVector standardErrors;
  CandidateCovariance(d, V, i, varianceUsed, candidateCovariance, standardErrors);
  return standardErrors;
}

void KelLinearRegression::SVDAnalysis() {
  PrintAnalysisTitle();
  EnsureLeastSquares();
  // The candidates below reuse the fit's results as working storage.
  leastSquaresComputed = 0;
  diagnosticsComputed = 0;

  PrintSingularValues(d);
  PrintPrincipalDiameters(d, V);
  PrintLeftVectors(U);

  double sst = 0.0;
  for (int j = 1; j <= numExperiments; ++j) sst += y(j) * y(j);
  if (sst == 0.0) KelError("%s\nsst == 0.", kelClassLinearRegression);

  PrintCandidatesTitle();
  const int n = numParameters;
  const int kept = n - smallSingularValues;
  candidateParameterNorms.Resize(n);
  candidateResidualNorms.Resize(n);
  CandidateFit fit;
  for (int i = 1; i <= n; ++i) {
    CandidateSolve(plainSvd, d, y, i, fit.parameters);
    CandidateCovariance(d, V, i, varianceUsed, fit.covariance, fit.standardErrors);
    CandidateCorrelation(fit);
    fit.parametersNorm = fit.parameters.Norm2();
    Product(F, fit.parameters, fit.estimated);
    Difference(y, fit.estimated, fit.residuals);
    fit.residualsNorm = fit.residuals.Norm2();
    fit.sumOfSquares = fit.residualsNorm * fit.residualsNorm;
    fit.standardDeviation = fit.residualsNorm / std::sqrt(static_cast<double>(degreesOfFreedom));
    fit.meanSquareError = fit.standardDeviation * fit.standardDeviation;
    // Always against the uncorrected total, also for intercept models.
    fit.r2 = 1.0 - fit.sumOfSquares / sst;
    candidateParameterNorms(i) = fit.parametersNorm;
    candidateResidualNorms(i) = fit.residualsNorm;

    PrintCandidateHeader(i, i > kept);
    PrintCandidateParameters(fit);
    PrintCandidateInterval(fit, "\n\nConfidence Interval 95%", t95);
    PrintCandidateInterval(fit, "\n\nConfidence Interval 99%", t99);
    KelPause();
    PrintCandidateCorrelation(fit);
    PrintCandidateGoodnessOfFit(fit, sst);
    PrintCandidateResiduals(fit, y);
  }

  // The fit's members are left holding the last candidate (all singular values).
  b = fit.parameters;
  covariance = fit.covariance;
  seB = fit.standardErrors;
  residuals = fit.residuals;
  parametersNorm = fit.parametersNorm;
  residualsNorm = fit.residualsNorm;
  sumOfSquares = fit.sumOfSquares;
  standardDeviation = fit.standardDeviation;
  meanSquareError = fit.meanSquareError;
  r2 = fit.r2;

  PrintPrincipalComponents(d, W);
  const int components = W.Rows();
  principalComponentsFlag =
      components < n || (components >= 1 && kMinorComponent * d(1) > d(components));
  PrintPrincipalComponentsVerdict(principalComponentsFlag != 0);
}

// The computations of the singular value analysis, which never print: the candidate solutions
// that keep the 1, 2, ..., n largest singular values and the principal components verdict.
#include "linear_regression/kel_svd_analysis.h"

#include <cmath>
#include <utility>

#include "containers/kel_matrix_symmetric.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"
#include "linear_regression/kel_linear_least_squares_fit.h"
#include "linear_regression/kel_linear_regression_collinearity.h"

namespace {

// Two parameters of a candidate are correlated by the least-squares report's threshold.
constexpr double kCorrelated = kel_linear_thresholds::kCorrelated;
// A principal component smaller than this fraction of the first marks a multicollinearity.
constexpr double kMinorComponent = kel_linear_thresholds::kMinorComponent;

// The number of largest singular values a candidate with i of them solves with: a singular
// value of exactly 0 among them is left out, as the covariance leaves it out; taken as the
// solve's threshold, 0 would drop every singular value and give the zero vector.
int candidateKept(const KelVector& d, int i) {
  int kept = i;
  while (kept > 1 && d(kept) == 0.0) --kept;
  return kept;
}

// Cov = s^2 V D^-2 V^T over the i largest singular values (zero ones left out), and the
// standard errors from its diagonal.
void fillCandidateCovariance(const KelVector& d, const KelMatrix& V, int i, double varianceUsed,
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
  for (int j = 1; j <= n; ++j) standardErrors(j) = GuardedDeviation(covariance(j, j));
}

// The correlation matrix of the candidate and whether two of its parameters are correlated.
void candidateCorrelation(KelSvdCandidate& candidate) {
  CorrelationOfCovariance(candidate.covariance, &candidate.correlation);
  candidate.correlated = LargestCorrelation(candidate.correlation) > kCorrelated;
}

}  // namespace

// The candidates only read the fit; one candidate's containers serve every i in turn.
KelSvdAnalysis KelComputeSvdAnalysis(const KelSvdAnalysisInputs& inputs,
                                     KelSvdAnalysis&& numbered) {
  KelSvdAnalysis svd(std::move(numbered));
  const double sst = KelCandidateTotalSumOfSquares(inputs.y);
  const int n = inputs.F.Columns();
  svd.candidateParameterNorms = KelVector(n);
  svd.candidateResidualNorms = KelVector(n);
  KelSvdCandidate candidate;
  for (int i = 1; i <= n; ++i) {
    KelComputeSvdCandidate(inputs, i, sst, candidate);
    svd.candidateParameterNorms(i) = candidate.parametersNorm;
    svd.candidateResidualNorms(i) = candidate.residualsNorm;
  }
  svd.multicollinear = KelPrincipalComponentsMulticollinear(inputs.fit);
  return svd;
}

double KelCandidateTotalSumOfSquares(const KelVector& y) {
  double sst = 0.0;
  for (int j = 1; j <= y.Size(); ++j) sst += y(j) * y(j);
  if (sst == 0.0) KelError("%s\nsst == 0.", kelClassLinearRegression);
  return sst;
}

void KelComputeSvdCandidate(const KelSvdAnalysisInputs& inputs, int i, double sst,
                            KelSvdCandidate& candidate) {
  const KelLinearLeastSquaresFit& fit = inputs.fit;
  candidate.parameters = KelPlainSolution(fit, candidateKept(fit.d, i));
  fillCandidateCovariance(fit.d, fit.V, i, fit.varianceUsed, candidate.covariance,
                          candidate.standardErrors);
  candidateCorrelation(candidate);
  candidate.parametersNorm = candidate.parameters.Norm2();
  Product(inputs.F, candidate.parameters, candidate.estimated);
  Difference(inputs.y, candidate.estimated, candidate.residuals);
  candidate.residualsNorm = candidate.residuals.Norm2();
  candidate.sumOfSquares = candidate.residualsNorm * candidate.residualsNorm;
  candidate.standardDeviation =
      candidate.residualsNorm / std::sqrt(static_cast<double>(inputs.degreesOfFreedom));
  candidate.meanSquareError = candidate.standardDeviation * candidate.standardDeviation;
  candidate.r2 = 1.0 - candidate.sumOfSquares / sst;
  // A model that keeps a small singular value should probably be discarded.
  candidate.discarded = i > inputs.F.Columns() - fit.smallSingularValues;
}

KelVector KelCandidateParameters(const KelLinearLeastSquaresFit& fit, int i) {
  return KelPlainSolution(fit, candidateKept(fit.d, i));
}

KelVector KelCandidateStandardErrors(const KelLinearLeastSquaresFit& fit, int i) {
  KelMatrixSymmetric candidateCovariance;
  KelVector standardErrors;
  fillCandidateCovariance(fit.d, fit.V, i, fit.varianceUsed, candidateCovariance, standardErrors);
  return standardErrors;
}

bool KelPrincipalComponentsMulticollinear(const KelLinearLeastSquaresFit& fit) {
  const int components = fit.W.Rows();
  return components < fit.d.Size() ||
         (components >= 1 && kMinorComponent * fit.d(1) > fit.d(components));
}

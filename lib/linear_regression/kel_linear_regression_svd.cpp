// KelLinearRegression: the computations of the singular value analysis, which never print: the
// candidate solutions that keep the 1, 2, ..., n largest singular values, the counts of small
// singular values and the principal components verdict.
#include <cmath>

#include "foundation/kel_constants.h"
#include "foundation/kel_error_details.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"
#include "linear_regression/kel_linear_least_squares_fit.h"
#include "linear_regression/kel_linear_regression.h"
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
void candidateCorrelation(KelSvdCandidate& fit) {
  CorrelationOfCovariance(fit.covariance, &fit.correlation);
  fit.correlated = LargestCorrelation(fit.correlation) > kCorrelated;
}

}  // namespace

int KelLinearRegression::SmallSingularValueCount() {
  return LeastSquaresFit().smallSingularValues;
}

int KelLinearRegression::NegligibleSingularValueCount() {
  return LeastSquaresFit().negligibleSingularValues;
}

KelVector KelLinearRegression::CandidateParameters(int i) {
  if (i < 1 || i > numParameters)
    KelError("%s%s%sCandidateParameters\n%s", kelClassLinearRegression, kelErrIndex, kelErrFunction,
             KelIndexDetail(i, 1, numParameters).c_str());
  EnsureLeastSquares();
  return KelPlainSolution(fit, candidateKept(fit.d, i));
}

KelVector KelLinearRegression::CandidateStandardErrors(int i) {
  if (i < 1 || i > numParameters)
    KelError("%s%s%sCandidateStandardErrors\n%s", kelClassLinearRegression, kelErrIndex,
             kelErrFunction, KelIndexDetail(i, 1, numParameters).c_str());
  EnsureLeastSquares();
  KelMatrixSymmetric candidateCovariance;
  KelVector standardErrors;
  fillCandidateCovariance(fit.d, fit.V, i, fit.varianceUsed, candidateCovariance, standardErrors);
  return standardErrors;
}

// The sum of squares of y the candidates' R^2 is measured against: always the uncorrected one,
// also for intercept models. All responses zero leave nothing to measure against (fatal).
double KelLinearRegression::CandidateTotalSumOfSquares() const {
  double sst = 0.0;
  for (int j = 1; j <= numExperiments; ++j) sst += y(j) * y(j);
  if (sst == 0.0) KelError("%s\nsst == 0.", kelClassLinearRegression);
  return sst;
}

// Candidate i, from the current fit's decomposition and variance.
void KelLinearRegression::ComputeSvdCandidate(int i, double sst, KelSvdCandidate& candidate) {
  candidate.parameters = KelPlainSolution(fit, candidateKept(fit.d, i));
  fillCandidateCovariance(fit.d, fit.V, i, fit.varianceUsed, candidate.covariance,
                          candidate.standardErrors);
  candidateCorrelation(candidate);
  candidate.parametersNorm = candidate.parameters.Norm2();
  Product(F, candidate.parameters, candidate.estimated);
  Difference(y, candidate.estimated, candidate.residuals);
  candidate.residualsNorm = candidate.residuals.Norm2();
  candidate.sumOfSquares = candidate.residualsNorm * candidate.residualsNorm;
  candidate.standardDeviation =
      candidate.residualsNorm / std::sqrt(static_cast<double>(degreesOfFreedom));
  candidate.meanSquareError = candidate.standardDeviation * candidate.standardDeviation;
  candidate.r2 = 1.0 - candidate.sumOfSquares / sst;
  // A model that keeps a small singular value should probably be discarded.
  candidate.discarded = i > numParameters - fit.smallSingularValues;
}

// Fewer principal components than parameters, or a last one far below the first.
bool KelLinearRegression::PrincipalComponentsMulticollinear() const {
  const int components = fit.W.Rows();
  return components < numParameters ||
         (components >= 1 && kMinorComponent * fit.d(1) > fit.d(components));
}

// The candidates' norms and the principal components verdict, computed as the report computes
// them, without printing. The candidates only read the fit, which stays as it is.
void KelLinearRegression::EnsureSvdAnalysis() {
  if (svdComputed) return;
  EnsureLeastSquares();
  const double sst = CandidateTotalSumOfSquares();
  const int n = numParameters;
  svd.candidateParameterNorms = KelVector(n);
  svd.candidateResidualNorms = KelVector(n);
  KelSvdCandidate candidate;
  for (int i = 1; i <= n; ++i) {
    ComputeSvdCandidate(i, sst, candidate);
    svd.candidateParameterNorms(i) = candidate.parametersNorm;
    svd.candidateResidualNorms(i) = candidate.residualsNorm;
  }
  svd.multicollinear = PrincipalComponentsMulticollinear();
  svdComputed = true;
}

const KelSvdAnalysis& KelLinearRegression::SvdAnalysis() {
  EnsureSvdAnalysis();
  return svd;
}

unsigned char KelLinearRegression::ConditioningVerdict() {
  switch (Diagnostics().conditioning) {
    case KelConditioning::kIllConditioned:
      return kIllConditioned;
    case KelConditioning::kMustBeNormalized:
      return kMustBeNormalized;
    default:
      return kConditioningNone;
  }
}

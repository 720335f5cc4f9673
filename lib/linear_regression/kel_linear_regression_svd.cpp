// KelLinearRegression: the singular value analysis, computed by KelComputeSvdAnalysis
// (kel_svd_analysis.h) and held as the member svd, and the accessors of its candidates and of the
// counts of small singular values.
#include <utility>

#include "foundation/kel_error_details.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"
#include "linear_regression/kel_linear_regression.h"
#include "linear_regression/kel_svd_analysis.h"

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
  return KelCandidateParameters(fit, i);
}

KelVector KelLinearRegression::CandidateStandardErrors(int i) {
  if (i < 1 || i > numParameters)
    KelError("%s%s%sCandidateStandardErrors\n%s", kelClassLinearRegression, kelErrIndex,
             kelErrFunction, KelIndexDetail(i, 1, numParameters).c_str());
  EnsureLeastSquares();
  return KelCandidateStandardErrors(fit, i);
}

// The new analysis takes over the containers of the old one, so that the serial numbers drawn
// by the analysis stay as they were; the candidates only read the fit, which stays as it is.
void KelLinearRegression::EnsureSvdAnalysis() {
  if (svdComputed) return;
  EnsureLeastSquares();
  svd = KelComputeSvdAnalysis({F, y, fit, degreesOfFreedom}, std::move(svd));
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

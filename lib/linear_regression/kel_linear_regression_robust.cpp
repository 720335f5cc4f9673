// KelLinearRegression: the least-median-of-squares fit of the current data, computed by
// KelComputeRobustFit (kel_linear_robust_fit.h) and held as the member robust, and its accessors.
#include <utility>

#include "foundation/kel_error_details.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"
#include "linear_regression/kel_linear_regression.h"
#include "linear_regression/kel_linear_robust_fit.h"

// Runs the robust fit for the current data when it is not current. The new fit takes over the
// containers of the old one and the object's workspace, so that the serial numbers drawn by a
// fit stay as they were; the least-squares fit, the search's first start, runs when the search
// asks for it.
void KelLinearRegression::EnsureRobust() {
  if (robustComputed) return;
  if (numParameters < 1)
    KelError("%s%s%s", kelClassLinearRegression, kelErrCheck,
             KelShapeDetail(numExperiments, numParameters).c_str());
  CheckResponseSize();
  degreesOfFreedom = numExperiments - numParameters;
  const KelRobustFitInputs inputs{F, y, responseVariance, interceptFlag != 0,
                                  [this]() -> const KelVector& {
                                    EnsureLeastSquares();
                                    return fit.b;
                                  }};
  robust = KelComputeRobustFit(inputs, std::move(robust), *lmsWorkspace);
  robustComputed = true;
  // The least-squares fit stays current: the robust fit reads its parameters and writes nothing.
}

// ---------------------------------------------------------------------------------------------
// Accessors

double KelLinearRegression::LeastMedianOfSquares() {
  return RobustFit().leastMedianOfSquares;
}

const KelVector& KelLinearRegression::RobustParameters() {
  return RobustFit().robustB;
}

const KelVector& KelLinearRegression::RobustEstimatedResponses() {
  return RobustFit().robustYEstimated;
}

const KelVector& KelLinearRegression::RobustResiduals() {
  return RobustFit().robustResiduals;
}

const KelVector& KelLinearRegression::NormalizedRobustResiduals() {
  return RobustFit().normalizedRobustResiduals;
}

double KelLinearRegression::RobustScale() {
  return RobustFit().scale;
}

double KelLinearRegression::RobustResidualMedian() {
  return RobustFit().residualMedian;
}

double KelLinearRegression::RobustResidualMad() {
  return RobustFit().residualMad;
}

double KelLinearRegression::RobustR2() {
  return KelRobustR2(RobustFit(), y, interceptFlag != 0);
}

double KelLinearRegression::RobustComponentMaximum() {
  return RobustFit().robustComponentMaximum;
}

double KelLinearRegression::RobustComponentMinimum() {
  return RobustFit().robustComponentMinimum;
}

const KelVectorInt& KelLinearRegression::RobustOutliers() {
  return RobustFit().allOutliers;
}

const KelVectorInt& KelLinearRegression::RobustHighlyProbableOutliers() {
  return RobustFit().highlyProbableOutliers;
}

const KelVectorInt& KelLinearRegression::RobustPossibleOutliers() {
  return RobustFit().possibleOutliers;
}

KelVectorInt KelLinearRegression::RobustOutliersByImportance() {
  return KelRobustOutliersByImportance(RobustFit());
}

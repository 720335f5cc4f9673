// The least-median-of-squares fit as a function of its inputs (the steps are those of
// KelLmsEstimator, kel_lms_estimator.cpp), and the values the robust report derives from a fit.
#include "linear_regression/kel_linear_robust_fit.h"

#include <cmath>
#include <utility>

#include "linear_regression/kel_linear_thresholds.h"
#include "linear_regression/kel_lms_estimator.h"
#include "statistics/kel_descriptive_statistics.h"

KelLinearRobustFit KelComputeRobustFit(const KelRobustFitInputs& inputs,
                                       KelLinearRobustFit&& numbered, KelLmsWorkspace& workspace) {
  KelLmsEstimator estimator(inputs, std::move(numbered), workspace);
  return estimator.Estimate();
}

KelLinearRobustFit KelComputeRobustFit(const KelRobustFitInputs& inputs,
                                       KelLinearRobustFit&& numbered) {
  KelLmsWorkspace workspace;
  return KelComputeRobustFit(inputs, std::move(numbered), workspace);
}

double KelRobustR2(const KelLinearRobustFit& robust, const KelVector& y, bool intercept) {
  const double typical = intercept ? robust.dispersionOfY : KelMedianAbs(y);
  const double a = KelMedianAbs(robust.robustResiduals) / typical;
  return 1.0 - a * a;
}

// Positions of |residual| sorted ascending, reversed, first k = number of outliers.
KelVectorInt KelRobustOutliersByImportance(const KelLinearRobustFit& robust) {
  const int m = robust.robustResiduals.Size();
  KelVector magnitudes(m);
  for (int i = 1; i <= m; ++i) magnitudes(i) = std::fabs(robust.robustResiduals(i));
  KelVectorInt positions;
  magnitudes.Sort(positions);
  positions.Reverse();
  KelVectorInt important(robust.allOutliers.Size());
  for (int i = 1; i <= important.Size(); ++i) important(i) = positions(i);
  return important;
}

KelHomoscedasticity KelRobustHomoscedasticity(const KelLinearRobustFit& robust) {
  if (robust.allOutliers.Size() != 0)
    return robust.highlyProbableOutliers.Size() != 0 ? KelHomoscedasticity::kViolated
                                                     : KelHomoscedasticity::kProbablyViolated;
  const int m = robust.normalizedRobustResiduals.Size();
  KelVector magnitudes(m);
  for (int i = 1; i <= m; ++i) magnitudes(i) = std::fabs(robust.normalizedRobustResiduals(i));
  const double typical = KelMedianAbs(robust.normalizedRobustResiduals);
  const double largest = magnitudes.Max();
  return largest == 0.0 || typical / largest >= kel_linear_thresholds::kHomoscedastic
             ? KelHomoscedasticity::kVerified
             : KelHomoscedasticity::kPossiblyViolated;
}

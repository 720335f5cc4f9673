// Thresholds behind the verdicts of the nonlinear regression's reports, row for row as the
// guide's table "Verdicts at a glance". Those the nonlinear report shares with the linear one
// (significance, wide intervals, large residuals, multicollinearity) are the linear ones.
#ifndef KELMATH_KEL_NONLINEAR_THRESHOLDS_H
#define KELMATH_KEL_NONLINEAR_THRESHOLDS_H

#include "linear_regression/kel_linear_thresholds.h"

namespace kel_nonlinear_thresholds {

// Least squares.
constexpr double kNotSignificant = kel_linear_thresholds::kNotSignificant;
constexpr double kWideInterval = kel_linear_thresholds::kWideInterval;
constexpr double kLargeResidual = kel_linear_thresholds::kLargeResidual;
constexpr double kCorrelated = kel_linear_thresholds::kCorrelated;
constexpr double kVarianceInflation = kel_linear_thresholds::kVarianceInflation;
constexpr double kTolerance = kel_linear_thresholds::kTolerance;
constexpr double kModelFTest = kel_linear_thresholds::kModelFTest;
// Condition number of the Jacobian above which it is ill conditioned.
constexpr double kIllConditioned = 1000.0;
// Newton step larger than this fraction of |b| leaves the parameter not well defined.
constexpr double kNewtonStep = 0.1;
// A parameter within this fraction of |b| of a bound is near the constraint.
constexpr double kNearConstraint = 0.01;

// Model comparison: a P-value below this rejects the model.
constexpr double kModelRejected = 0.05;
// Discrimination: an experiment discriminates a couple of models when Tij reaches kTij, and the
// models when Tij summed over the couples reaches kTijSum.
constexpr double kTij = 1.2;
constexpr double kTijSum = 1.3;
// A suggested experiment closer than this relative distance to an existing one is reported as
// close to it.
constexpr double kCloseExperiment = 0.1;

// Robust fit: |weighted residual| above which an experiment is a possible and a highly probable
// outlier.
constexpr double kPossibleOutlier = 2.5;
constexpr double kHighlyProbableOutlier = 10.0;

}  // namespace kel_nonlinear_thresholds

#endif  // KELMATH_KEL_NONLINEAR_THRESHOLDS_H

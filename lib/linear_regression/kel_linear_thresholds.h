// Thresholds behind the verdicts of the linear regression's reports, row for row as the guide's
// table "Verdicts at a glance". The computations that decide a verdict and the reports that mark
// the rows behind it read them here, so that a threshold is changed in one place.
#ifndef KELMATH_KEL_LINEAR_THRESHOLDS_H
#define KELMATH_KEL_LINEAR_THRESHOLDS_H

namespace kel_linear_thresholds {

// Least squares.
// Condition number of F (d(1)/d(n)) above which the parameters are badly determined.
constexpr double kIllConditioned = 1000.0;
// Balancing that lowers the condition number more than this factor means F is badly scaled.
constexpr double kBadlyScaled = 0.01;
// Relative difference of the balanced and plain solutions above which F should be standardized.
constexpr double kSolutionsDisagree = 0.1;
// P-value of a parameter above which it is not significant.
constexpr double kNotSignificant = 0.05;
// |t| below which a parameter is only partially correlated with the response.
constexpr double kPartialCorrelationT = 2.0;
// Half-width of an interval above this multiple of |b| (or |y estimated|) is wide.
constexpr double kWideInterval = 2.5;
// |correlation| of two parameters, variance inflation factor, Tj tolerance and column
// correlation factor that mark a multicollinearity.
constexpr double kCorrelated = 0.99;
constexpr double kVarianceInflation = 1000.0;
constexpr double kTolerance = 0.01;
constexpr double kColumnFactor = 0.1;
// |normalized residual| above which a residual is large.
constexpr double kLargeResidual = 2.5;
// Probability of the model's F test below which the model explains the response.
constexpr double kModelFTest = 0.05;
// |normality index| above which the residuals are consistent with normality, and above which
// the assumption is only probably violated.
constexpr double kNormal = 0.95;
constexpr double kProbablyNormal = 0.9;
// Leave one out: mean square error without an experiment below these fractions of the full one
// marks it a highly probable and a probable outlier.
constexpr double kHighlyProbableOutlierShare = 0.5;
constexpr double kProbableOutlierShare = 0.8;

// Singular value analysis: a principal component smaller than this fraction of the first marks a
// multicollinearity.
constexpr double kMinorComponent = 0.001;

// Robust fit.
// |standardized value| of y or a column of F above which it is marked.
constexpr double kRobustStandardized = 2.5;
// |residual / scale| above which an experiment is a possible and a highly probable outlier.
constexpr double kRobustOutlier = 2.5;
constexpr double kRobustHighlyProbableOutlier = 10.0;
// Largest over smallest singular value of the standardized F above which the robust principal
// components are advised (smallest/largest < 1/1000).
constexpr double kRobustComponentsRatio = 1000.0;
// Median over largest |normalized robust residual| at or above which the residuals are
// homoscedastic.
constexpr double kHomoscedastic = 0.2;

// Stepwise: t below which a parameter of a chosen model is weak.
constexpr double kWeakT = 2.5;

}  // namespace kel_linear_thresholds

#endif  // KELMATH_KEL_LINEAR_THRESHOLDS_H

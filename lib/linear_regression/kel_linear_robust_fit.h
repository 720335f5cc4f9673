// The least-median-of-squares fit of the linear model y ~ F b as a function of its inputs:
// standardized data, the search for the parameters minimizing the median of the squared
// residuals, the robust scale and the classified residuals; and the values the robust report
// derives from such a fit. Internal to the linear regression (not in kelmath.h).
#ifndef KELMATH_KEL_LINEAR_ROBUST_FIT_H
#define KELMATH_KEL_LINEAR_ROBUST_FIT_H

#include <functional>

#include "containers/kel_matrix.h"
#include "containers/kel_vector.h"
#include "containers/kel_vector_int.h"
#include "factorizations/kel_factorized_gauss.h"
#include "linear_regression/kel_linear_regression_results.h"

// What the fit reads: F (m x n, m > n, n >= 1) and y (m elements), already checked.
struct KelRobustFitInputs {
  const KelMatrix& F;
  const KelVector& y;
  double responseVariance;  // the assigned variance, which sets the scale; 0 when none is assigned
  bool intercept;           // F has a column of ones
  // The least-squares parameters, the search's first start. Asked for only with more than one
  // parameter, once the data are standardized and the elemental rows chosen: a least-squares fit
  // made on demand then builds its containers at the point of the computation where it always
  // has, so the serial numbers drawn after it stay as they were (docs/developers.md, intended
  // behaviour 2).
  std::function<const KelVector&()> leastSquaresParameters;
};

// The containers of the search that map the minimizer's point to parameters. They draw serial
// numbers when built, so an owner that runs the fit again keeps one workspace and passes it to
// every fit: the numbers that later objects print then do not depend on how often it ran.
struct KelLmsWorkspace {
  KelFactorizedGauss elementalSolver;
  KelMatrix elementalRows;   // E: the rows of F that map the minimizer's point to parameters
  KelVector elementalPoint;  // scratch parameters of the criterion
};

// The fit of the inputs. The result takes over the containers of numbered (their serial numbers
// and storage) and rewrites every field, so that refitting draws no serial numbers beyond those
// of its scratch objects. The fit prints nothing and keeps no state outside its arguments: fits
// of different data can run at the same time on different threads.
KelLinearRobustFit KelComputeRobustFit(const KelRobustFitInputs& inputs,
                                       KelLinearRobustFit&& numbered, KelLmsWorkspace& workspace);
// The same with a workspace of its own.
KelLinearRobustFit KelComputeRobustFit(const KelRobustFitInputs& inputs,
                                       KelLinearRobustFit&& numbered);

// 1 - (median |r| / dispersion of y)^2 with intercept, 1 - (median |r| / median |y|)^2 without;
// y is the response the fit was made of.
double KelRobustR2(const KelLinearRobustFit& robust, const KelVector& y, bool intercept);
// The outliers in decreasing order of |robust residual|.
KelVectorInt KelRobustOutliersByImportance(const KelLinearRobustFit& robust);
// Violated with highly probable outliers, probably violated with possible ones only; without
// outliers verified unless the median |normalized residual| is below kHomoscedastic times the
// largest.
KelHomoscedasticity KelRobustHomoscedasticity(const KelLinearRobustFit& robust);

#endif
